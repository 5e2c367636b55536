#pragma once
#include <string>
#include <string_view>

#include "transport/net_error.h"

namespace pelrion::transport {

// What the user is told when a server's certificate failed verification: the reason, and
// how to trust the server anyway by pinning the certificate's fingerprint. Other errors give
// ErrorText unchanged.
std::string CertificateFailureText(NetError error, std::string_view fingerprint);

// The fingerprint of the certificate whose verification caused error, as the user may pin it:
// presented is what the connection saw; empty for every other error.
std::string RefusedCertificate(NetError error, const std::string& presented);

}  // namespace pelrion::transport
