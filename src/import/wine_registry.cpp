#include "import/wine_registry.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// Up to max_digits digits of base at text[i]; i moves past them.
std::uint32_t Digits(std::string_view text, std::size_t& i, int base, int max_digits) {
  std::uint32_t code = 0;
  const std::size_t end = std::min(text.size(), i + static_cast<std::size_t>(max_digits));
  std::size_t j = i;
  while (j < end) {
    std::uint32_t digit = 0;
    const auto [ptr, error] = std::from_chars(&text[j], &text[j] + 1, digit, base);
    if (error != std::errc() || ptr != &text[j] + 1) break;
    code = code * static_cast<std::uint32_t>(base) + digit;
    ++j;
  }
  i = j;
  return code;
}

// The end of a quoted string whose body starts at text[0]: the index of its closing quote.
std::size_t ClosingQuote(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\')
      ++i;
    else if (text[i] == '"')
      return i;
  }
  return std::string_view::npos;
}

std::string LowerPath(std::string_view path) {
  std::string lower = ascii::ToLowerCopy(path);
  while (!lower.empty() && lower.back() == '\\') lower.pop_back();
  return lower;
}

std::optional<RegistryValue> ParseValue(std::string_view text) {
  RegistryValue value;
  if (text.starts_with('"') || text.starts_with("str(2):\"")) {
    value.type =
        text.starts_with('"') ? RegistryValueType::kString : RegistryValueType::kExpandString;
    text.remove_prefix(text.find('"') + 1);
    const auto end = ClosingQuote(text);
    if (end == std::string_view::npos) return std::nullopt;
    value.text = UnescapeRegText(text.substr(0, end));
    return value;
  }
  if (text.starts_with("dword:")) {
    text.remove_prefix(6);
    const auto [ptr, error] =
        std::from_chars(text.data(), text.data() + text.size(), value.number, 16);
    if (error != std::errc() || ptr == text.data()) return std::nullopt;
    value.type = RegistryValueType::kDword;
    return value;
  }
  return value;  // binary, multi-string and the rest: present, of another type
}

}  // namespace

std::string UnescapeRegText(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i++];
    if (c != '\\' || i >= text.size()) {
      out.push_back(c);
      continue;
    }
    const char e = text[i];
    switch (e) {
      case 'n':
        out.push_back('\n');
        ++i;
        break;
      case 'r':
        out.push_back('\r');
        ++i;
        break;
      case 't':
        out.push_back('\t');
        ++i;
        break;
      case 'x': {
        ++i;
        const std::size_t start = i;
        const std::uint32_t code = Digits(text, i, 16, 4);
        if (i == start)
          out.push_back('x');
        else
          AppendUtf8(out, code);
        break;
      }
      default:
        if (e >= '0' && e <= '7') {
          AppendUtf8(out, Digits(text, i, 8, 3));
        } else {
          out.push_back(e);
          ++i;
        }
    }
  }
  return out;
}

WineRegistry::WineRegistry(std::string_view text) {
  Key* current = nullptr;
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = ascii::Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.starts_with('[')) {
      const auto close = line.rfind(']');
      current = close == std::string_view::npos
                    ? nullptr
                    : &AddKey(UnescapeRegText(line.substr(1, close - 1)));
      continue;
    }
    if (current == nullptr) continue;
    std::string name;
    if (line.starts_with("@=")) {
      line.remove_prefix(2);
    } else if (line.starts_with('"')) {
      line.remove_prefix(1);
      const auto close = ClosingQuote(line);
      if (close == std::string_view::npos || close + 1 >= line.size() || line[close + 1] != '=') {
        continue;
      }
      name = UnescapeRegText(line.substr(0, close));
      line.remove_prefix(close + 2);
    } else {
      continue;
    }
    if (auto value = ParseValue(line)) current->values.emplace_back(name, std::move(*value));
  }
}

WineRegistry::Key& WineRegistry::AddKey(std::string_view path) {
  const std::string lower = LowerPath(path);
  if (auto found = keys_.find(lower); found != keys_.end()) return found->second;
  const auto slash = lower.rfind('\\');
  if (slash != std::string::npos) {
    Key& parent = AddKey(path.substr(0, slash));
    parent.subkeys.emplace_back(path.substr(slash + 1, lower.size() - slash - 1));
  }
  return keys_[lower];
}

const WineRegistry::Key* WineRegistry::FindKey(std::string_view path) const {
  const auto found = keys_.find(LowerPath(path));
  return found == keys_.end() ? nullptr : &found->second;
}

std::vector<std::string> WineRegistry::Subkeys(std::string_view key) const {
  const Key* found = FindKey(key);
  return found == nullptr ? std::vector<std::string>{} : found->subkeys;
}

std::optional<RegistryValue> WineRegistry::Value(std::string_view key,
                                                 std::string_view name) const {
  const Key* found = FindKey(key);
  if (found == nullptr) return std::nullopt;
  for (const auto& [value_name, value] : found->values) {
    if (ascii::EqualsIgnoreCase(value_name, name)) return value;
  }
  return std::nullopt;
}

WineRegistry ReadWineRegistry(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  return WineRegistry(text.str());
}

}  // namespace pelrion::import
