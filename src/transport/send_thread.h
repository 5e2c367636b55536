// The sending worker: every account's group of authorization requests, one after another,
// each on its own connection, with one report per failed group.
#pragma once

#include <string>

#include "transport/worker_job.h"
#include "transport/worker_reports.h"
#include "validation/request_outcomes.h"
#include "validation/send_work.h"

namespace pelrion::transport {

class SendThread {
 public:
  // Time-outs in seconds for every read and write (the program uses 200).
  SendThread(WorkerJob& job, const validation::SendWork& work, WorkerReports& reports,
             validation::RequestOutcomes& outcomes, int timeout_seconds);

  // Returns 1 when the stop flag ended it, else 0. Always ends with the idle status and
  // the finished notice.
  int Run();

 private:
  void SendGroup(const validation::SendGroupWork& group);
  void Report(const validation::SendGroupWork& group, const std::string& reason,
              const std::string& certificate = {});
  void Finish();

  WorkerJob& job_;
  const validation::SendWork& work_;
  WorkerReports& reports_;
  validation::RequestOutcomes& outcomes_;
  int timeout_seconds_;
  // The certificate the last failed connection was refused for, or empty.
  std::string refused_certificate_;
};

}  // namespace pelrion::transport
