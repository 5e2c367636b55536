// A small streaming JSON writer (RFC 8259) for the command-line tools. Stored texts are bytes in an
// unknown single-byte code page, not UTF-8: every byte of 0x80 and above is written as
// \u00XX, i.e. the text is read as Latin-1, so the output is always valid JSON and each
// original byte can be recovered from its code point.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::tools {

// The JSON string literal (quotes included) for bytes: '"', '\\' and control characters
// escaped, bytes >= 0x80 as \u00XX.
std::string JsonString(std::string_view bytes);

// Writes one JSON value compactly, with a newline after each member of the outermost object.
// The caller balances Begin/End calls and puts a Key before each value inside an object;
// the writer adds the commas.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::string_view name);

  void String(std::string_view bytes);
  void Int(std::int64_t value);
  void Bool(bool value);
  void Null();

 private:
  // Separator before a value (or a key) at the current depth.
  void BeforeValue();
  void Open(char bracket);
  void Close(char bracket);

  std::ostream& out_;
  std::vector<bool> first_;  // per open container: nothing written in it yet
  bool after_key_ = false;
};

}  // namespace pelrion::tools
