// One database file, opened for one operation and closed again (no file stays open between
// operations). Writes go straight to the kernel with pwrite, so every change has reached the
// file when the call returns. Files are created with mode 0600.
//
// Two layers: StoreFile reports errors by return value (the read-only check tool uses it);
// the *OrDie helpers end the process through FatalStop("Critical error on database access."),
// which is what every store operation does on any file error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelrion::store {

enum class OpenMode {
  kReadOnly,         // read access; never creates (inspection)
  kReadCreate,       // read access, created empty when missing, never truncated
  kReadWriteCreate,  // read-write, created empty when missing, never truncated
  kWriteCreate,      // write access, created empty when missing, never truncated
  kWriteExisting,    // write access; a missing file is an error, never created
};

// How a database file is opened at load time.
enum class FileKind { kRecordFile, kSlotFile, kHeapFile, kIdentityFile };

class StoreFile {
 public:
  // The open file, or nullopt when it cannot be opened.
  static std::optional<StoreFile> Open(const std::string& path, OpenMode mode);

  StoreFile(StoreFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  StoreFile& operator=(StoreFile&& other) noexcept;
  StoreFile(const StoreFile&) = delete;
  StoreFile& operator=(const StoreFile&) = delete;
  ~StoreFile();

  // Current length in bytes, nullopt on error.
  std::optional<std::uint64_t> Length() const;
  // Reads up to size bytes at offset into out; the count read (less at the end of the file),
  // or nullopt on error.
  std::optional<std::size_t> ReadAt(std::uint64_t offset, char* out, std::size_t size) const;
  // The whole file, nullopt on error.
  std::optional<std::string> ReadAll() const;
  // Writes all bytes at offset; false on error or when not every byte could be written.
  bool WriteAt(std::uint64_t offset, std::string_view bytes);
  // Sets the file length (truncating or zero-extending); false on error.
  bool SetLength(std::uint64_t length);

 private:
  explicit StoreFile(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// Opens at load time: read access, create-if-missing, no truncation; slot files and the
// identity file read-write. Dies on error.
StoreFile OpenForLoad(const std::string& path, FileKind kind);

// Opens for an update (write access, created when missing). Dies on error.
StoreFile OpenForWrite(const std::string& path);
// Opens for an update a file that must still be there (write access). Dies on error, and
// when the file is missing.
StoreFile OpenExistingForWrite(const std::string& path);

// The same operations as StoreFile's, ending through FatalStop on any error.
std::uint64_t LengthOrDie(const StoreFile& file);
std::size_t ReadAtOrDie(const StoreFile& file, std::uint64_t offset, char* out, std::size_t size);
std::string ReadAllOrDie(const StoreFile& file);
void WriteAtOrDie(StoreFile& file, std::uint64_t offset, std::string_view bytes);
void SetLengthOrDie(StoreFile& file, std::uint64_t length);

// FatalStop("Critical error on database access.").
[[noreturn]] void DatabaseError();

}  // namespace pelrion::store
