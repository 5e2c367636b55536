#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/control_client.h"
#include "platform/control_server.h"
#include "platform/main_thread.h"
#include "support/files.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace pelrion::platform {
namespace {

using test_support::ScopedEnv;
using test_support::TempDir;

struct ClientOutcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

mode_t ModeOf(const std::string& path) {
  struct stat info{};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

sockaddr_un AddressOf(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// A socket file nobody listens on, as a program that was killed leaves behind.
void MakeStaleSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  const sockaddr_un address = AddressOf(path);
  ASSERT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

// A server in private runtime and temporary folders. Its handler answers "exit N" with
// exit code N and otherwise echoes the words and the input; "later" requests are kept
// unanswered in deferred_.
class ControlSocketTest : public testing::Test {
 protected:
  ControlSocketTest() : runtime_env_("XDG_RUNTIME_DIR", runtime_.path()) {}

  ControlHandler Handler() {
    return [this](ControlRequest request, ControlResponder respond) {
      ++handled_;
      if (!request.words.empty() && request.words[0] == "later") {
        deferred_.push_back(std::move(respond));
        return;
      }
      if (request.words.size() == 2 && request.words[0] == "exit") {
        respond({std::stoi(request.words[1]), "", "exit line\n"});
        return;
      }
      std::string echo;
      for (const std::string& word : request.words) echo += "[" + word + "]";
      respond({0, echo + "<" + request.input + ">\n", ""});
    };
  }

  // Runs the client on another thread while this (main) thread serves the handler.
  ClientOutcome Run(const std::string& socket_path, const ControlRequest& request) {
    std::atomic<bool> done{false};
    ClientOutcome outcome;
    std::thread client([&] {
      std::ostringstream out, err;
      outcome.exit_code = RunControlCommand(socket_path, request, out, err);
      outcome.out = out.str();
      outcome.err = err.str();
      done = true;
    });
    main_.RunUntil([&] { return done.load(); });
    client.join();
    return outcome;
  }

  PlainMainThread main_;
  TempDir runtime_;
  TempDir temp_;  // the program's TempFolder
  ScopedEnv runtime_env_;
  int handled_ = 0;
  std::vector<ControlResponder> deferred_;
};

TEST_F(ControlSocketTest, FolderFollowsTheRuntimeFolderOnlyWhenItIsUsable) {
  const std::string fallback = temp_.path() + "/";
  const std::string file = runtime_ / "a-file";
  test_support::WriteFile(file, "x");
  struct Case {
    const char* name;
    std::optional<std::string> runtime;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"usable", runtime_.path(), runtime_.path() + "/pelrion/"},
      {"trailing slash", runtime_.path() + "/", runtime_.path() + "/pelrion/"},
      {"unset", std::nullopt, fallback},
      {"empty", "", fallback},
      {"relative", "run/user", fallback},
      {"missing", runtime_ / "missing", fallback},
      {"a file", file, fallback},
  };
  for (const Case& c : cases) {
    const ScopedEnv env("XDG_RUNTIME_DIR", c.runtime);
    EXPECT_EQ(ControlFolder(temp_.path()), c.expected) << c.name;
    EXPECT_EQ(ControlSocketPath(temp_.path()), c.expected + "control") << c.name;
  }
  // A link to the runtime folder is followed (some systems link /run/user/N).
  const std::string link = temp_ / "runtime-link";
  ASSERT_EQ(symlink(runtime_.path().c_str(), link.c_str()), 0);
  const ScopedEnv linked("XDG_RUNTIME_DIR", link);
  EXPECT_EQ(ControlFolder(temp_.path()), link + "/pelrion/");
}

TEST_F(ControlSocketTest, WithNeitherARuntimeNorAFallbackFolderNothingIsCreated) {
  const ScopedEnv no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  EXPECT_EQ(ControlFolder(""), "");
  ControlServer server(main_, Handler());
  EXPECT_EQ(server.Start(""), ControlStartOutcome::kFailed);
  EXPECT_NE(server.error(), "");
}

// A link in the place of the program's own folder is not followed: whoever planted it
// would otherwise choose where the socket goes and see its permissions changed.
TEST_F(ControlSocketTest, ALinkInPlaceOfTheSocketFolderIsRefused) {
  ASSERT_EQ(symlink(temp_.path().c_str(), (runtime_ / "pelrion").c_str()), 0);
  ASSERT_EQ(chmod(temp_.path().c_str(), 0755), 0);
  ControlServer server(main_, Handler());
  EXPECT_EQ(server.Start(temp_.path()), ControlStartOutcome::kFailed);
  EXPECT_EQ(ModeOf(temp_.path()) & 07777, 0755u);
  EXPECT_FALSE(test_support::FileExists(temp_ / "control"));
}

TEST_F(ControlSocketTest, FolderAndSocketArePrivateToTheUserThreadTest) {
  ASSERT_EQ(mkdir((runtime_ / "pelrion").c_str(), 0755), 0);  // made by a looser umask
  ControlServer server(main_, Handler());
  ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
  EXPECT_EQ(server.socket_path(), runtime_ / "pelrion/control");
  EXPECT_EQ(ModeOf(runtime_ / "pelrion") & 07777, 0700u);
  const mode_t socket_mode = ModeOf(server.socket_path());
  EXPECT_TRUE(S_ISSOCK(socket_mode));
  EXPECT_EQ(socket_mode & 07777, 0600u);

  server.Stop();
  EXPECT_FALSE(test_support::FileExists(server.socket_path()));
}

TEST_F(ControlSocketTest, WithoutARuntimeFolderTheSocketIsInTheTempFolderThreadTest) {
  const ScopedEnv no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  ControlServer server(main_, Handler());
  ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
  EXPECT_EQ(server.socket_path(), temp_ / "control");
  EXPECT_EQ(ModeOf(temp_.path()) & 07777, 0700u);
  EXPECT_EQ(Run(server.socket_path(), {{"ping"}, ""}).out, "[ping]<>\n");
}

TEST_F(ControlSocketTest, AStaleSocketIsReplacedButALiveOneIsLeftToItsOwnerThreadTest) {
  ASSERT_EQ(mkdir((runtime_ / "pelrion").c_str(), 0700), 0);
  MakeStaleSocket(runtime_ / "pelrion/control");

  ControlServer first(main_, Handler());
  ASSERT_EQ(first.Start(temp_.path()), ControlStartOutcome::kListening) << first.error();
  {
    ControlServer second(main_, Handler());
    EXPECT_EQ(second.Start(temp_.path()), ControlStartOutcome::kAnotherInstance);
  }
  // The second one's end removed nothing: the first still answers on the same path.
  const ClientOutcome outcome = Run(first.socket_path(), {{"still", "here"}, ""});
  EXPECT_EQ(outcome.exit_code, 0);
  EXPECT_EQ(outcome.out, "[still][here]<>\n");
}

TEST_F(ControlSocketTest, AFileThatIsNotASocketIsNeverRemoved) {
  ASSERT_EQ(mkdir((runtime_ / "pelrion").c_str(), 0700), 0);
  test_support::WriteFile(runtime_ / "pelrion/control", "keep me");
  ControlServer server(main_, Handler());
  EXPECT_EQ(server.Start(temp_.path()), ControlStartOutcome::kFailed);
  EXPECT_NE(server.error(), "");
  EXPECT_EQ(test_support::ReadFile(runtime_ / "pelrion/control"), "keep me");
}

TEST_F(ControlSocketTest, RequestsAndRepliesTravelWholeThreadTest) {
  ControlServer server(main_, Handler());
  ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
  struct Case {
    ControlRequest request;
    ClientOutcome expected;
  };
  const std::string binary("a\0b\xff", 4);
  const std::vector<Case> cases = {
      {{{"account", "list", "--json"}, ""}, {0, "[account][list][--json]<>\n", ""}},
      {{{"account", "add", "--name", "Home"}, "pop secret\nsmtp secret\n"},
       {0, "[account][add][--name][Home]<pop secret\nsmtp secret\n>\n", ""}},
      {{{}, ""}, {0, "<>\n", ""}},
      {{{"", binary}, binary}, {0, "[][" + binary + "]<" + binary + ">\n", ""}},
      {{{std::string(kMaxControlWordBytes, 'w')}, std::string(kMaxControlInputBytes, 'i')},
       {0, "[" + std::string(kMaxControlWordBytes, 'w') + "]<" +
               std::string(kMaxControlInputBytes, 'i') + ">\n",
        ""}},
      {{{"exit", "2"}, ""}, {2, "", "exit line\n"}},
      {{{"exit", "1"}, ""}, {1, "", "exit line\n"}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const ClientOutcome outcome = Run(server.socket_path(), cases[i].request);
    EXPECT_EQ(outcome.exit_code, cases[i].expected.exit_code) << i;
    EXPECT_EQ(outcome.out, cases[i].expected.out) << i;
    EXPECT_EQ(outcome.err, cases[i].expected.err) << i;
  }
  EXPECT_EQ(handled_, static_cast<int>(cases.size()));
}

TEST_F(ControlSocketTest, AReplyMayComeLaterWithoutHoldingTheMainThreadThreadTest) {
  ControlServer server(main_, Handler());
  ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
  std::atomic<bool> done{false};
  ClientOutcome waiting;
  std::thread client([&] {
    std::ostringstream out, err;
    waiting.exit_code = RunControlCommand(server.socket_path(), {{"later"}, ""}, out, err);
    waiting.out = out.str();
    done = true;
  });
  main_.RunUntil([&] { return !deferred_.empty(); });
  // While the first client waits, other commands are served.
  EXPECT_EQ(Run(server.socket_path(), {{"exit", "0"}, ""}).exit_code, 0);
  EXPECT_FALSE(done.load());

  deferred_[0]({1, "report\n", ""});
  deferred_[0]({0, "second answer\n", ""});  // only the first answer counts
  main_.RunUntil([&] { return done.load(); });
  client.join();
  EXPECT_EQ(waiting.exit_code, 1);
  EXPECT_EQ(waiting.out, "report\n");
}

TEST_F(ControlSocketTest, OversizedOrBrokenRequestsNeverReachTheHandlerThreadTest) {
  ControlServer server(main_, Handler());
  ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
  const std::vector<ControlRequest> oversized = {
      {std::vector<std::string>(kMaxControlWords + 1, "w"), ""},
      {{"ok", std::string(kMaxControlWordBytes + 1, 'w')}, ""},
      {{"ok"}, std::string(kMaxControlInputBytes + 1, 'i')},
      {{"ok"}, std::string(4 * 1024 * 1024, 'i')},  // more than the socket buffers hold
  };
  for (std::size_t i = 0; i < oversized.size(); ++i) {
    const ClientOutcome outcome = Run(server.socket_path(), oversized[i]);
    EXPECT_EQ(outcome.exit_code, 2) << i;
    EXPECT_EQ(outcome.err, "The command is too long.\n") << i;
  }

  // A client that sends half a request and hangs up.
  const std::string whole = EncodeControlRequest({{"account", "list"}, ""});
  for (std::size_t cut : {std::size_t{2}, std::size_t{6}, whole.size() - 1}) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = AddressOf(server.socket_path());
    ASSERT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(SendAll(fd, std::string_view(whole).substr(0, cut)));
    close(fd);
  }
  EXPECT_EQ(Run(server.socket_path(), {{"after"}, ""}).out, "[after]<>\n");
  EXPECT_EQ(handled_, 1);
}

TEST_F(ControlSocketTest, WithNoProgramListeningTheCommandSaysSoAndExitsThree) {
  const std::string missing = runtime_ / "pelrion/control";
  const std::string stale = runtime_ / "stale";
  MakeStaleSocket(stale);
  for (const std::string& path : {missing, stale}) {
    std::ostringstream out, err;
    EXPECT_EQ(RunControlCommand(path, {{"status"}, ""}, out, err), kNoInstanceExitCode) << path;
    EXPECT_EQ(out.str(), "") << path;
    EXPECT_EQ(err.str(), "Pelrion is not running.\n") << path;
  }
}

TEST_F(ControlSocketTest, StoppingDropsAWaitingRequestAndRemovesTheSocketThreadTest) {
  ControlServer server(main_, Handler());
  ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
  std::atomic<bool> done{false};
  ClientOutcome waiting;
  std::thread client([&] {
    std::ostringstream out, err;
    waiting.exit_code = RunControlCommand(server.socket_path(), {{"later"}, ""}, out, err);
    waiting.err = err.str();
    done = true;
  });
  main_.RunUntil([&] { return !deferred_.empty(); });
  server.Stop();
  client.join();
  EXPECT_EQ(waiting.exit_code, 1);
  EXPECT_EQ(waiting.err, "Pelrion ended the connection without an answer.\n");
  EXPECT_FALSE(test_support::FileExists(server.socket_path()));
  deferred_[0]({0, "too late\n", ""});  // answering after the end is harmless
  std::ostringstream out, err;
  EXPECT_EQ(RunControlCommand(server.socket_path(), {{"status"}, ""}, out, err),
            kNoInstanceExitCode);
}

// The "stop" command answers and then the program stops the server at once: the answer
// already given must still reach the client.
TEST_F(ControlSocketTest, AnAnswerGivenJustBeforeStoppingStillArrivesThreadTest) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    ControlServer server(main_, Handler());
    ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
    std::atomic<bool> done{false};
    ClientOutcome outcome;
    std::thread client([&] {
      std::ostringstream out, err;
      outcome.exit_code = RunControlCommand(server.socket_path(), {{"exit", "0"}, ""}, out, err);
      outcome.err = err.str();
      done = true;
    });
    const int handled_before = handled_;
    main_.RunUntil([&] { return handled_ > handled_before; });
    server.Stop();
    client.join();
    EXPECT_EQ(outcome.exit_code, 0);
    EXPECT_EQ(outcome.err, "exit line\n");
  }
}

TEST(ControlPeerTest, APeerOfTheSameUserIsRecognised) {
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  EXPECT_TRUE(PeerIsSameUser(pair[0]));
  close(pair[0]);
  close(pair[1]);
  EXPECT_FALSE(PeerIsSameUser(-1));  // not a socket at all
}

// The folder and socket modes keep other users out; this checks the second line of defence
// by opening both up and connecting as another user, who must get no answer.
TEST_F(ControlSocketTest, AnotherUsersConnectionIsClosedUnansweredThreadTest) {
  if (geteuid() != 0) GTEST_SKIP() << "switching to another user needs root";
  const passwd* nobody = getpwnam("nobody");
  if (nobody == nullptr) GTEST_SKIP() << "no user 'nobody' on this system";
  const uid_t nobody_uid = nobody->pw_uid;
  const gid_t nobody_gid = nobody->pw_gid;

  const ScopedEnv no_runtime("XDG_RUNTIME_DIR", std::nullopt);
  ControlServer server(main_, Handler());
  ASSERT_EQ(server.Start(temp_.path()), ControlStartOutcome::kListening) << server.error();
  ASSERT_EQ(chmod(temp_.path().c_str(), 0711), 0);
  ASSERT_EQ(chmod(server.socket_path().c_str(), 0666), 0);

  // Everything the child needs is prepared here: after fork it only makes system calls.
  const std::string request = EncodeControlRequest({{"status"}, ""});
  const sockaddr_un address = AddressOf(server.socket_path());
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(nobody_gid) != 0 || setuid(nobody_uid) != 0) {
      _exit(10);
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      _exit(11);
    }
    (void)!send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    char byte;
    _exit(recv(fd, &byte, 1, 0) == 0 ? 0 : 12);  // closed without a single byte back
  }
  int status = 0;
  main_.RunUntil([&] { return waitpid(child, &status, WNOHANG) == child; });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: cannot switch user, 11: cannot connect, "
                                       "12: got an answer";
  EXPECT_EQ(handled_, 0);
  // The owner is still served.
  EXPECT_EQ(Run(server.socket_path(), {{"mine"}, ""}).out, "[mine]<>\n");
}

}  // namespace
}  // namespace pelrion::platform
