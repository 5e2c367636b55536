// After the network errors were read: each report of a server whose certificate failed
// verification offers to trust that certificate for the server from now on (pinning it),
// once its fingerprint has been shown. No is the safe answer and the default.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cycle/network_errors.h"
#include "platform/dialogs.h"
#include "store/account_table.h"

namespace pelrion::ui {

// Stores the pin for the listener; false when it could not be stored.
using PinCertificateFn =
    std::function<bool(std::uint32_t listener_id, const std::string& fingerprint)>;

// Where a pin goes: the listener in front of the real server, and that server's name.
struct PinTarget {
  std::uint32_t listener_id = 0;
  std::string host;
};

// The account's POP3 or SMTP listener a mail-server report is about; nullopt when the account
// is gone, and for a listener's own reports (binding its port has no certificate).
std::optional<PinTarget> PinTargetOf(const cycle::ReportKey& key,
                                     const store::AccountTable& accounts);

// The question for one refused certificate of the server at host.
std::string CertificatePinQuestion(transport::MailProtocol protocol, const std::string& host,
                                   const std::string& fingerprint);

// Asks about every report that carries a refused certificate, in order, and pins those the
// user accepts.
void OfferCertificatePins(const std::vector<cycle::NetworkErrorReport>& reports,
                          const store::AccountTable& accounts, platform::Dialogs& dialogs,
                          const PinCertificateFn& pin);

}  // namespace pelrion::ui
