#include "transport/worker_job.h"

#include <sys/socket.h>

namespace pelrion::transport {

void WorkerJob::SetSocket(int fd, std::size_t slot) {
  std::lock_guard lock(mutex_);
  sockets_.at(slot) = fd;
  // RequestStop sets the flag before it takes the lock, so either it sees this socket or this
  // sees its flag.
  if (fd >= 0 && StopRequested()) shutdown(fd, SHUT_RDWR);
}

void WorkerJob::ClearSocket(std::size_t slot) {
  std::lock_guard lock(mutex_);
  sockets_.at(slot) = -1;
}

void WorkerJob::ForgetSocket(int fd) {
  if (fd < 0) return;
  std::lock_guard lock(mutex_);
  for (int& held : sockets_) {
    if (held == fd) held = -1;
  }
}

int WorkerJob::SocketIn(std::size_t slot) const {
  std::lock_guard lock(mutex_);
  return sockets_.at(slot);
}

void WorkerJob::RequestStop() {
  stop_.store(true, std::memory_order_release);
  std::lock_guard lock(mutex_);
  for (int fd : sockets_) {
    if (fd >= 0) shutdown(fd, SHUT_RDWR);
  }
}

}  // namespace pelrion::transport
