#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pelrion::platform {
namespace {

std::string WithSlash(std::string_view path) {
  std::string out(path);
  if (out.empty() || out.back() != '/') out.push_back('/');
  return out;
}

// Whether two paths name the same directory (same device and inode), whatever their spelling.
bool SameDirectory(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

SingleInstance::~SingleInstance() { ReleaseAll(); }

SingleInstance& SingleInstance::operator=(SingleInstance&& other) noexcept {
  if (this != &other) {
    ReleaseAll();
    locks_ = std::exchange(other.locks_, {});
  }
  return *this;
}

void SingleInstance::ReleaseAll() {
  // Closing the only descriptor of an open file description drops its flock.
  for (const Lock& lock : locks_) close(lock.fd);
  locks_.clear();
}

LockOutcome SingleInstance::LockFolder(std::string_view folder) {
  const std::string dir = WithSlash(folder);
  for (const Lock& lock : locks_) {
    if (lock.folder == dir || SameDirectory(lock.folder, dir)) return LockOutcome::kHeld;
  }
  if (!CreateFolderPath(dir)) return LockOutcome::kFailed;
  const std::string file = dir + std::string(kLockFileName);
  // Close-on-exec: a program launched from here (a viewer) must not inherit the lock and
  // keep it after this copy has ended.
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return LockOutcome::kFailed;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const bool taken = errno == EWOULDBLOCK;
    close(fd);
    return taken ? LockOutcome::kTakenByAnother : LockOutcome::kFailed;
  }
  locks_.push_back(Lock{dir, fd});
  return LockOutcome::kHeld;
}

std::vector<std::string> SingleInstance::LockedFolders() const {
  std::vector<std::string> folders;
  for (const Lock& lock : locks_) folders.push_back(lock.folder);
  return folders;
}

bool LockFolders(SingleInstance& instance, const Folders& folders, Dialogs& dialogs) {
  std::vector<std::string> wanted{folders.data};
  if (!SameDirectory(folders.database, folders.data + "Db/")) wanted.push_back(folders.database);
  for (const std::string& folder : wanted) {
    switch (instance.LockFolder(folder)) {
      case LockOutcome::kHeld:
        break;
      case LockOutcome::kTakenByAnother:
        return false;
      case LockOutcome::kFailed:
        dialogs.MessageBox("The lock file '" + WithSlash(folder) + std::string(kLockFileName) +
                               "' could not be created or locked.",
                           "Pelrion", DialogIcon::kStop, DialogButtons::kOk);
        return false;
    }
  }
  return true;
}

}  // namespace pelrion::platform
