#include "transport/smtp_compose_helpers.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "validation/authorization_request.h"
#include "validation/request_output.h"

namespace pelrion::transport::testing {

std::string WithoutUniqueValues(const std::string& text) {
  std::string out = text;
  // Boundaries: "NextPart_00_" and eight upper-case hex digits.
  static constexpr std::string_view kBoundary = "NextPart_00_";
  for (std::size_t at = out.find(kBoundary); at != std::string::npos;
       at = out.find(kBoundary, at + 1)) {
    const std::size_t digits = at + kBoundary.size();
    std::size_t end = digits;
    while (end < out.size() && end - digits < 8 &&
           (std::isdigit(static_cast<unsigned char>(out[end])) || (out[end] >= 'A' && out[end] <= 'F'))) {
      ++end;
    }
    if (end - digits == 8) out.replace(digits, 8, "B");
  }
  // The Date and Message-id fields' values, at the start of a line.
  for (std::string_view name : {"Date: ", "Message-id: "}) {
    for (std::size_t at = 0; (at = out.find(name, at)) != std::string::npos; at += name.size()) {
      if (at != 0 && out.compare(at - 2, 2, "\r\n") != 0) continue;
      const std::size_t value = at + name.size();
      const std::size_t end = std::min(out.find('\r', value), out.size());
      out.replace(value, end - value, "V");
    }
  }
  return out;
}

std::string Composed(const validation::RequestWork& request, const core::Preferences& settings) {
  validation::StringRequestOutput output;
  validation::ComposeAuthorizationRequest(request.facts, output, settings);
  return WithoutUniqueValues(output.Take());
}

core::Preferences TemplatesWithLeadingDots() {
  core::Preferences settings;
  for (auto& method : settings.template_texts) {
    for (std::string& text : method) {
      text = ".hidden\n..two\n.\nHello [REMOTE_EMAIL], a long line " + std::string(120, 'w') +
             "\n";
    }
  }
  return settings;
}

}  // namespace pelrion::transport::testing
