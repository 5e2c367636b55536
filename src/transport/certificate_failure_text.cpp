#include "transport/certificate_failure_text.h"

namespace pelrion::transport {

std::string CertificateFailureText(NetError error, std::string_view fingerprint) {
  std::string text = ErrorText(error);
  if (NetOperationOf(error) != kNetTlsCertificate || fingerprint.empty()) return text;
  text += ". If you trust this server, pin its certificate (SHA-256 fingerprint ";
  text += fingerprint;
  text += ")";
  return text;
}

std::string RefusedCertificate(NetError error, const std::string& presented) {
  return NetOperationOf(error) == kNetTlsCertificate ? presented : std::string();
}

}  // namespace pelrion::transport
