#include "store/content_digest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "store/message_summary.h"
#include "store/store_file.h"

namespace pelrion::store {

std::optional<ContentFingerprint> ReadContentFingerprint(
    const std::string& path, std::optional<std::uint64_t> expected_size) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      (expected_size && static_cast<std::uint64_t>(info.st_size) != *expected_size)) {
    ::close(fd);
    return std::nullopt;
  }
  ContentFingerprint fingerprint;
  fingerprint.file_size = static_cast<std::uint64_t>(info.st_size);
  const std::size_t span =
      static_cast<std::size_t>(std::min<std::uint64_t>(fingerprint.file_size, kContentDigestSpan));
  std::string bytes(span, '\0');
  std::size_t got = 0;
  while (got < span) {
    const ssize_t n = ::read(fd, bytes.data() + got, span - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      DatabaseError();
    }
    if (n == 0) break;  // the file shrank since fstat: no consistent fingerprint
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got != span) return std::nullopt;
  fingerprint.digest = crypto::Md5Of(bytes);
  return fingerprint;
}

}  // namespace pelrion::store
