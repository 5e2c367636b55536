#include "transport/send_thread.h"

#include "transport/certificate_failure_text.h"
#include "transport/net_connection.h"
#include "transport/net_error.h"
#include "transport/refusal_text.h"
#include "transport/send_session.h"

namespace pelrion::transport {

SendThread::SendThread(WorkerJob& job, const validation::SendWork& work, WorkerReports& reports,
                       validation::RequestOutcomes& outcomes, int timeout_seconds)
    : job_(job),
      work_(work),
      reports_(reports),
      outcomes_(outcomes),
      timeout_seconds_(timeout_seconds) {}

int SendThread::Run() {
  int code = 0;
  for (const validation::SendGroupWork& group : work_.groups) {
    if (job_.StopRequested()) {
      code = 1;
      break;
    }
    try {
      SendGroup(group);
    } catch (NetError error) {
      if (job_.StopRequested()) {
        code = 1;
        break;
      }
      Report(group, CertificateFailureText(error, refused_certificate_) + ".",
             refused_certificate_);
    } catch (const SmtpRefusal& refusal) {
      // A stop can close the connection while the server's refusal is being read.
      if (job_.StopRequested()) {
        code = 1;
        break;
      }
      Report(group, RefusalReason(refusal.line));
    }
  }
  Finish();
  return code;
}

void SendThread::SendGroup(const validation::SendGroupWork& group) {
  NetConnection connection(timeout_seconds_, timeout_seconds_, &job_);
  // Its end takes the handle out of the job, then closes the socket without linger.
  connection.Create();
  job_.SetSocket(connection.handle());
  refused_certificate_.clear();
  try {
    SendSession(connection, group, work_.settings, reports_, outcomes_).Run();
  } catch (NetError error) {
    refused_certificate_ = RefusedCertificate(error, connection.tls_fingerprint());
    throw;
  }
  reports_.SuccessNotice(group.server_host, group.account_id, MailProtocol::kSmtp);
}

void SendThread::Report(const validation::SendGroupWork& group, const std::string& reason,
                        const std::string& certificate) {
  reports_.NetworkErrorReport(group.server_host, group.account_id, MailProtocol::kSmtp,
                              "Outgoing mail (SMTP) server '" + group.server_host + "': " + reason,
                              certificate);
}

void SendThread::Finish() {
  reports_.ActivityState(7);
  reports_.StatusChanged(StatusRecord{"Idle", "", 0, false}, 15);
  reports_.Finished();
}

}  // namespace pelrion::transport
