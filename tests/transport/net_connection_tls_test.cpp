// NetConnection over TLS: a conversation through ReadLine and SendText, the failures it
// reports, plain text that arrived before the upgrade, and a stop or silence mid-handshake.
#include <gtest/gtest.h>
#include <openssl/x509_vfy.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "transport/net_connection.h"
#include "transport/socket_helpers.h"
#include "transport/tls_test_helpers.h"

namespace pelrion::transport {
namespace {

using testing::CaughtNetError;
using testing::kLoopback;
using testing_tls::TestPki;

const TestPki& Pki() {
  static const TestPki* pki = new TestPki;
  return *pki;
}

class NetConnectionTlsThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { std::signal(SIGPIPE, SIG_IGN); }
};

TEST_F(NetConnectionTlsThreadTest, LinesGoBothWaysOverTls) {
  testing_tls::OneShotTlsServer server(Pki().valid);
  WorkerJob job;
  NetConnection connection(5, 5, &job);
  connection.Create();
  connection.Connect(kLoopback, server.port());
  connection.StartTls({"localhost", "", Pki().ca});
  EXPECT_TRUE(connection.tls_active());
  EXPECT_EQ(connection.tls_fingerprint(), testing_tls::ToolFingerprint(Pki().valid.certificate));
  connection.SendText("CAPA\n");
  EXPECT_EQ(connection.ReadLine(), "CAPA\r\n");
  // The server closes after its echo: the end of the stream reads as a closed connection.
  EXPECT_EQ(CaughtNetError([&] { connection.ReadLine(); }), MakeNetError(kNetClosedByPeer));
  connection.Close(false);
  EXPECT_FALSE(connection.tls_active());
}

TEST_F(NetConnectionTlsThreadTest, UntrustedServerFailsWithTheReasonAndItsFingerprint) {
  testing_tls::OneShotTlsServer server(Pki().expired);
  NetConnection connection(5, 5, nullptr);
  connection.Create();
  connection.Connect(kLoopback, server.port());
  EXPECT_EQ(CaughtNetError([&] { connection.StartTls({"localhost", "", Pki().ca}); }),
            MakeNetError(kNetTlsCertificate, X509_V_ERR_CERT_HAS_EXPIRED));
  EXPECT_FALSE(connection.tls_active());
  EXPECT_EQ(connection.tls_fingerprint(), testing_tls::ToolFingerprint(Pki().expired.certificate));
}

// What came after the server's go-ahead in the same packet was never protected.
TEST(NetConnectionTlsTest, PlainTextAfterTheGoAheadIsRefused) {
  testing::TcpPair pair = testing::ConnectedPair();
  NetConnection connection(1, 1, nullptr);
  connection.Adopt(pair.near);
  testing::WriteAll(pair.far, "+OK Begin TLS negotiation\r\n+OK injected\r\n");
  EXPECT_EQ(connection.ReadLine(), "+OK Begin TLS negotiation\r\n");
  EXPECT_EQ(CaughtNetError([&] { connection.StartTls({"localhost", "", ""}); }),
            MakeNetError(kNetTlsInjection));
  EXPECT_FALSE(connection.tls_active());
  ::close(pair.far);
}

// The server accepts the connection (the kernel does) but never answers the client's hello.
TEST_F(NetConnectionTlsThreadTest, SilentServerTimesOutAndAStopEndsTheHandshake) {
  {
    testing::RawListener listener;
    NetConnection connection(1, 1, nullptr);
    connection.Create();
    connection.Connect(kLoopback, listener.port());
    EXPECT_EQ(CaughtNetError([&] { connection.StartTls({"localhost", "", ""}); }),
              MakeNetError(kNetWaitTimeout));
  }
  testing::RawListener listener;
  WorkerJob job;
  NetConnection connection(30, 30, &job);
  connection.Create();
  job.SetSocket(connection.handle());
  connection.Connect(kLoopback, listener.port());
  NetError error = 0;
  const auto start = std::chrono::steady_clock::now();
  std::thread worker([&] {
    error = CaughtNetError([&] { connection.StartTls({"localhost", "", ""}); });
    connection.Close(false);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  job.RequestStop();
  worker.join();
  EXPECT_EQ(error, MakeNetError(kNetStopped));
  // Ended by the stop, not by the 30-second wait.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(job.SocketIn(), -1);
}

}  // namespace
}  // namespace pelrion::transport
