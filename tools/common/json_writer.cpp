#include "common/json_writer.h"

namespace pelrion::tools {

std::string JsonString(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() + 2);
  out += '"';
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"':
        out += "\\\"";
        continue;
      case '\\':
        out += "\\\\";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    // RFC 8259 section 7: control characters must be escaped; DEL and the high half are
    // escaped too, so the output is plain ASCII whatever the stored code page was.
    if (byte < 0x20 || byte >= 0x7F) {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

void JsonWriter::BeforeValue() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (first_.empty()) return;
  if (!first_.back()) out_ << ',';
  if (first_.size() == 1) out_ << '\n';
  first_.back() = false;
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ << bracket;
  first_.push_back(true);
}

void JsonWriter::Close(char bracket) {
  if (first_.size() == 1 && !first_.back()) out_ << '\n';
  if (!first_.empty()) first_.pop_back();
  out_ << bracket;
  if (first_.empty()) out_ << '\n';
}

void JsonWriter::BeginObject() { Open('{'); }
void JsonWriter::EndObject() { Close('}'); }
void JsonWriter::BeginArray() { Open('['); }
void JsonWriter::EndArray() { Close(']'); }

void JsonWriter::Key(std::string_view name) {
  BeforeValue();
  out_ << JsonString(name) << ':';
  after_key_ = true;
}

void JsonWriter::String(std::string_view bytes) {
  BeforeValue();
  out_ << JsonString(bytes);
}

void JsonWriter::Int(std::int64_t value) {
  BeforeValue();
  out_ << value;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ << (value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  out_ << "null";
}

}  // namespace pelrion::tools
