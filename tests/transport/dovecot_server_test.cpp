// The private Dovecot POP3 server the real-server tests use, driven through NetConnection in
// each of its modes: the greeting, STLS or implicit TLS trusted through the test CA, USER/PASS,
// STAT and RETR of the messages placed in the maildir, the UIDL form, and DELE reaching the
// maildir.
#include "support/dovecot_server.h"

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "transport/net_connection.h"
#include "transport/socket_helpers.h"

namespace pelrion::transport {
namespace {

using test_support::DovecotServer;
using testing::kLoopback;

// Each fixture: the bytes added to the mailbox, and what RETR must give back once
// dot-unstuffed (CR LF line ends either way).
struct Fixture {
  std::string added;
  std::string retrieved;
};

std::vector<Fixture> Fixtures() {
  // CR LF lines, with lines the server must dot-stuff: a lone period, two periods, a leading one.
  const std::string with_periods =
      "From: a@example.test\r\nSubject: periods\r\nMessage-ID: <p@example.test>\r\n\r\n"
      "line one\r\n.\r\n..\r\n.hidden\r\nlast\r\n";
  // LF lines as a file on disk has them; the server sends them with CR LF.
  const std::string lf = "From: b@example.test\nSubject: lf\n\nbody\n\nend\n";
  std::string lf_as_sent;
  for (char c : lf) lf_as_sent += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return {{with_periods, with_periods}, {lf, lf_as_sent}};
}

std::string Expect(NetConnection& connection, const std::string& command) {
  if (!command.empty()) connection.SendText(command + "\r\n");
  const std::string reply(connection.ReadLine());
  EXPECT_EQ(reply.rfind("+OK", 0), 0u) << command << " -> " << reply;
  return reply;
}

// A multi-line answer after its status line, dot-unstuffed, without the final ".".
std::string ReadMultiLine(NetConnection& connection) {
  std::string body;
  for (;;) {
    std::string_view line = connection.ReadLine();
    if (line == ".\r\n") return body;
    if (!line.empty() && line[0] == '.') line.remove_prefix(1);
    body += line;
  }
}

std::unique_ptr<DovecotServer> StartServer(DovecotServer::Tls tls) {
  try {
    return std::make_unique<DovecotServer>(DovecotServer::Options{tls, ""});
  } catch (const std::runtime_error& error) {
    ADD_FAILURE() << error.what();
    return nullptr;
  }
}

struct Mode {
  const char* name;
  DovecotServer::Tls tls;
};

class DovecotServerTest : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override { std::signal(SIGPIPE, SIG_IGN); }
};

TEST_P(DovecotServerTest, ServesTheAddedMessagesAndDeletes) {
  const Mode mode = GetParam();
  const std::unique_ptr<DovecotServer> server = StartServer(mode.tls);
  ASSERT_NE(server, nullptr);
  server->AddUser("alice", "s3cret-" + std::string(mode.name));
  server->AddUser("bob", "other");
  const std::vector<Fixture> fixtures = Fixtures();
  for (const Fixture& fixture : fixtures) server->AddMessage("alice", fixture.added);
  server->AddMessage("bob", fixtures[0].added);
  EXPECT_EQ(server->MessageCount("alice"), fixtures.size());
  EXPECT_EQ(server->ca_file().empty(), mode.tls == DovecotServer::Tls::kNone);

  const bool implicit = mode.tls == DovecotServer::Tls::kImplicit;
  const TlsPeer peer{"127.0.0.1", "", server->ca_file()};
  NetConnection connection(10, 10, nullptr);
  connection.Create();
  connection.Connect(kLoopback, implicit ? server->pop3s_port() : server->pop3_port());
  if (implicit) connection.StartTls(peer);
  Expect(connection, "");
  Expect(connection, "CAPA");
  const std::string capabilities = ReadMultiLine(connection);
  // STLS is offered on a plain connection to a server that has a certificate, and not once the
  // connection is protected.
  EXPECT_EQ(capabilities.find("STLS\r\n") != std::string::npos,
            mode.tls == DovecotServer::Tls::kStls)
      << capabilities;
  if (mode.tls == DovecotServer::Tls::kStls) {
    Expect(connection, "STLS");
    connection.StartTls(peer);
  }
  EXPECT_EQ(connection.tls_active(), mode.tls != DovecotServer::Tls::kNone);

  Expect(connection, "USER alice");
  Expect(connection, "PASS s3cret-" + std::string(mode.name));
  std::size_t total = 0;
  for (const Fixture& fixture : fixtures) total += fixture.retrieved.size();
  EXPECT_EQ(Expect(connection, "STAT"),
            "+OK " + std::to_string(fixtures.size()) + " " + std::to_string(total) + "\r\n");
  for (std::size_t n = 1; n <= fixtures.size(); ++n) {
    Expect(connection, "RETR " + std::to_string(n));
    EXPECT_EQ(ReadMultiLine(connection), fixtures[n - 1].retrieved) << "message " << n;
  }
  // The UID of the first message added, then the mailbox's UIDVALIDITY.
  const std::string uidl = Expect(connection, "UIDL 1");
  ASSERT_EQ(uidl.size(), std::string("+OK 1 \r\n").size() + 16) << uidl;
  EXPECT_EQ(uidl.substr(6, 8), "00000001");
  EXPECT_EQ(uidl.find_first_not_of("0123456789abcdef", 6), uidl.size() - 2) << uidl;

  Expect(connection, "DELE 1");
  Expect(connection, "QUIT");
  connection.Close(false);
  EXPECT_EQ(server->MessageCount("alice"), fixtures.size() - 1);
  EXPECT_EQ(server->MessageCount("bob"), 1u);
}

INSTANTIATE_TEST_SUITE_P(Modes, DovecotServerTest,
                         ::testing::Values(Mode{"Plain", DovecotServer::Tls::kNone},
                                           Mode{"Stls", DovecotServer::Tls::kStls},
                                           Mode{"ImplicitTls", DovecotServer::Tls::kImplicit}),
                         [](const ::testing::TestParamInfo<Mode>& info) {
                           return info.param.name;
                         });

TEST(DovecotServerSetupTest, AMissingDovecotIsNamedWithWhatToInstall) {
  try {
    DovecotServer server(DovecotServer::Options{DovecotServer::Tls::kNone, "/nonexistent/dovecot"});
    ADD_FAILURE() << "started without a server program";
  } catch (const std::runtime_error& error) {
    const std::string message = error.what();
    EXPECT_NE(message.find("dovecot is not installed at /nonexistent/dovecot"), std::string::npos)
        << message;
    EXPECT_NE(message.find("dovecot-pop3d"), std::string::npos) << message;
  }
}

}  // namespace
}  // namespace pelrion::transport
