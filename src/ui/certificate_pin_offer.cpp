#include "ui/certificate_pin_offer.h"

namespace pelrion::ui {

std::optional<PinTarget> PinTargetOf(const cycle::ReportKey& key,
                                     const store::AccountTable& accounts) {
  if (key.origin != cycle::ReportOrigin::kMailServer) return std::nullopt;
  const std::optional<store::AccountSnapshot> account = accounts.Snapshot(key.id);
  if (!account) return std::nullopt;
  const store::Listener& listener =
      key.protocol == transport::MailProtocol::kPop3 ? account->pop3 : account->smtp;
  return PinTarget{listener.id, std::string(listener.server_host.Text())};
}

std::string CertificatePinQuestion(transport::MailProtocol protocol, const std::string& host,
                                   const std::string& fingerprint) {
  const char* server = protocol == transport::MailProtocol::kPop3
                           ? "incoming mail (POP3) server"
                           : "outgoing mail (SMTP) server";
  return std::string("The certificate of the ") + server + " '" + host +
         "' could not be verified.\n\nIts SHA-256 fingerprint is:\n" + fingerprint +
         "\n\nIf your mail provider confirms this fingerprint, Pelrion can trust this "
         "certificate for this server from now on. Do you want to trust it?";
}

void OfferCertificatePins(const std::vector<cycle::NetworkErrorReport>& reports,
                          const store::AccountTable& accounts, platform::Dialogs& dialogs,
                          const PinCertificateFn& pin) {
  for (const cycle::NetworkErrorReport& report : reports) {
    if (report.certificate.empty()) continue;
    const std::optional<PinTarget> target = PinTargetOf(report.key, accounts);
    if (!target) continue;
    const std::string question =
        CertificatePinQuestion(report.key.protocol, target->host, report.certificate);
    if (dialogs.MessageBox(question, cycle::kProgramTitle, platform::DialogIcon::kWarning,
                           platform::DialogButtons::kYesNoDefaultNo) !=
        platform::DialogAnswer::kYes) {
      continue;
    }
    if (!pin(target->listener_id, report.certificate)) {
      dialogs.MessageBox("The certificate could not be saved. Pelrion will go on refusing it.",
                         cycle::kProgramTitle, platform::DialogIcon::kStop,
                         platform::DialogButtons::kOk);
    }
  }
}

}  // namespace pelrion::ui
