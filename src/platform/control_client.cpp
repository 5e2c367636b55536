#include "platform/control_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pelrion::platform {
namespace {

// Closes the descriptor when the command is done, whichever way it ends.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

int RunControlCommand(const std::string& socket_path, const ControlRequest& request,
                      std::ostream& out, std::ostream& err) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.size() >= sizeof address.sun_path) {
    err << "The control socket path " << socket_path << " is too long.\n";
    return 1;
  }
  std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
  const FileDescriptor fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0 ||
      connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    if (errno == ENOENT || errno == ECONNREFUSED) {
      err << "Pelrion is not running.\n";
      return kNoInstanceExitCode;
    }
    err << "Cannot reach the running Pelrion at " << socket_path << ": " << std::strerror(errno)
        << ".\n";
    return 1;
  }
  // A refused request is answered before the whole of it was read; the answer still counts
  // even when sending the rest then fails.
  SendAll(fd.get(), EncodeControlRequest(request));
  shutdown(fd.get(), SHUT_WR);
  ControlReply reply;
  if (ReadControlReply(fd.get(), reply) != ControlReadOutcome::kRead) {
    err << "Pelrion ended the connection without an answer.\n";
    return 1;
  }
  out << reply.output << std::flush;
  err << reply.errors << std::flush;
  return reply.exit_code;
}

}  // namespace pelrion::platform
