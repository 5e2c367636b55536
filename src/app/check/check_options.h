// The command line of pelrion-check.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "transport/tls_policy.h"

namespace pelrion::checktool {

struct CheckOptions {
  std::string data;  // the database folder, created when missing
  std::string host;
  std::uint16_t port = 0;
  std::string user;
  std::string password;
  transport::TlsMode tls_mode = transport::TlsMode::kAutomatic;
  std::string ca_file;
  int timeout_seconds = 200;
};

// nullopt (and the reason in `error`) when an option is missing, unknown or malformed.
std::optional<CheckOptions> ParseCheckOptions(const std::vector<std::string>& arguments,
                                              std::string& error);

}  // namespace pelrion::checktool
