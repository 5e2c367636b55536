#include "app/check/check_options.h"

#include <map>

#include "mailformat/protocol_text.h"

namespace pelrion::checktool {
namespace {

const std::map<std::string, transport::TlsMode> kModes = {
    {"automatic", transport::TlsMode::kAutomatic},
    {"required", transport::TlsMode::kUpgradeRequired},
    {"implicit", transport::TlsMode::kImplicit},
    {"never", transport::TlsMode::kNever},
};

bool ParseNumber(const std::string& text, int limit, int& value) {
  const std::int32_t parsed = mailformat::ParseStrictInt(text, 10);
  if (parsed < 1 || parsed > limit) return false;
  value = parsed;
  return true;
}

}  // namespace

std::optional<CheckOptions> ParseCheckOptions(const std::vector<std::string>& arguments,
                                              std::string& error) {
  CheckOptions options;
  for (std::size_t i = 0; i < arguments.size(); i += 2) {
    const std::string& name = arguments[i];
    if (i + 1 >= arguments.size()) {
      error = name + " needs a value";
      return std::nullopt;
    }
    const std::string& value = arguments[i + 1];
    int number = 0;
    if (name == "--data") {
      options.data = value;
    } else if (name == "--host") {
      options.host = value;
    } else if (name == "--port" && ParseNumber(value, 65535, number)) {
      options.port = static_cast<std::uint16_t>(number);
    } else if (name == "--user") {
      options.user = value;
    } else if (name == "--password") {
      options.password = value;
    } else if (name == "--tls" && kModes.contains(value)) {
      options.tls_mode = kModes.at(value);
    } else if (name == "--ca-file") {
      options.ca_file = value;
    } else if (name == "--timeout" && ParseNumber(value, 3600, number)) {
      options.timeout_seconds = number;
    } else {
      error = "bad option " + name + " " + value;
      return std::nullopt;
    }
  }
  if (options.data.empty() || options.host.empty() || options.port == 0 || options.user.empty()) {
    error = "--data, --host, --port and --user are required";
    return std::nullopt;
  }
  if (options.data.back() != '/') options.data += '/';
  return options;
}

}  // namespace pelrion::checktool
