#include "store/store_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/fatal_stop.h"

namespace pelrion::store {

namespace {

constexpr mode_t kFileMode = 0600;

int FlagsOf(OpenMode mode) {
  switch (mode) {
    case OpenMode::kReadOnly:
      return O_RDONLY;
    case OpenMode::kReadCreate:
      return O_RDONLY | O_CREAT;
    case OpenMode::kReadWriteCreate:
      return O_RDWR | O_CREAT;
    case OpenMode::kWriteCreate:
      return O_WRONLY | O_CREAT;
    case OpenMode::kWriteExisting:
      return O_WRONLY;
  }
  return O_RDONLY;
}

}  // namespace

std::optional<StoreFile> StoreFile::Open(const std::string& path, OpenMode mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), FlagsOf(mode) | O_CLOEXEC, kFileMode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return std::nullopt;
  // A directory opens read-only without complaint, but it is no database file.
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return StoreFile(fd);
}

StoreFile& StoreFile::operator=(StoreFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

StoreFile::~StoreFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::uint64_t> StoreFile::Length() const {
  struct stat info;
  if (::fstat(fd_, &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::size_t> StoreFile::ReadAt(std::uint64_t offset, char* out,
                                             std::size_t size) const {
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::optional<std::string> StoreFile::ReadAll() const {
  auto length = Length();
  if (!length) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(*length), '\0');
  auto got = ReadAt(0, bytes.data(), bytes.size());
  if (!got) return std::nullopt;
  bytes.resize(*got);
  return bytes;
}

bool StoreFile::WriteAt(std::uint64_t offset, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool StoreFile::SetLength(std::uint64_t length) {
  int rc;
  do {
    rc = ::ftruncate(fd_, static_cast<off_t>(length));
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

void DatabaseError() { platform::FatalStop(platform::kDatabaseError); }

StoreFile OpenForLoad(const std::string& path, FileKind kind) {
  OpenMode mode = (kind == FileKind::kSlotFile || kind == FileKind::kIdentityFile)
                      ? OpenMode::kReadWriteCreate
                      : OpenMode::kReadCreate;
  auto file = StoreFile::Open(path, mode);
  if (!file) DatabaseError();
  return std::move(*file);
}

StoreFile OpenForWrite(const std::string& path) {
  auto file = StoreFile::Open(path, OpenMode::kWriteCreate);
  if (!file) DatabaseError();
  return std::move(*file);
}

StoreFile OpenExistingForWrite(const std::string& path) {
  auto file = StoreFile::Open(path, OpenMode::kWriteExisting);
  if (!file) DatabaseError();
  return std::move(*file);
}

std::uint64_t LengthOrDie(const StoreFile& file) {
  auto length = file.Length();
  if (!length) DatabaseError();
  return *length;
}

std::size_t ReadAtOrDie(const StoreFile& file, std::uint64_t offset, char* out, std::size_t size) {
  auto got = file.ReadAt(offset, out, size);
  if (!got) DatabaseError();
  return *got;
}

std::string ReadAllOrDie(const StoreFile& file) {
  auto bytes = file.ReadAll();
  if (!bytes) DatabaseError();
  return std::move(*bytes);
}

void WriteAtOrDie(StoreFile& file, std::uint64_t offset, std::string_view bytes) {
  if (!file.WriteAt(offset, bytes)) DatabaseError();
}

void SetLengthOrDie(StoreFile& file, std::uint64_t length) {
  if (!file.SetLength(length)) DatabaseError();
}

}  // namespace pelrion::store
