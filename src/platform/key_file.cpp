#include "platform/key_file.h"

#include <fcntl.h>
#include <unistd.h>

namespace pelrion::platform {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::optional<KeyFile> ReadKeyFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  // These files are a few kilobytes; anything past 1 MiB is not one of them.
  constexpr std::size_t kMaxSize = 1 << 20;
  std::string text;
  char buffer[8192];
  bool ok = true;
  while (true) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0 || text.size() + static_cast<std::size_t>(got) > kMaxSize) {
      ok = false;
      break;
    }
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return ParseKeyFile(text);
}

KeyFile ParseKeyFile(std::string_view text) {
  KeyFile file;
  std::map<std::string, std::string>* group = nullptr;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      group =
          close == std::string_view::npos ? nullptr : &file[std::string(line.substr(1, close - 1))];
      continue;
    }
    const std::size_t equals = line.find('=');
    if (group == nullptr || equals == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, equals));
    if (key.empty()) continue;
    group->emplace(std::string(key), std::string(Trim(line.substr(equals + 1))));
  }
  return file;
}

std::optional<std::string> KeyFileValue(const KeyFile& file, const std::string& group,
                                        const std::string& key) {
  const auto found_group = file.find(group);
  if (found_group == file.end()) return std::nullopt;
  const auto found = found_group->second.find(key);
  if (found == found_group->second.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> SplitListValue(std::string_view value) {
  std::vector<std::string> items;
  while (!value.empty()) {
    const std::size_t end = value.find(';');
    const std::string_view item = value.substr(0, end);
    if (!item.empty()) items.emplace_back(item);
    value.remove_prefix(end == std::string_view::npos ? value.size() : end + 1);
  }
  return items;
}

}  // namespace pelrion::platform
