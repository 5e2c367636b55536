// The mail-check worker: every account of its work, one after another, each on its own
// connection, with one report per failed account and a success notice per complete one.
#pragma once

#include <string>

#include "transport/check_work.h"
#include "transport/mail_check_session.h"
#include "transport/worker_job.h"
#include "transport/worker_reports.h"
#include "validation/message_fate.h"

namespace pelrion::transport {

class MailCheckThread {
 public:
  // Time-outs in seconds for every read and write (the program uses 200). Everything given
  // must outlive the thread's run.
  MailCheckThread(WorkerJob& job, const CheckWork& work, const validation::FateServices& fate,
                  WorkerReports& reports, int timeout_seconds,
                  PlainConversationPolicy policy = DecidePlainConversation);

  // Returns 1 when the stop flag ended it, else 0. Always ends with the idle status and the
  // finished notice.
  int Run();

 private:
  void CheckAccount(const CheckAccountWork& account, ProgressPublisher& progress);
  void Report(const CheckAccountWork& account, const std::string& reason,
              const std::string& certificate = {});

  WorkerJob& job_;
  const CheckWork& work_;
  CheckServices services_;
  WorkerReports& reports_;
  int timeout_seconds_;
  // The certificate the last failed connection was refused for, or empty.
  std::string refused_certificate_;
};

}  // namespace pelrion::transport
