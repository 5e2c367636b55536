#include "transport/certificate_failure_text.h"

namespace pelrion::transport {

std::string CertificateFailureText(NetError error, std::string_view fingerprint) {
  std::string text = ErrorText(error);
  if (NetOperationOf(error) != kNetTlsCertificate || fingerprint.empty()) return text;
  text += ". If you trust this server, pin its certificate (SHA-256 fingerprint ";
  text += fingerprint;
  text += ") in the account's security settings";
  return text;
}

}  // namespace pelrion::transport
