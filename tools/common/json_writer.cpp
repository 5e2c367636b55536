#include "common/json_writer.h"

#include "mailformat/utf8_text.h"

namespace pelrion::tools {
namespace {

std::string Dump(const nlohmann::ordered_json& value) {
  return value.dump(-1, ' ', /*ensure_ascii=*/true);
}

}  // namespace

std::string JsonString(std::string_view bytes) {
  return Dump(nlohmann::ordered_json(mailformat::Utf8FromBytes(bytes)));
}

void JsonWriter::Add(nlohmann::ordered_json value) {
  if (open_.empty()) {
    Write(value);
    return;
  }
  nlohmann::ordered_json& container = open_.back();
  if (container.is_object()) {
    container[keys_.back()] = std::move(value);
  } else {
    container.push_back(std::move(value));
  }
}

void JsonWriter::Write(const nlohmann::ordered_json& value) {
  const bool container = value.is_object() || value.is_array();
  if (!container) {
    out_ << Dump(value);
    return;
  }
  if (value.empty()) {
    out_ << Dump(value) << '\n';
    return;
  }
  out_ << (value.is_object() ? '{' : '[');
  bool first = true;
  for (auto item = value.begin(); item != value.end(); ++item) {
    out_ << (first ? "\n" : ",\n");
    first = false;
    if (value.is_object()) out_ << JsonString(item.key()) << ':';
    out_ << Dump(item.value());
  }
  out_ << '\n' << (value.is_object() ? '}' : ']') << '\n';
}

void JsonWriter::BeginObject() {
  open_.push_back(nlohmann::ordered_json::object());
  keys_.emplace_back();
}

void JsonWriter::BeginArray() {
  open_.push_back(nlohmann::ordered_json::array());
  keys_.emplace_back();
}

void JsonWriter::EndObject() {
  if (open_.empty()) return;
  nlohmann::ordered_json done = std::move(open_.back());
  open_.pop_back();
  keys_.pop_back();
  Add(std::move(done));
}

void JsonWriter::EndArray() { EndObject(); }

void JsonWriter::Key(std::string_view name) {
  if (!keys_.empty()) keys_.back() = mailformat::Utf8FromBytes(name);
}

void JsonWriter::String(std::string_view bytes) { Add(mailformat::Utf8FromBytes(bytes)); }
void JsonWriter::Int(std::int64_t value) { Add(value); }
void JsonWriter::Bool(bool value) { Add(value); }
void JsonWriter::Null() { Add(nullptr); }

}  // namespace pelrion::tools
