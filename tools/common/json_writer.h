// A small streaming JSON writer for the command-line tools, over the JSON library. Stored
// texts are bytes in an unknown code page: valid UTF-8 passes through and every other byte
// is read as Latin-1 (U+0080..U+00FF), and everything beyond ASCII is written as \uXXXX, so
// the output is always plain-ASCII JSON.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace pelrion::tools {

// The JSON string literal (quotes included) for bytes.
std::string JsonString(std::string_view bytes);

// Writes one JSON value compactly, with a newline after each member of the outermost
// container. The caller balances Begin/End calls and puts a Key before each value inside an
// object; the value is written when the outermost container ends.
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
  // Puts value where the open container expects it (or writes it when nothing is open).
  void Add(nlohmann::ordered_json value);
  void Write(const nlohmann::ordered_json& value);

  std::ostream& out_;
  std::vector<nlohmann::ordered_json> open_;  // the containers being filled, outermost first
  std::vector<std::string> keys_;             // per open object: the key of its next value
};

}  // namespace pelrion::tools
