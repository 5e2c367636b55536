#include "platform/host_name.h"

#include <unistd.h>

#include <cstring>

namespace pelrion::platform {

std::string NormalizeHostName(std::string_view raw) {
  constexpr std::size_t kMaxLength = 15;  // a 16-byte buffer with its terminator
  std::string name(raw.substr(0, kMaxLength));
  for (char& c : name) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r') c = '-';
  }
  return name.empty() ? "localhost" : name;
}

std::string HostName() {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return "localhost";
  return NormalizeHostName(std::string_view(buffer, strnlen(buffer, sizeof buffer)));
}

}  // namespace pelrion::platform
