// One running copy per user: an exclusive flock(2) on a lock file, held for the lifetime of
// a SingleInstance object. The lock goes with the process, so a crashed copy never leaves
// a stale lock behind.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace pelrion::platform {

class SingleInstance {
 public:
  // Takes the lock on path (created 0600, its folder 0700 when missing); nullptr when another
  // process or open file description holds it, or the file cannot be opened.
  static std::unique_ptr<SingleInstance> Acquire(std::string_view path);

  // $XDG_RUNTIME_DIR/pelrion.lock, else DataFolderPath() + "pelrion.lock".
  static std::string DefaultLockPath();

  ~SingleInstance();  // releases the lock
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

 private:
  explicit SingleInstance(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace pelrion::platform
