#include "core/templates.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/dialogs.h"

namespace pelrion::core {
namespace {

// The system's text for an errno value, on one line.
std::string SystemText(int error) {
  std::string text = std::generic_category().message(error);
  for (char& c : text) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return text;
}

TemplateFileResult Failure(std::string reason) {
  return {std::nullopt, std::move(reason)};
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now; false (errno set) when the close reported an error.
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

// Writes all of data; false (errno set) on an error.
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

std::string DropCarriageReturnsBeforeLineFeeds(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result.push_back(text[i]);
  }
  return result;
}

TemplateFileResult ReadTemplateFile(const std::string& path) {
  // O_NONBLOCK keeps a FIFO from stalling the open; only regular files are read.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return Failure(SystemText(errno));
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return Failure(SystemText(errno));
  if (S_ISDIR(info.st_mode)) return Failure(SystemText(EISDIR));
  if (!S_ISREG(info.st_mode)) return Failure(std::string(kFileReadFailure));
  if (info.st_size == 0) return Failure(std::string(kFileIsEmpty));
  if (static_cast<std::uintmax_t>(info.st_size) > kMaxTemplateFileSize) {
    return Failure(std::string(kFileIsTooLarge));
  }

  std::string content(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t filled = 0;
  while (filled < content.size()) {
    const ssize_t got = ::read(file.get(), content.data() + filled, content.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Failure(SystemText(errno));
    }
    if (got == 0) return Failure(std::string(kFileReadFailure));  // shrank since fstat
    filled += static_cast<std::size_t>(got);
  }

  if (content.find('\0') != std::string::npos) return Failure(std::string(kNotATextFile));
  return {DropCarriageReturnsBeforeLineFeeds(content), {}};
}

std::optional<std::string> LoadTemplateFile(const std::string& path) {
  TemplateFileResult result = ReadTemplateFile(path);
  if (result.text) return std::move(result.text);
  const std::string message = "Failed to load template from file " + path + ":\n" + result.reason;
  platform::CurrentDialogs().MessageBox(message, "Pelrion", platform::DialogIcon::kWarning,
                                        platform::DialogButtons::kOk);
  return std::nullopt;
}

bool InstallDefaultTemplate(Preferences& preferences, const std::string& templates_folder,
                            ValidationMethod method, TemplateKind kind) {
  const std::string_view text = DefaultTemplateText(method, kind);
  const std::string path = templates_folder + std::string(DefaultTemplateFileName(method, kind));

  // The file is the user's to edit, so it gets the ordinary mode (less the umask).
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  const bool written = file.get() >= 0 && WriteAll(file.get(), text) && file.Close();

  TemplateFileName(preferences, method, kind) = written ? path : std::string();
  MutableTemplateText(preferences, method, kind) = std::string(text);
  CharsetIndex(preferences, method) = mailformat::kDefaultCharsetIndex;
  return written;
}

}  // namespace pelrion::core
