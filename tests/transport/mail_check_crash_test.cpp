// The check process killed (SIGKILL) at points of a download: after a restart and a new
// check, every message of the mailbox is stored exactly once and the mailbox is empty. (A
// file being written at the kill stays behind without a record, as the store leaves files
// it has no record for; it is in no folder.)

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "support/run_command.h"
#include "transport/check_world_helpers.h"
#include "transport/pop3_peer_helpers.h"

namespace pelrion::transport {
namespace {

using testing::CheckWorld;
using testing::MailText;
using testing::Pop3Script;
using testing::ScriptedPop3Peer;

std::vector<std::string> CheckArguments(const std::string& folder, std::uint16_t port) {
  return {PELRION_CHECK_BIN, "--data", folder,   "--host",     "127.0.0.1", "--port",
          std::to_string(port), "--user", "jo", "--password", "secret",    "--tls",
          "never"};
}

// Starts the check tool; its process id. The argument list is built before fork(): the
// child of a process with other threads running may only call exec.
pid_t StartCheck(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

std::vector<std::string> Mailbox() {
  std::vector<std::string> messages;
  for (int n = 1; n <= 4; ++n) {
    std::vector<std::string> fields = {"From: s" + std::to_string(n) + "@example.com",
                                       "Subject: message " + std::to_string(n)};
    // Messages 2 and 4 have no Message-id: their key is the server's UIDL.
    if (n % 2 == 1) fields.push_back("Message-ID: <" + std::to_string(n) + "@example.com>");
    messages.push_back(MailText(fields, {"text of " + std::to_string(n), ".dotted"}));
  }
  return messages;
}

class MailCheckCrashThreadTest : public ::testing::TestWithParam<const char*> {};

TEST_P(MailCheckCrashThreadTest, NothingLostNothingTwiceAfterAKill) {
  const std::string kill_at = GetParam();
  CheckWorld world;
  world.stores.Close();  // the check processes own the folder while they run
  std::atomic<pid_t> victim{-1};
  std::atomic<bool> killed{false};
  Pop3Script script;
  script.messages = Mailbox();
  script.before_answer = [&](const std::string& command) {
    if (command != kill_at || killed) return;
    // The child may get this far before fork() has returned its id to the test.
    while (victim.load() <= 0) std::this_thread::yield();
    killed = true;  // before the kill: the test wakes up as soon as the child is gone
    ::kill(victim.load(), SIGKILL);
  };
  ScriptedPop3Peer peer(script);
  const std::vector<std::string> arguments = CheckArguments(world.folder(), peer.port());

  victim = StartCheck(arguments);
  ASSERT_GT(victim.load(), 0) << "fork failed";
  const int first = WaitFor(victim);
  ASSERT_TRUE(killed) << "the check never sent " << kill_at;
  EXPECT_TRUE(WIFSIGNALED(first) && WTERMSIG(first) == SIGKILL);
  peer.WaitForConnections(1);
  // Deletions count only once the server has QUIT (a server that read the QUIT may commit).
  if (kill_at != "QUIT") {
    EXPECT_EQ(peer.Mailbox().size(), 4u);
  }

  const test_support::RunResult second =
      test_support::RunCommand(test_support::ShellCommand(arguments[0], {arguments.begin() + 1, arguments.end()}));
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_TRUE(peer.Mailbox().empty());

  world.Restart();
  std::vector<std::string> stored = world.StoredTexts();
  std::vector<std::string> expected = Mailbox();
  std::sort(stored.begin(), stored.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(stored, expected);
}

INSTANTIATE_TEST_SUITE_P(KillPoints, MailCheckCrashThreadTest,
                         ::testing::Values("RETR 3", "UIDL 4", "DELE 1", "DELE 3", "QUIT"),
                         testing::CommandTestName);

}  // namespace
}  // namespace pelrion::transport
