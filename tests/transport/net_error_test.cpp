#include "transport/net_error.h"

#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>

namespace pelrion::transport {
namespace {

struct TextCase {
  NetError error;
  const char* text;
};

TEST(ErrorTextTest, PlatformErrorFirstThenOperationThenFallback) {
  const TextCase cases[] = {
      {MakeNetError(kNetConnect, 10061), "Connection refused (10061)"},
      {MakeNetError(kNetClosedByPeer), "Connection unexpectedly closed"},
      {MakeNetError(kNetEnded), "Operation couldn't be performed"},
      {MakeNetError(kNetStopped), "Operation couldn't be performed"},
      {MakeNetError(kNetSend, 10058), "Cannot send after socket shutdown (10058)"},
      {MakeNetError(kNetResolve, 11001), "Host not found (11001)"},
      {MakeNetError(kNetConnect, 10043), "Protocal not supported (10043)"},
      // An unknown platform error falls through to the operation's text.
      {MakeNetError(kNetReceive, 12345), "Receive error"},
      {MakeNetError(kNetWaitTimeout), "Select error timeout"},
      {MakeNetError(3), "Operation couldn't be performed"},
      {MakeNetError(kNetNoMemory), "Error insufficient memory"},
  };
  for (const TextCase& c : cases) EXPECT_EQ(ErrorText(c.error), c.text) << c.error;
}

TEST(ErrorTextTest, CertificateFailureCarriesTheVerificationReason) {
  EXPECT_EQ(ErrorText(MakeNetError(kNetTlsCertificate, X509_V_ERR_CERT_HAS_EXPIRED)),
            "The server's certificate could not be verified: certificate has expired");
  EXPECT_EQ(ErrorText(MakeNetError(kNetTlsCertificate)),
            "The server's certificate could not be verified");
}

}  // namespace
}  // namespace pelrion::transport
