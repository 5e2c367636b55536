#include "platform/launch.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <future>
#include <string_view>
#include <system_error>
#include <thread>

namespace pelrion::platform {
namespace {

// Waits for the child whose id arrives through pid (nothing to wait for when it is not > 0).
void Reap(std::future<pid_t> pid) {
  const pid_t child = pid.get();
  if (child <= 0) return;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

// Spawn settings: own session, default signal handling, nothing blocked.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    sigset_t set;
    sigemptyset(&set);
    posix_spawnattr_setsigmask(&attributes_, &set);
    sigfillset(&set);
    posix_spawnattr_setsigdefault(&attributes_, &set);
    posix_spawnattr_setflags(&attributes_,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

// Spawn file actions: every descriptor above 2 closed in the child, whatever its close-on-exec
// flag (a descriptor opened by a library or another thread without it must not leak).
class SpawnFileActions {
 public:
  SpawnFileActions() {
    posix_spawn_file_actions_init(&actions_);
    posix_spawn_file_actions_addclosefrom_np(&actions_, 3);
  }
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  const posix_spawn_file_actions_t* get() const { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

int LaunchDetached(const std::vector<std::string>& argv) {
  if (argv.empty() || argv.front().empty()) return EINVAL;
  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  // The reaper starts first: when no thread can be started nothing is launched, so no child is
  // ever left without someone to wait for it.
  std::promise<pid_t> child;
  try {
    std::thread(Reap, child.get_future()).detach();
  } catch (const std::system_error&) {
    return EAGAIN;
  }
  const SpawnAttributes attributes;
  const SpawnFileActions actions;
  pid_t pid = -1;
  const int error =
      posix_spawnp(&pid, arguments[0], actions.get(), attributes.get(), arguments.data(), environ);
  child.set_value(error == 0 ? pid : -1);
  return error;
}

bool ProgramExists(const std::string& program) {
  if (program.empty()) return false;
  if (program.find('/') != std::string::npos) return IsExecutableFile(program);
  const char* path = std::getenv("PATH");
  // The search posix_spawnp makes when PATH is unset.
  std::string_view folders = path != nullptr ? path : "/bin:/usr/bin";
  while (true) {
    const std::size_t end = folders.find(':');
    const std::string_view folder = folders.substr(0, end);
    // An empty entry means the current folder, as for the shell.
    if (IsExecutableFile((folder.empty() ? std::string(".") : std::string(folder)) + "/" +
                         program)) {
      return true;
    }
    if (end == std::string_view::npos) return false;
    folders.remove_prefix(end + 1);
  }
}

}  // namespace pelrion::platform
