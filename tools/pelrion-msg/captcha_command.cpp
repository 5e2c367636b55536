// pelrion-msg captcha CODE OUT.gif: writes the CAPTCHA picture of CODE, as an authorization
// request carries it, to OUT.gif and prints its size and font as JSON.
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_registry.h"
#include "common/json_writer.h"
#include "platform/text_rasterizer.h"
#include "validation/captcha.h"

namespace pelrion::msgtool {

namespace {

// The whole argument as a signed 32-bit decimal number; nullopt for anything else.
std::optional<std::int32_t> ParseCode(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

int RunCaptcha(const std::vector<std::string>& args) {
  if (args.size() != 2) {
    std::cerr << "usage: pelrion-msg captcha CODE OUT.gif\n";
    return kUsageStatus;
  }
  const std::optional<std::int32_t> code = ParseCode(args[0]);
  if (!code) {
    std::cerr << "pelrion-msg captcha: CODE must be a decimal number, not '" << args[0] << "'\n";
    return kUsageStatus;
  }
  const validation::CaptchaImage image = validation::RenderCaptcha(*code);
  if (!WriteFile(args[1], image.gif)) {
    std::cerr << "pelrion-msg captcha: cannot write '" << args[1] << "'\n";
    return 1;
  }
  tools::JsonWriter json(std::cout);
  json.BeginObject();
  json.Key("file");
  json.String(args[1]);
  json.Key("width");
  json.Int(image.width);
  json.Key("height");
  json.Int(image.height);
  json.Key("bytes");
  json.Int(static_cast<std::int64_t>(image.gif.size()));
  json.Key("font");
  json.String(platform::CurrentTextRasterizer().FontName());
  json.EndObject();
  return 0;
}

const bool kRegistered = RegisterCommand(
    "captcha",
    {"CODE OUT.gif",
     "write the CAPTCHA picture of CODE to OUT.gif; print its size and font as JSON", RunCaptcha});

}  // namespace

}  // namespace pelrion::msgtool
