#include "transport/net_connection.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "transport/socket_helpers.h"

namespace pelrion::transport {
namespace {

using testing::CaughtNetError;
using testing::ConnectedPair;
using testing::kLoopback;
using testing::LocalPort;
using testing::TcpPair;
using testing::WriteAll;

constexpr int kTestTimeout = 1;  // seconds; the program uses 200

bool IsNonBlocking(int fd) {
  return fcntl(fd, F_GETFL) & O_NONBLOCK;
}

// The line cutting every peer's bytes must come out as: split after each LF, NUL as '^', CR
// before a bare LF.
std::vector<std::string> ExpectedLines(const std::string& input) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : input) {
    if (c != '\n') {
      line += c == '\0' ? '^' : c;
      continue;
    }
    if (line.empty() || line.back() != '\r') line += '\r';
    lines.push_back(line + '\n');
    line.clear();
  }
  return lines;
}

// The connection under test holds one end of a loopback TCP connection; the test scripts the
// other end with plain socket calls.
class NetConnectionTest : public ::testing::Test {
 protected:
  NetConnectionTest() { connection_.Adopt(pair_.near); }
  ~NetConnectionTest() override { CloseFar(); }

  void CloseFar() {
    if (pair_.far >= 0) close(pair_.far);
    pair_.far = -1;
  }

  TcpPair pair_ = ConnectedPair();
  WorkerJob job_;
  NetConnection connection_{kTestTimeout, kTestTimeout, &job_};
};

struct ReadCase {
  const char* name;
  std::string sent;  // by the peer, which then closes
};

// The peer sends everything and closes: ReadLine gives each line, then fails with 10. A line
// cut off by the close is never handed out.
TEST_F(NetConnectionTest, ReadLineCutsEveryPeerByteStreamIntoCrLfLines) {
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "line " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
  const ReadCase cases[] = {
      {"bare LF", "USER joe\nPASS x\r\n"},
      {"lone LF", "\n"},
      {"NUL as caret", std::string("+OK a\0b\r\n", 9)},
      {"two lines in one chunk, nothing after them", "+OK one\r\n+OK two\r\n"},
      {"closed mid-line", "+OK whole\r\n+OK cut off"},
      {"line longer than a receive", std::string(200000, 'x') + "\r\n"},
      {"many lines over many receives", many},
  };
  for (const ReadCase& c : cases) {
    TcpPair pair = ConnectedPair();
    NetConnection connection(kTestTimeout, kTestTimeout, &job_);
    connection.Adopt(pair.near);
    WriteAll(pair.far, c.sent);
    close(pair.far);
    std::vector<std::string> lines;
    const NetError error = CaughtNetError([&] {
      for (;;) lines.emplace_back(connection.ReadLine());
    });
    EXPECT_EQ(lines, ExpectedLines(c.sent)) << c.name;
    EXPECT_EQ(error, MakeNetError(kNetClosedByPeer)) << c.name;
    EXPECT_EQ(ErrorText(error), "Connection unexpectedly closed");
  }
}

// Both lines come in one receive and the peer stays silent: the second line needs no receive,
// and only a third ReadLine waits, until the time-out.
TEST_F(NetConnectionTest, SilentPeerTimesOutAfterTheBufferedLines) {
  WriteAll(pair_.far, "+OK one\r\n+OK two\r\n");
  EXPECT_EQ(connection_.ReadLine(), "+OK one\r\n");
  EXPECT_EQ(connection_.ReadLine(), "+OK two\r\n");
  const NetError error = CaughtNetError([&] { connection_.ReadLine(); });
  EXPECT_EQ(error, MakeNetError(kNetWaitTimeout));
  EXPECT_EQ(ErrorText(error), "Select error timeout");
}

TEST_F(NetConnectionTest, CreateOnAnOpenSocketKeepsItAndEmptiesTheLineBuffer) {
  WriteAll(pair_.far, "a\r\nb\r\n");
  EXPECT_EQ(connection_.ReadLine(), "a\r\n");
  connection_.Create();
  EXPECT_EQ(connection_.handle(), pair_.near);
  // "b" was buffered and is gone; the next line is the next one the peer sends.
  WriteAll(pair_.far, "c\r\n");
  EXPECT_EQ(connection_.ReadLine(), "c\r\n");
}

struct LimitCase {
  const char* name;
  std::string sent;
  bool too_long;
};

TEST_F(NetConnectionTest, LineLimitEndsTheConversationInsteadOfGrowing) {
  const LimitCase cases[] = {
      {"exactly the limit with CR LF", "12345678\r\n", false},
      {"bare LF counts with its added CR", "12345678\n", false},
      {"one byte over", "123456789\r\n", true},
      {"bare LF one over", "123456789\n", true},
      // The peer keeps sending without LF: the limit stops it, not the time-out.
      {"no LF ever", std::string(100000, 'x'), true},
  };
  for (const LimitCase& c : cases) {
    TcpPair pair = ConnectedPair();
    NetConnection connection(kTestTimeout, kTestTimeout, &job_);
    connection.Adopt(pair.near);
    connection.set_line_limit(10);
    WriteAll(pair.far, c.sent);
    if (c.too_long) {
      EXPECT_EQ(CaughtNetError([&] { connection.ReadLine(); }), MakeNetError(kNetLineTooLong))
          << c.name;
    } else {
      EXPECT_EQ(connection.ReadLine(), ExpectedLines(c.sent).front()) << c.name;
    }
    close(pair.far);
  }
}

// The peer takes nothing: the send waits for room at most the write time-out, never blocks.
TEST_F(NetConnectionTest, SendToAPeerThatStopsReadingTimesOut) {
  const std::string large(64 << 20, 'm');
  EXPECT_EQ(CaughtNetError([&] { connection_.SendAll(large.data(), large.size()); }),
            MakeNetError(kNetWaitTimeout));
}

// With SIGPIPE at its default a send without MSG_NOSIGNAL would end this test binary.
TEST_F(NetConnectionTest, SendToAVanishedPeerFailsWithoutASignal) {
  struct sigaction previous {};
  struct sigaction fatal {};
  fatal.sa_handler = SIG_DFL;
  sigaction(SIGPIPE, &fatal, &previous);
  CloseFar();
  const std::string text = "+OK still talking\r\n";
  const NetError error = CaughtNetError([&] {
    for (;;) connection_.SendText(text);
  });
  sigaction(SIGPIPE, &previous, nullptr);
  EXPECT_EQ(NetOperationOf(error), kNetSend);
  EXPECT_TRUE(PlatformErrorOf(error) == 10058 || PlatformErrorOf(error) == 10054)
      << ErrorText(error);
}

TEST_F(NetConnectionTest, SendTextDeliversEveryByte) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "RETR " + std::to_string(i) + "\r\n";
  connection_.SendText(text);
  connection_.Close(false);
  std::string received;
  char chunk[4096];
  for (ssize_t n; (n = recv(pair_.far, chunk, sizeof chunk, 0)) > 0;) received.append(chunk, n);
  EXPECT_EQ(received, text);
}

TEST_F(NetConnectionTest, CloseTakesTheHandleOutOfTheOwnerFirst) {
  job_.SetSocket(connection_.handle());
  connection_.Close(true);
  EXPECT_EQ(job_.SocketIn(), -1);
  EXPECT_FALSE(connection_.is_open());
  connection_.Close(false);  // closed already: nothing happens
}

TEST_F(NetConnectionTest, StopFlagIsReportedBeforeAnyNetworkCall) {
  WriteAll(pair_.far, "+OK ready\r\n");
  job_.RequestStop();
  EXPECT_EQ(CaughtNetError([&] { connection_.ReadLine(); }), MakeNetError(kNetStopped));
  EXPECT_EQ(CaughtNetError([&] { connection_.SendText("QUIT\r\n"); }), MakeNetError(kNetStopped));
  EXPECT_EQ(CaughtNetError([&] { connection_.Create(); }), MakeNetError(kNetStopped));
}

TEST(NetConnectionSocketTest, ConnectionRefusedNamesThePlatformError) {
  std::uint16_t port;
  {
    testing::RawListener closed_again;
    port = closed_again.port();
  }
  WorkerJob job;
  NetConnection connection(kTestTimeout, kTestTimeout, &job);
  connection.Create();
  EXPECT_TRUE(IsNonBlocking(connection.handle()));
  const NetError error = CaughtNetError([&] { connection.ConnectTo("127.0.0.1", port); });
  EXPECT_EQ(error, MakeNetError(kNetConnect, 10061));
  EXPECT_EQ(ErrorText(error), "Connection refused (10061)");
}

// ConnectTo looks the name up on its lookup thread, then connects.
TEST(NetConnectionThreadTest, ConnectToByNameReachesTheServer) {
  testing::RawListener server;
  WorkerJob job;
  NetConnection connection(kTestTimeout, kTestTimeout, &job);
  connection.Create();
  connection.ConnectTo("localhost", server.port());
  const int peer = server.AcceptOne();
  WriteAll(peer, "+OK POP3 ready\r\n");
  EXPECT_EQ(connection.ReadLine(), "+OK POP3 ready\r\n");
  close(peer);
}

// A listener bound, listening and accepting through NetConnection.
struct Listener {
  explicit Listener(std::uint16_t port = 0) : connection(kTestTimeout, kTestTimeout, &job) {
    connection.Create();
    connection.Bind(kLoopback, port);
    connection.Listen();
  }
  std::uint16_t port() const { return LocalPort(connection.handle()); }
  WorkerJob job;
  NetConnection connection;
};

// Sessions that end with a linger close leave their connections in TIME_WAIT on the listener's
// port; a restarted listener still binds it, while a live listener keeps it taken.
TEST(NetConnectionSocketTest, RestartedListenerBindsAgainButALiveOneKeepsThePort) {
  std::uint16_t port;
  {
    Listener first;
    port = first.port();
    for (int i = 0; i < 3; ++i) {
      const int client = testing::ConnectRaw(port);
      ASSERT_GE(client, 0);
      WorkerJob session_job;
      NetConnection session(kTestTimeout, kTestTimeout, &session_job);
      session.Adopt(first.connection.Accept());
      EXPECT_TRUE(IsNonBlocking(session.handle()));
      session.SendText("+OK bye\r\n");
      session.Close(true);
      char rest[64];
      while (recv(client, rest, sizeof rest, 0) > 0) {
      }
      close(client);
    }
  }
  Listener restarted(port);
  EXPECT_EQ(restarted.port(), port);

  WorkerJob job;
  NetConnection second(kTestTimeout, kTestTimeout, &job);
  second.Create();
  const NetError error = CaughtNetError([&] { second.Bind(kLoopback, port); });
  EXPECT_EQ(error, MakeNetError(kNetBind, 10048));
  EXPECT_EQ(ErrorText(error), "Address already in use (10048)");
}

}  // namespace
}  // namespace pelrion::transport
