// The POP3 accounts of mail programs that exist only on Linux: Evolution's source key
// files, and the accountrc of Claws Mail and Sylpheed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/mail_candidate.h"

namespace pelrion::import {

// One Evolution source: its uid (the file name without ".source") and its text.
struct EvolutionSource {
  std::string uid;
  std::string text;
};

// Every mail account whose backend is "pop", with the address and name of its identity and
// the SMTP server of the identity's transport; sources in the order given.
std::vector<MailCandidate> ReadEvolutionAccounts(const std::vector<EvolutionSource>& sources);

// The sources in folder (its *.source files, sorted by name).
std::vector<EvolutionSource> ReadEvolutionSources(const std::string& folder);

// Every "[Account: n]" section of an accountrc whose receiving protocol is POP3 (0) or
// APOP (1); ports from pop_port / smtp_port when set_popport / set_smtpport is 1.
std::vector<MailCandidate> ReadAccountrcAccounts(std::string_view accountrc_text);

}  // namespace pelrion::import
