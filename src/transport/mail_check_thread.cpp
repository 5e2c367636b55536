#include "transport/mail_check_thread.h"

#include <utility>

#include "platform/random.h"
#include "transport/certificate_failure_text.h"
#include "transport/net_connection.h"
#include "transport/net_error.h"
#include "transport/refusal_text.h"

namespace pelrion::transport {

MailCheckThread::MailCheckThread(WorkerJob& job, const CheckWork& work,
                                 const validation::FateServices& fate, WorkerReports& reports,
                                 int timeout_seconds, PlainConversationPolicy policy)
    : job_(job),
      work_(work),
      services_{fate, work.database_folder, std::move(policy)},
      reports_(reports),
      timeout_seconds_(timeout_seconds) {}

int MailCheckThread::Run() {
  // Message ids and part names are drawn on this thread.
  platform::SeedRandForThread();
  ProgressPublisher progress(reports_);
  progress.Set("", "", 0, true, kNotifyAll);
  int code = 0;
  for (const CheckAccountWork& account : work_.accounts) {
    try {
      CheckAccount(account, progress);
    } catch (NetError error) {
      if (job_.StopRequested()) {
        code = 1;
        break;
      }
      Report(account, CertificateFailureText(error, refused_certificate_) + ".",
             refused_certificate_);
    } catch (const Pop3Refusal& refusal) {
      if (job_.StopRequested()) {
        code = 1;
        break;
      }
      Report(account, Pop3RefusalReason(refusal.line));
    }
  }
  reports_.ActivityState(7);
  progress.Set("Idle", "", 0, false, kNotifyAll);
  reports_.Finished();
  return code;
}

void MailCheckThread::CheckAccount(const CheckAccountWork& account, ProgressPublisher& progress) {
  NetConnection connection(timeout_seconds_, timeout_seconds_, &job_);
  // Its end takes the handle out of the job, then closes the socket without linger.
  connection.StopCheck();
  connection.Create();
  job_.SetSocket(connection.handle());
  refused_certificate_.clear();
  CheckOutcome outcome = CheckOutcome::kComplete;
  try {
    outcome = MailCheckSession(connection, account, services_, progress, reports_).Run();
  } catch (NetError error) {
    refused_certificate_ = RefusedCertificate(error, connection.tls_fingerprint());
    throw;
  }
  if (outcome != CheckOutcome::kComplete) return;
  const std::uint32_t id = account.account.id;
  reports_.SuccessNotice(account.server_host, id, MailProtocol::kPop3);
  services_.fate.calls.ForgetDigests(id);
}

void MailCheckThread::Report(const CheckAccountWork& account, const std::string& reason,
                             const std::string& certificate) {
  reports_.NetworkErrorReport(account.server_host, account.account.id, MailProtocol::kPop3,
                              "Incoming mail (POP3) server '" + account.server_host + "': " +
                                  reason,
                              certificate);
}

}  // namespace pelrion::transport
