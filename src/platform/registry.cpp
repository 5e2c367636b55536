#include "platform/registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/folders.h"

namespace pelrion::platform {
namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Lower(a) == Lower(b);
}

// A line break or NUL in a key path or value name could not be written back to the file.
bool Writable(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// Value names compare without regard to case, like the registry's; the first spelling stays.
template <typename Map>
auto FindValue(Map& values, std::string_view name) {
  auto it = values.find(std::string(name));
  if (it != values.end()) return it;
  for (it = values.begin(); it != values.end(); ++it) {
    if (EqualsIgnoringCase(it->first, name)) return it;
  }
  return values.end();
}

// ---- REGEDIT4 text -------------------------------------------------------------------

bool NeedsHexString(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c >= 0x7F) return true;
  }
  return false;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
}

void AppendHexBytes(std::string& out, const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < size; ++i) {
    if (i != 0) out.push_back(',');
    out.push_back(kDigits[bytes[i] >> 4]);
    out.push_back(kDigits[bytes[i] & 15]);
  }
}

// Reads a quoted, backslash-escaped text at the start of in; advances past it.
std::optional<std::string> TakeQuoted(std::string_view& in) {
  if (in.empty() || in.front() != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i < in.size(); ++i) {
    char c = in[i];
    if (c == '"') {
      in.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (++i == in.size()) return std::nullopt;
      c = in[i];
    }
    out.push_back(c);
  }
  return std::nullopt;  // no closing quote
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// "01,00,ff" (white space allowed around bytes); nullopt on anything else.
std::optional<RegistryBinary> ParseHexList(std::string_view text) {
  RegistryBinary out;
  text = Trim(text);
  if (text.empty()) return out;
  while (true) {
    std::size_t comma = text.find(',');
    std::string_view item = Trim(text.substr(0, comma));
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1])));
    if (comma == std::string_view::npos) return out;
    text.remove_prefix(comma + 1);
  }
}

std::optional<RegistryValue> ParseData(std::string_view data) {
  data = Trim(data);
  if (data.starts_with('"')) {
    auto text = TakeQuoted(data);
    if (!text || !Trim(data).empty()) return std::nullopt;
    return RegistryValue(std::move(*text));
  }
  if (data.starts_with("hex:")) {
    auto bytes = ParseHexList(data.substr(4));
    if (!bytes) return std::nullopt;
    return RegistryValue(std::move(*bytes));
  }
  if (data.starts_with("hex(1):")) {
    auto bytes = ParseHexList(data.substr(7));
    if (!bytes) return std::nullopt;
    if (!bytes->empty() && bytes->back() == 0) bytes->pop_back();
    return RegistryValue(std::string(bytes->begin(), bytes->end()));
  }
  if (data.starts_with("dword:")) {
    std::string_view digits = data.substr(6);
    if (digits.size() != 8) return std::nullopt;
    std::uint32_t number = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) return std::nullopt;
      number = number * 16 + static_cast<std::uint32_t>(HexDigit(c));
    }
    return RegistryValue(RegistryBinary{static_cast<std::uint8_t>(number),
                                        static_cast<std::uint8_t>(number >> 8),
                                        static_cast<std::uint8_t>(number >> 16),
                                        static_cast<std::uint8_t>(number >> 24)});
  }
  return std::nullopt;
}

// Reads the regular file at path into text; 0, or the errno of the failure (ENOENT when the
// file does not exist, EISDIR/EINVAL when it is a directory or another kind of file).
int ReadWholeFile(const std::string& path, std::string& text) {
  // Non-blocking so that a FIFO in the file's place cannot hang the start.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat st {};
  int error = 0;
  if (fstat(fd, &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (!S_ISREG(st.st_mode)) {
    error = EINVAL;
  }
  char buffer[65536];
  while (error == 0) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return error;
}

// Writes text to path through a temporary file in the same folder, so that the file is at
// every moment either the old or the new complete text, even if the process dies.
bool WriteAtomically(const std::string& path, const std::string& text) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  if (slash != std::string::npos && !CreateFolderPath(folder)) return false;

  const std::string temp = path + ".tmp";
  const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  bool ok = fchmod(fd, 0600) == 0;
  for (std::size_t done = 0; ok && done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  ok = (close(fd) == 0) && ok;
  ok = ok && rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk only with the folder's entry.
  const int dir_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir_fd >= 0) {
    fsync(dir_fd);
    close(dir_fd);
  }
  return true;
}

}  // namespace

// ---- Registry ------------------------------------------------------------------------

std::string Registry::DisplayKey(const std::string& lowered) const {
  auto it = key_names_.find(lowered);
  return it != key_names_.end() ? it->second : lowered;
}

std::optional<RegistryValue> Registry::Get(std::string_view key, std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto values = keys_.find(Lower(key));
  if (values == keys_.end()) return std::nullopt;
  auto it = FindValue(values->second, name);
  if (it == values->second.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> Registry::GetString(std::string_view key, std::string_view name) const {
  auto value = Get(key, name);
  if (!value || !std::holds_alternative<std::string>(*value)) return std::nullopt;
  return std::get<std::string>(std::move(*value));
}

std::optional<RegistryBinary> Registry::GetBinary(std::string_view key,
                                                  std::string_view name) const {
  auto value = Get(key, name);
  if (!value || !std::holds_alternative<RegistryBinary>(*value)) return std::nullopt;
  return std::get<RegistryBinary>(std::move(*value));
}

std::optional<std::uint32_t> Registry::GetNumber(std::string_view key,
                                                 std::string_view name) const {
  auto bytes = GetBinary(key, name);
  if (!bytes || bytes->size() != 4) return std::nullopt;
  return std::uint32_t{(*bytes)[0]} | (std::uint32_t{(*bytes)[1]} << 8) |
         (std::uint32_t{(*bytes)[2]} << 16) | (std::uint32_t{(*bytes)[3]} << 24);
}

bool Registry::Set(std::string_view key, std::string_view name, RegistryValue value) {
  if (!Writable(key) || !Writable(name)) return false;
  std::lock_guard lock(mutex_);
  const std::string lowered = Lower(key);
  // Keep the old state so a failed write leaves memory as the store has it.
  const Keys before = keys_;
  const bool new_key = !key_names_.contains(lowered);
  if (new_key) key_names_[lowered] = std::string(key);
  Values& values = keys_[lowered];
  auto it = FindValue(values, name);
  // Start-up writes some values back at every start: the same value costs no file write
  // (each one is a rewrite with fsync).
  if (it != values.end() && it->second == value) return true;
  if (it != values.end()) {
    it->second = std::move(value);
  } else {
    values.emplace(std::string(name), std::move(value));
  }
  if (Persist(keys_)) return true;
  keys_ = before;
  if (new_key) key_names_.erase(lowered);
  return false;
}

bool Registry::SetString(std::string_view key, std::string_view name, std::string_view value) {
  return Set(key, name, RegistryValue(std::string(value)));
}

bool Registry::SetBinary(std::string_view key, std::string_view name,
                         const RegistryBinary& value) {
  return Set(key, name, RegistryValue(value));
}

bool Registry::SetNumber(std::string_view key, std::string_view name, std::uint32_t value) {
  return SetBinary(key, name,
                   RegistryBinary{static_cast<std::uint8_t>(value),
                                  static_cast<std::uint8_t>(value >> 8),
                                  static_cast<std::uint8_t>(value >> 16),
                                  static_cast<std::uint8_t>(value >> 24)});
}

// Deleting a value that does not exist succeeds, as the caller's goal is met.
bool Registry::DeleteValue(std::string_view key, std::string_view name) {
  std::lock_guard lock(mutex_);
  auto values = keys_.find(Lower(key));
  if (values == keys_.end()) return true;
  auto it = FindValue(values->second, name);
  if (it == values->second.end()) return true;
  const Keys before = keys_;
  values->second.erase(it);
  if (values->second.empty()) keys_.erase(values);
  if (Persist(keys_)) return true;
  keys_ = before;
  return false;
}

bool Registry::DeleteKey(std::string_view key) {
  std::lock_guard lock(mutex_);
  auto values = keys_.find(Lower(key));
  if (values == keys_.end()) return true;
  const Keys before = keys_;
  keys_.erase(values);
  if (Persist(keys_)) return true;
  keys_ = before;
  return false;
}

// ---- FileRegistry --------------------------------------------------------------------

FileRegistry::FileRegistry(std::string path) : path_(std::move(path)) {
  std::string text;
  const int error = ReadWholeFile(path_, text);
  // No settings yet (a path below a plain file cannot hold any either): start empty.
  if (error == ENOENT || error == ENOTDIR) return;
  if (error != 0) {
    load_error_ = "The settings file '" + path_ + "' could not be read (" +
                  std::strerror(error) + "). It has been left unchanged.";
    return;
  }
  keys_ = Parse(text, &key_names_);
}

bool FileRegistry::Persist(const Keys& keys) {
  // Writing would replace a file whose content was never read.
  if (load_error_) return false;
  return WriteAtomically(path_, Format(keys, key_names_));
}

std::string FileRegistry::Format(const Keys& keys,
                                 const std::map<std::string, std::string>& key_names) {
  std::string out(kHeader);
  out.append("\n\n");
  for (const auto& [lowered, values] : keys) {
    auto name = key_names.find(lowered);
    const std::string& key = name != key_names.end() ? name->second : lowered;
    out.append("[");
    out.append(kRoot);
    if (!key.empty()) {
      out.push_back('\\');
      out.append(key);
    }
    out.append("]\n");
    for (const auto& [value_name, value] : values) {
      if (value_name.empty()) {
        out.push_back('@');
      } else {
        AppendQuoted(out, value_name);
      }
      out.push_back('=');
      if (const auto* text = std::get_if<std::string>(&value)) {
        if (NeedsHexString(*text)) {
          out.append("hex(1):");
          std::string bytes = *text;
          bytes.push_back('\0');
          AppendHexBytes(out, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        } else {
          AppendQuoted(out, *text);
        }
      } else {
        const auto& bytes = std::get<RegistryBinary>(value);
        out.append("hex:");
        AppendHexBytes(out, bytes.data(), bytes.size());
      }
      out.push_back('\n');
    }
    out.push_back('\n');
  }
  return out;
}

Registry::Keys FileRegistry::Parse(std::string_view text,
                                   std::map<std::string, std::string>* key_names) {
  Keys keys;
  std::optional<std::string> current;  // lower-cased key of the section, if it is ours
  std::string pending;                  // a hex line continued with a trailing backslash
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);

    std::string joined;
    if (!pending.empty()) {
      joined = pending + std::string(Trim(line));
      pending.clear();
      line = joined;
    }
    std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed == kHeader || trimmed.starts_with(';')) continue;

    if (trimmed.front() == '[') {
      current.reset();
      if (!trimmed.ends_with(']')) continue;
      std::string_view path = trimmed.substr(1, trimmed.size() - 2);
      if (!EqualsIgnoringCase(path.substr(0, kRoot.size()), kRoot)) continue;
      path.remove_prefix(kRoot.size());
      if (!path.empty()) {
        if (path.front() != '\\') continue;
        path.remove_prefix(1);
      }
      current = Lower(path);
      if (key_names != nullptr && !key_names->contains(*current)) {
        (*key_names)[*current] = std::string(path);
      }
      continue;
    }

    if (!current) continue;

    std::string name;
    std::string_view rest = trimmed;
    if (rest.starts_with('@')) {
      rest.remove_prefix(1);
    } else {
      auto quoted = TakeQuoted(rest);
      if (!quoted) continue;
      name = std::move(*quoted);
    }
    rest = Trim(rest);
    if (!rest.starts_with('=')) continue;
    const std::string_view data = Trim(rest.substr(1));
    if (data.starts_with("hex") && data.ends_with('\\')) {
      pending = std::string(trimmed.substr(0, trimmed.size() - 1));  // regedit's line wrap
      continue;
    }
    auto value = ParseData(data);
    if (!value) continue;
    keys[*current][name] = std::move(*value);
  }
  return keys;
}

}  // namespace pelrion::platform
