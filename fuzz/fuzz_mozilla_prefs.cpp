// Any text as a prefs.js: no crash, and every account read has its required fields set,
// within the stored length, with a lower-case address.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "import/mozilla_accounts.h"
#include "import/preference_file.h"

namespace {

void Check(const pelrion::import::MailCandidate& c) {
  for (const std::string* text : {&c.email_address, &c.pop3_host, &c.pop3_user, &c.smtp_host,
                                  &c.friendly_name, &c.display_name}) {
    if (text->empty() || text->size() > pelrion::import::kMaxCandidateText) std::abort();
  }
  for (const char ch : c.email_address) {
    if (ch >= 'A' && ch <= 'Z') std::abort();
  }
  if (c.pop3_port < 1 || c.pop3_port > 65535 || c.smtp_port < 1 || c.smtp_port > 65535) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const pelrion::import::PreferenceFile prefs(text);
  for (const auto& c : pelrion::import::ReadMozillaAccounts(prefs)) Check(c);
  for (const auto& c : pelrion::import::ReadOldStyleAccount(prefs)) Check(c);
  return 0;
}
