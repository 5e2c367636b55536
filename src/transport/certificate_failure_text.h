#pragma once
#include <string>
#include <string_view>

#include "transport/net_error.h"

namespace pelrion::transport {

// What the user is told when a server's certificate failed verification: the reason, and
// how to trust the server anyway by pinning the certificate's fingerprint. Other errors give
// ErrorText unchanged.
std::string CertificateFailureText(NetError error, std::string_view fingerprint);

}  // namespace pelrion::transport
