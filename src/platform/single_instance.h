// One running copy per set of data: an exclusive flock(2) on "pelrion.lock" inside every
// folder a running copy writes to (DataFolder, and the database folder when it is elsewhere).
// The lock files live beside the data, not in a per-session folder such as $XDG_RUNTIME_DIR,
// so a copy started from a desktop session and one started from cron or ssh see each other.
// A lock goes with the process, so a crashed copy never leaves a stale lock behind.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/folders.h"

namespace pelrion::platform {

inline constexpr std::string_view kLockFileName = "pelrion.lock";

enum class LockOutcome {
  kHeld,            // this object holds the folder's lock (now or already)
  kTakenByAnother,  // another process, or another open file description, holds it
  kFailed,          // the lock file cannot be created, opened or locked
};

class SingleInstance {
 public:
  SingleInstance() = default;
  ~SingleInstance();  // releases every lock held
  SingleInstance(SingleInstance&& other) noexcept : locks_(std::exchange(other.locks_, {})) {}
  SingleInstance& operator=(SingleInstance&& other) noexcept;
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // Takes the lock on folder + "pelrion.lock" (file 0600, folder created 0700 when missing)
  // and keeps it until this object goes. Locking a folder held already is a no-op.
  LockOutcome LockFolder(std::string_view folder);

  // The folders (with a trailing '/') whose locks this object holds, in the order taken.
  std::vector<std::string> LockedFolders() const;

 private:
  struct Lock {
    std::string folder;
    int fd;
  };
  void ReleaseAll();
  std::vector<Lock> locks_;
};

// Takes the locks of a running copy once its folders are resolved: DataFolder, then the
// database folder when it is another directory than DataFolder + "Db/". False when start-up
// must end: silently when another copy holds a lock, with a message through dialogs when a
// lock file cannot be used.
bool LockFolders(SingleInstance& instance, const Folders& folders, Dialogs& dialogs);

}  // namespace pelrion::platform
