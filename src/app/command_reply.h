// The replies the control commands give, and the JSON text they print.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "mailformat/utf8_text.h"
#include "platform/control_message.h"

namespace pelrion::app {

inline platform::ControlReply Succeeded(std::string output = {}) {
  return {0, std::move(output), {}};
}

// One line on standard error and the exit code.
inline platform::ControlReply Refused(std::string_view line, int exit_code = 1) {
  std::string text(line);
  if (!text.ends_with('\n')) text.push_back('\n');
  return {exit_code, {}, std::move(text)};
}

inline platform::ControlReply UnknownId(std::string_view what, std::uint32_t id) {
  return Refused("pelrion: no " + std::string(what) + " with id " + std::to_string(id));
}

// A stored text (bytes of any code page) as a JSON string.
inline nlohmann::json JsonText(std::string_view bytes) {
  return mailformat::Utf8FromBytes(bytes);
}

// The value indented, with a line end.
inline std::string JsonOutput(const nlohmann::json& value) { return value.dump(2) + "\n"; }

}  // namespace pelrion::app
