#include "platform/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/folders.h"

namespace pelrion::platform {

std::unique_ptr<SingleInstance> SingleInstance::Acquire(std::string_view path) {
  const std::string file(path);
  const std::size_t slash = file.rfind('/');
  if (slash != std::string::npos && slash != 0 && !CreateFolderPath(file.substr(0, slash + 1))) {
    return nullptr;
  }
  const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    close(fd);
    return nullptr;
  }
  return std::unique_ptr<SingleInstance>(new SingleInstance(fd));
}

std::string SingleInstance::DefaultLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    std::string path(runtime);
    if (path.back() != '/') path.push_back('/');
    return path + "pelrion.lock";
  }
  return DataFolderPath() + "pelrion.lock";
}

SingleInstance::~SingleInstance() {
  // Closing the only descriptor of the open file description drops the flock.
  close(fd_);
}

}  // namespace pelrion::platform
