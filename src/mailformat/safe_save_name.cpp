#include "mailformat/safe_save_name.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "mailformat/temp_files.h"

namespace pelrion::mailformat {
namespace {

// Enough for any real clash; a folder flooded with numbered copies still ends.
constexpr unsigned kMaxNumberedNames = 10'000;
// Longer "extensions" are ordinary text of the name and may be cut.
constexpr std::size_t kMaxKeptExtension = 32;

bool IsControlByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The leading part of text no longer than limit bytes that does not end inside a UTF-8
// character.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t end = limit;
  while (end > 0 && IsContinuationByte(text[end])) --end;
  return text.substr(0, end);
}

// Position of the extension's dot, or npos when the name has no short extension (a leading
// dot, as in ".profile", is part of the name).
std::size_t ExtensionDot(std::string_view name) {
  const std::size_t dot = name.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0 || name.size() - dot > kMaxKeptExtension) {
    return std::string_view::npos;
  }
  return dot;
}

// stem + suffix + extension within kMaxSaveNameBytes, the stem cut when needed.
std::string Compose(std::string_view name, std::string_view suffix) {
  const std::size_t dot = ExtensionDot(name);
  const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot);
  const std::string_view stem = name.substr(0, name.size() - extension.size());
  const std::size_t room = kMaxSaveNameBytes - suffix.size() - extension.size();
  std::string result(CutAtCharacter(stem, room));
  result.append(suffix).append(extension);
  return result;
}

std::string WithSlash(std::string_view folder) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// Copies everything readable from source_fd to target_fd.
bool CopyBytes(int source_fd, int target_fd) {
  std::array<char, 65536> buffer;
  for (;;) {
    const ssize_t got = ::read(source_fd, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(target_fd, buffer.data(), static_cast<std::size_t>(got))) return false;
  }
}

// Copies source into the open target, closes both and removes target_path on failure.
bool FillAndClose(const std::string& source, int target_fd, const std::string& target_path) {
  const int source_fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  bool ok = source_fd >= 0 && CopyBytes(source_fd, target_fd);
  if (source_fd >= 0) ::close(source_fd);
  ok = ::close(target_fd) == 0 && ok;
  if (!ok) ::unlink(target_path.c_str());
  return ok;
}

}  // namespace

std::string SafeSaveName(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  bool usable = !name.empty() && name != "." && name != "..";
  for (const char c : name) usable = usable && !IsControlByte(c);
  if (!usable) {
    // TempExtensionFor keeps only a plain extension, so nothing hostile comes along.
    std::string made_up(kMadeUpSaveName);
    return made_up + (name == "." || name == ".." ? "" : TempExtensionFor(name));
  }
  return Compose(name, "");
}

std::string NumberedSaveName(std::string_view safe_name, unsigned number) {
  return Compose(safe_name, " (" + std::to_string(number) + ")");
}

std::optional<SaveFile> CreateSaveFile(std::string_view folder, std::string_view name) {
  const std::string base = SafeSaveName(name);
  const std::string prefix = WithSlash(folder);
  for (unsigned number = 1; number <= kMaxNumberedNames; ++number) {
    SaveFile file;
    file.path = prefix + (number == 1 ? base : NumberedSaveName(base, number));
    file.fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file.fd >= 0) return file;
    if (errno != EEXIST) return std::nullopt;
  }
  return std::nullopt;
}

std::optional<std::string> SaveCopyInto(const std::string& source, std::string_view folder,
                                        std::string_view name) {
  std::optional<SaveFile> file = CreateSaveFile(folder, name);
  if (!file) return std::nullopt;
  if (!FillAndClose(source, file->fd, file->path)) return std::nullopt;
  return file->path;
}

bool CopyFileTo(const std::string& source, const std::string& destination) {
  // Written beside the destination first, then renamed over it: a link planted at the
  // destination is replaced rather than followed, and a failed copy leaves the old file.
  const std::size_t slash = destination.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "./" : destination.substr(0, slash + 1);
  std::optional<TempFile> scratch = CreateTempFile(folder, ".pelrion-save-", ".part");
  if (!scratch) return false;
  if (!FillAndClose(source, scratch->fd, scratch->path)) return false;
  // The scratch file is private (0600); the copy gets the replaced file's permissions, or
  // those of an ordinary document.
  struct stat existing {};
  const bool replaces = ::lstat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
  ::chmod(scratch->path.c_str(), replaces ? (existing.st_mode & 0777) : 0644);
  if (::rename(scratch->path.c_str(), destination.c_str()) != 0) {
    ::unlink(scratch->path.c_str());
    return false;
  }
  return true;
}

}  // namespace pelrion::mailformat
