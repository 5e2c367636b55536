#include "platform/desktop_entry.h"

#include "platform/key_file.h"

namespace pelrion::platform {
namespace {

constexpr const char* kGroup = "Desktop Entry";

// Field codes that stand for the file, and those that are dropped: %i %c %k, which would
// name the entry's icon, name and file, and the deprecated %d %D %n %N %v %m.
constexpr std::string_view kFileCodes = "fFuU";
constexpr std::string_view kRemovedCodes = "ickdDnNvm";

// The bytes a backslash escapes inside a quoted argument of an Exec line.
constexpr std::string_view kQuotedEscapes = "\"`$\\";

// String escapes: the byte after the backslash, and the byte it stands for.
constexpr std::string_view kStringEscapes = "sntr\\";
constexpr std::string_view kStringEscaped = " \n\t\r\\";

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// Splits at unquoted blanks and undoes the quoting; nullopt for an unterminated quote.
std::optional<std::vector<std::string>> SplitArguments(std::string_view exec) {
  std::vector<std::string> arguments;
  std::string current;
  bool in_argument = false;
  bool quoted = false;
  for (std::size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size() &&
                 kQuotedEscapes.find(exec[i + 1]) != std::string_view::npos) {
        current.push_back(exec[++i]);
      } else {
        current.push_back(c);
      }
    } else if (IsSeparator(c)) {
      if (in_argument) arguments.push_back(std::move(current));
      current.clear();
      in_argument = false;
    } else {
      in_argument = true;
      if (c == '"') {
        quoted = true;
      } else {
        current.push_back(c);
      }
    }
  }
  if (quoted) return std::nullopt;
  if (in_argument) arguments.push_back(std::move(current));
  return arguments;
}

enum class Expansion { kKept, kRemoved, kInvalid };

// Expands the field codes of one argument in place; sets *used_file when the file went in.
// kRemoved when the argument was made of removed field codes only.
Expansion ExpandFieldCodes(std::string& argument, const std::string& file_path, bool* used_file) {
  if (argument.find('%') == std::string::npos) return Expansion::kKept;
  std::string out;
  bool only_removed_codes = true;
  for (std::size_t i = 0; i < argument.size(); ++i) {
    if (argument[i] != '%') {
      out.push_back(argument[i]);
      only_removed_codes = false;
      continue;
    }
    if (++i == argument.size()) return Expansion::kInvalid;
    const char code = argument[i];
    if (kFileCodes.find(code) != std::string_view::npos) {
      out += file_path;
      *used_file = true;
    } else if (code == '%') {
      out.push_back('%');
    } else if (kRemovedCodes.find(code) != std::string_view::npos) {
      continue;
    } else {
      return Expansion::kInvalid;
    }
    only_removed_codes = false;
  }
  argument = std::move(out);
  return only_removed_codes ? Expansion::kRemoved : Expansion::kKept;
}

}  // namespace

std::optional<DesktopEntry> ReadDesktopEntry(const std::string& path) {
  const std::optional<KeyFile> file = ReadKeyFile(path);
  if (!file || file->count(kGroup) == 0) return std::nullopt;
  const auto string_value = [&](const char* key) {
    return UnescapeStringValue(KeyFileValue(*file, kGroup, key).value_or(""));
  };
  DesktopEntry entry;
  entry.type = string_value("Type");
  entry.name = string_value("Name");
  entry.exec = string_value("Exec");
  entry.try_exec = string_value("TryExec");
  entry.hidden = KeyFileValue(*file, kGroup, "Hidden") == "true";
  return entry;
}

std::string UnescapeStringValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out.push_back(value[i]);
      continue;
    }
    const std::size_t escape = kStringEscapes.find(value[i + 1]);
    if (escape == std::string_view::npos) {
      out.push_back('\\');  // the next byte is then read as itself
      continue;
    }
    out.push_back(kStringEscaped[escape]);
    ++i;
  }
  return out;
}

std::optional<std::vector<std::string>> SplitExecLine(std::string_view exec,
                                                      const std::string& file_path) {
  std::optional<std::vector<std::string>> split = SplitArguments(exec);
  if (!split || split->empty()) return std::nullopt;
  std::vector<std::string> arguments;
  bool used_file = false;
  // The program itself never comes from a field code: a file must not be run as a program.
  std::string& program = split->front();
  if (ExpandFieldCodes(program, file_path, &used_file) != Expansion::kKept || used_file ||
      program.empty()) {
    return std::nullopt;
  }
  arguments.push_back(std::move(program));
  for (std::size_t i = 1; i < split->size(); ++i) {
    std::string& argument = (*split)[i];
    switch (ExpandFieldCodes(argument, file_path, &used_file)) {
      case Expansion::kKept:
        arguments.push_back(std::move(argument));
        break;
      case Expansion::kRemoved:
        break;
      case Expansion::kInvalid:
        return std::nullopt;
    }
  }
  if (!used_file) arguments.push_back(file_path);
  return arguments;
}

}  // namespace pelrion::platform
