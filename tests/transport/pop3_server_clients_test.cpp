// Real POP3 clients reading the Inbox through the local server: what each retrieved must be
// the stored file, byte for byte once the client has undone the dot-stuffing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "transport/pop3_server_helpers.h"

namespace pelrion::transport::testing {
namespace {

using test_support::ReadFile;
using test_support::RunCommand;
using test_support::ShellQuote;

// 2 MB in 1000-byte lines (the clients limit a line to 2048 bytes).
std::string LongBody() {
  std::string body;
  for (int line = 0; line < 2000; ++line) body += std::string(998, 'a' + line % 26) + "\r\n";
  return body;
}

// Lines a careless server would break on: a lone '.', leading periods, a forged status
// line, an empty body line, a long message.
std::vector<std::string> Messages() {
  return {
      "From: ann@example.org\r\nSubject: plain\r\n\r\nHello\r\n",
      "From: bob@example.org\r\nSubject: dots\r\n\r\n.\r\n..two\r\n.\r\n+OK forged\r\n\r\nend\r\n",
      "From: cy@example.org\r\nSubject: long\r\n\r\n" + LongBody(),
  };
}

// A header block holding a line that begins with '.' (it can only come from a damaged or
// crafted message): sent stuffed like every line. fetchmail reads the header block without
// undoing the stuffing, so only poplib is given this one.
const std::string kDottedHeader =
    "From: dee@example.org\r\n.Odd: header\r\nSubject: dotted\r\n\r\nbody\r\n";

class Pop3RealClientThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    account = server.AddAccount(1, "jo", "secret");
    server.FileInboxInOrder(account, Messages());
    server.Serve();
  }

  Pop3ServerWorld server;
  std::uint32_t account = 0;
  test_support::TempDir out;
};

TEST_F(Pop3RealClientThreadTest, PythonPoplibRetrievesEveryMessageExactly) {
  const std::string script = R"(
import poplib, sys
port, folder = int(sys.argv[1]), sys.argv[2]
box = poplib.POP3('127.0.0.1', port, timeout=20)
box.user('jo'); box.pass_('secret')
count, _ = box.stat()
ids = [line.split()[1] for line in box.uidl()[1]]
assert len(set(ids)) == count
for n in range(1, count + 1):
    lines = box.retr(n)[1]
    open('%s/%d' % (folder, n), 'wb').write(b''.join(line + b'\r\n' for line in lines))
    box.dele(n)
box.quit()
)";
  server.FileInbox(account, kDottedHeader);
  const std::vector<std::string> sent = server.InboxTexts(account);  // in message order
  int status = -1;
  server.RunClient([&] {
    status = RunCommand("/usr/bin/python3 -c " + ShellQuote(script) + " " +
                        std::to_string(server.port()) + " " + out.path())
                 .status;
  });
  ASSERT_EQ(status, 0);
  for (std::size_t n = 0; n < sent.size(); ++n) {
    EXPECT_EQ(ReadFile(out.path() + "/" + std::to_string(n + 1)), sent[n]) << n + 1;
  }
  server.WaitForSessions(1);
  EXPECT_TRUE(server.InboxTexts(account).empty());  // deleted at QUIT
}

// fetchmail hands each message to its delivery command with LF line ends.
TEST_F(Pop3RealClientThreadTest, FetchmailRetrievesEveryMessageExactly) {
  const std::string rc = out.path() + "/fetchmailrc";
  test_support::WriteFile(
      rc, "poll 127.0.0.1 service " + std::to_string(server.port()) +
              " protocol pop3 user \"jo\" password \"secret\" sslproto \"\" keep"
              " mda \"/bin/sh -c 'cat > " + out.path() + "/got.$$'\"\n");
  ::chmod(rc.c_str(), 0600);
  int status = -1;
  server.RunClient([&] {
    status = RunCommand("FETCHMAILHOME=" + ShellQuote(out.path()) + " fetchmail --invisible -f " +
                        ShellQuote(rc) + " --nosyslog -s 2>" + out.path() + "/log")
                 .status;
  });
  ASSERT_EQ(status, 0) << ReadFile(out.path() + "/log");
  std::vector<std::string> got;
  for (const auto& entry : std::filesystem::directory_iterator(out.path())) {
    if (entry.path().filename().string().starts_with("got.")) got.push_back(ReadFile(entry.path()));
  }
  std::vector<std::string> expected;
  for (std::string text : Messages()) {
    std::erase(text, '\r');
    expected.push_back(text);
  }
  std::sort(got.begin(), got.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(got, expected);
  server.WaitForSessions(1);
  EXPECT_EQ(server.InboxTexts(account).size(), Messages().size());  // "keep"
}

}  // namespace
}  // namespace pelrion::transport::testing
