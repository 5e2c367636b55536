#include "transport/tls_stream.h"

#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>
#include <unistd.h>

#include <csignal>

#include "transport/certificate_failure_text.h"
#include "transport/tls_test_helpers.h"

namespace pelrion::transport {
namespace {

using testing_tls::TestPki;
using testing_tls::ToolFingerprint;

const TestPki& Pki() {
  static const TestPki* pki = new TestPki;
  return *pki;
}

struct HandshakeCase {
  const char* name;
  const TestPki::Identity* identity;  // null: a server that answers in plain text
  std::string host;
  bool give_ca;
  std::string pin;
  NetError failure;  // 0 when the conversation must work
};

class TlsStreamThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { std::signal(SIGPIPE, SIG_IGN); }
};

TEST_F(TlsStreamThreadTest, ServersAreTrustedByChainNameAndPinOnly) {
  const TestPki& pki = Pki();
  const std::string self_pin = ToolFingerprint(pki.self_signed.certificate);
  ASSERT_FALSE(self_pin.empty());
  const HandshakeCase cases[] = {
      {"ChainAndName", &pki.valid, "localhost", true, "", 0},
      {"ChainAndAddress", &pki.valid, "127.0.0.1", true, "", 0},
      {"WrongName", &pki.other_name, "localhost", true, "",
       MakeNetError(kNetTlsCertificate, X509_V_ERR_HOSTNAME_MISMATCH)},
      {"WrongAddress", &pki.other_name, "127.0.0.1", true, "",
       MakeNetError(kNetTlsCertificate, X509_V_ERR_IP_ADDRESS_MISMATCH)},
      {"Expired", &pki.expired, "localhost", true, "",
       MakeNetError(kNetTlsCertificate, X509_V_ERR_CERT_HAS_EXPIRED)},
      {"UnknownCa", &pki.valid, "localhost", false, "",
       MakeNetError(kNetTlsCertificate, X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY)},
      {"SelfSignedUnpinned", &pki.self_signed, "localhost", true, "",
       MakeNetError(kNetTlsCertificate, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT)},
      {"SelfSignedPinned", &pki.self_signed, "localhost", false, self_pin, 0},
      {"PinWrittenDifferently", &pki.self_signed, "localhost", false,
       [&] {
         std::string pin;
         for (char c : self_pin) {
           if (c != ':') pin += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
         }
         return pin;
       }(),
       0},
      {"SelfSignedOtherPin", &pki.self_signed, "localhost", false, ToolFingerprint(pki.valid.certificate),
       MakeNetError(kNetTlsCertificate, X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT)},
      {"PlainServer", nullptr, "localhost", true, "", MakeNetError(kNetTlsHandshake)},
  };
  const TestPki::Identity no_tls;
  for (const HandshakeCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing_tls::OneShotTlsServer server(c.identity != nullptr ? *c.identity : no_tls);
    const int fd = testing_tls::ConnectNonBlocking(server.port());
    ASSERT_GE(fd, 0);
    {
      TlsStream stream(fd, TlsPeer{c.host, c.pin, c.give_ca ? pki.ca : ""});
      const TlsStatus status = testing_tls::HandshakeToEnd(stream, fd);
      if (c.failure == 0) {
        ASSERT_EQ(status, TlsStatus::kDone) << ErrorText(stream.failure());
        EXPECT_EQ(testing_tls::EchoOnce(stream, fd, "NOOP\r\n"), "NOOP\r\n");
      } else {
        EXPECT_EQ(status, TlsStatus::kFailed);
        EXPECT_EQ(stream.failure(), c.failure) << ErrorText(stream.failure());
      }
      if (c.identity != nullptr) {
        EXPECT_EQ(stream.peer_fingerprint(), ToolFingerprint(c.identity->certificate));
      }
    }
    ::close(fd);
  }
}

TEST(CertificateFailureTextTest, TellsTheReasonAndHowToPin) {
  const NetError expired = MakeNetError(kNetTlsCertificate, X509_V_ERR_CERT_HAS_EXPIRED);
  EXPECT_EQ(CertificateFailureText(expired, "AB:CD"),
            "The server's certificate could not be verified: certificate has expired. If you "
            "trust this server, pin its certificate (SHA-256 fingerprint AB:CD)");
  // Without a certificate to pin, and for other errors, the plain error text.
  EXPECT_EQ(CertificateFailureText(expired, ""), ErrorText(expired));
  EXPECT_EQ(CertificateFailureText(MakeNetError(kNetConnect, 10061), "AB"),
            "Connection refused (10061)");
}

TEST(FingerprintTest, ComparesIgnoringCaseColonsAndBlanks) {
  EXPECT_TRUE(SameFingerprint("AB:CD:01", "abcd01"));
  EXPECT_TRUE(SameFingerprint(" ab cd 01 ", "AB:CD:01"));
  EXPECT_FALSE(SameFingerprint("AB:CD:01", "AB:CD:02"));
  EXPECT_FALSE(SameFingerprint("AB:CD", "AB:CD:01"));
  EXPECT_FALSE(SameFingerprint("", ""));
  EXPECT_FALSE(SameFingerprint("::", ""));
}

}  // namespace
}  // namespace pelrion::transport
