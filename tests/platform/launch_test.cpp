// Launch tests start the fixture program record-args, which writes down how it was started.
// A reaper thread runs for every launch, hence the ThreadTest names.
#include "platform/launch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/viewer.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace pelrion::platform {
namespace {

using test_support::ScopedEnv;
using test_support::TempDir;

const std::string kXdg = PELRION_FIXTURES "/xdg";
const std::string kRecorder = kXdg + "/bin/record-args";

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Polls until done() holds; false after a generous limit (a hung or never-started program).
template <typename Done>
bool WaitFor(Done done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// What one run of record-args wrote down.
struct Record {
  std::vector<std::string> arguments;
  std::string descriptors;  // "ls -l /proc/self/fd" of a child of the program
  long pid = 0;
  long session = 0;
};

// A place for record-args to write to, named by PELRION_RECORD_OUT while it lives.
class Recording {
 public:
  Recording() : out_(dir_ / "record"), env_("PELRION_RECORD_OUT", out_) {}

  // Waits for the program to finish writing and reads what it wrote.
  Record Read() const {
    Record record;
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(out_ + ".done"); }))
        << "record-args did not run";
    const std::string arguments = ReadWholeFile(out_ + ".args");
    for (std::size_t begin = 0; begin < arguments.size();) {
      const std::size_t end = arguments.find('\0', begin);
      record.arguments.push_back(arguments.substr(begin, end - begin));
      begin = end + 1;
    }
    record.descriptors = ReadWholeFile(out_ + ".fds");
    // "pid (comm) state ppid pgrp session ..."
    const std::string stat = ReadWholeFile(out_ + ".stat");
    std::istringstream head(stat);
    head >> record.pid;
    std::istringstream tail(stat.substr(stat.rfind(')') + 1));
    std::string state;
    long parent = 0, group = 0;
    tail >> state >> parent >> group >> record.session;
    return record;
  }

 private:
  TempDir dir_;
  std::string out_;
  ScopedEnv env_;
};

// The descriptor numbers in an "ls -l /proc/self/fd" listing, leaving out the one ls itself
// holds open on that folder while it reads it.
std::set<int> InheritedDescriptors(const std::string& listing) {
  std::set<int> numbers;
  std::istringstream lines(listing);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t arrow = line.find(" -> ");
    if (arrow == std::string::npos) continue;
    const std::string target = line.substr(arrow + 4);
    if (target.rfind("/proc/", 0) == 0 && target.size() > 3 &&
        target.compare(target.size() - 3, 3, "/fd") == 0) {
      continue;
    }
    const std::size_t number_begin = line.rfind(' ', arrow - 1) + 1;
    numbers.insert(std::stoi(line.substr(number_begin, arrow - number_begin)));
  }
  return numbers;
}

bool ProcessIsGone(long pid) {
  return !std::filesystem::exists("/proc/" + std::to_string(pid));
}

TEST(LaunchThreadTest, ChildHasOnlyStandardDescriptorsItsOwnSessionAndIsReaped) {
  Recording recording;
  // Descriptors opened without close-on-exec, as a careless library might: still not passed on.
  const int file = ::open(kRecorder.c_str(), O_RDONLY);
  int pipe_ends[2] = {-1, -1};
  ASSERT_GE(file, 0);
  ASSERT_EQ(::pipe(pipe_ends), 0);
  const int high = ::dup2(file, 200);
  ASSERT_EQ(high, 200);

  EXPECT_EQ(LaunchDetached({kRecorder, "one"}), 0);
  const Record record = recording.Read();
  ::close(file);
  ::close(pipe_ends[0]);
  ::close(pipe_ends[1]);
  ::close(high);

  EXPECT_EQ(record.arguments, (std::vector<std::string>{"one"}));
  EXPECT_EQ(InheritedDescriptors(record.descriptors), (std::set<int>{0, 1, 2}))
      << record.descriptors;
  ASSERT_GT(record.pid, 0);
  EXPECT_EQ(record.session, record.pid) << "not the leader of a session of its own";
  EXPECT_NE(record.session, static_cast<long>(::getsid(0)));
  // Once it has ended, the reaper collects it: no zombie entry stays in /proc.
  EXPECT_TRUE(WaitFor([&] { return ProcessIsGone(record.pid); }))
      << ReadWholeFile("/proc/" + std::to_string(record.pid) + "/stat");
}

TEST(LaunchThreadTest, ProgramThatCannotStartIsAFailure) {
  const ScopedEnv path("PATH", kXdg + "/bin");
  EXPECT_EQ(LaunchDetached({"absent-viewer", "x"}), ENOENT);
  EXPECT_EQ(LaunchDetached({kXdg + "/bin/absent-viewer"}), ENOENT);
  EXPECT_EQ(LaunchDetached({kXdg + "/bin/not-executable"}), EACCES);
  EXPECT_EQ(LaunchDetached({}), EINVAL);
  EXPECT_EQ(LaunchDetached({""}), EINVAL);
}

TEST(LaunchThreadTest, FindsTheProgramOnPath) {
  const ScopedEnv path("PATH", kXdg + "/absent:" + kXdg + "/bin:/usr/bin:/bin");
  EXPECT_TRUE(ProgramExists("record-args"));
  EXPECT_TRUE(ProgramExists(kRecorder));
  EXPECT_FALSE(ProgramExists("absent-viewer"));
  EXPECT_FALSE(ProgramExists("not-executable"));
  EXPECT_FALSE(ProgramExists(kXdg + "/bin"));  // a folder
  EXPECT_FALSE(ProgramExists(""));
  Recording recording;
  EXPECT_EQ(LaunchDetached({"record-args"}), 0);
  EXPECT_TRUE(recording.Read().arguments.empty());
}

// Each tricky file name reaches the viewer as exactly one argument, untouched by any shell.
TEST(OpenWithViewerThreadTest, PathIsOneArgument) {
  const std::vector<std::string> names = {
      "plain.txt",
      "with space.txt",
      "\"double\" and 'single' quotes.txt",
      "$(touch injected).txt",
      "a;touch injected;b.txt",
      "`touch injected` & | > < *.txt",
      "back\\slash \\\" %f %u.txt",
      "line\nbreak.txt",
  };
  const ScopedEnv path("PATH", kXdg + "/bin:/usr/bin:/bin");
  TempDir folder;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const std::string file = folder / name;
    {
      Recording recording;
      ASSERT_TRUE(OpenWithViewer(file, ViewerCommand{"record-args --first %f --last", ""}));
      EXPECT_EQ(recording.Read().arguments, (std::vector<std::string>{"--first", file, "--last"}));
    }
    {
      Recording recording;
      ASSERT_TRUE(OpenWithViewer(file, ViewerCommand{"record-args", ""}));
      EXPECT_EQ(recording.Read().arguments, (std::vector<std::string>{file}));
    }
  }
  EXPECT_FALSE(std::filesystem::exists(folder / "injected"));
  EXPECT_FALSE(std::filesystem::exists("injected"));
}

TEST(OpenWithViewerThreadTest, FailsWithoutAStartableViewer) {
  const ScopedEnv path("PATH", kXdg + "/bin");
  EXPECT_FALSE(OpenWithViewer("/tmp/x.txt", ViewerCommand{}));
  EXPECT_FALSE(OpenWithViewer("/tmp/x.txt", ViewerCommand{"absent-viewer %f", "a.desktop"}));
  EXPECT_FALSE(OpenWithViewer("/tmp/x.txt", ViewerCommand{"record-args \"%f", "a.desktop"}));
  EXPECT_FALSE(OpenWithViewer("/tmp/x.txt", ViewerCommand{"%f", "a.desktop"}));
}

// The start-up look-up and the launch together, on the fixture desktop.
TEST(OpenWithViewerThreadTest, LooksUpAndOpens) {
  const ScopedEnv config_home("XDG_CONFIG_HOME", kXdg + "/config");
  const ScopedEnv config_dirs("XDG_CONFIG_DIRS", kXdg + "/etc");
  const ScopedEnv data_home("XDG_DATA_HOME", kXdg + "/home");
  const ScopedEnv data_dirs("XDG_DATA_DIRS", kXdg + "/sys");
  const ScopedEnv desktop("XDG_CURRENT_DESKTOP", std::nullopt);
  const ScopedEnv path("PATH", kXdg + "/bin:/usr/bin:/bin");
  const std::string table = kXdg + "/mime.types";

  const ViewerCommands commands = LookUpViewerCommands(table);
  EXPECT_EQ(commands.txt.desktop_file, kXdg + "/sys/applications/recorder.desktop");
  // Nobody chose a mail viewer: the installed entry declaring the type is found.
  EXPECT_EQ(commands.eml.desktop_file, kXdg + "/sys/applications/vendor/mail.desktop");
  EXPECT_EQ(ViewerCommandForExtension("TEXT", table).desktop_file, commands.txt.desktop_file);
  EXPECT_TRUE(ViewerCommandForExtension(".nov", table).empty());
  EXPECT_TRUE(ViewerCommandForExtension(".unknown", table).empty());
  EXPECT_TRUE(ViewerCommandForExtension("", table).empty());
  // "Open with..." offers the same application first.
  const std::vector<DesktopApplication> for_mail = ApplicationsForExtension(".mail", table);
  ASSERT_FALSE(for_mail.empty());
  EXPECT_EQ(for_mail.front().command.desktop_file, commands.eml.desktop_file);
  EXPECT_TRUE(ApplicationsForExtension(".unknown", table).empty());

  Recording recording;
  const std::string file = "/tmp/Pelrion-test/H123 \"x\".txt";
  ASSERT_TRUE(OpenWithViewer(file, commands.txt));
  EXPECT_EQ(recording.Read().arguments, (std::vector<std::string>{"--first", file, "--last"}));
}

}  // namespace
}  // namespace pelrion::platform
