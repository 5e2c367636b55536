// The accounts in the INI settings files of Eudora (Eudora.ini) and Opera (accounts.ini).
#pragma once

#include <string_view>
#include <vector>

#include "import/mail_candidate.h"

namespace pelrion::import {

// The one account of the "Settings" section, when UsesPOP is "1" and the address, POP3
// server, login name and SMTP server are set; ports 110 and 25.
std::vector<MailCandidate> ReadEudoraAccounts(std::string_view ini_text);

// One candidate per section named "Account" and a digit whose Incoming Protocol is POP.
std::vector<MailCandidate> ReadOperaAccounts(std::string_view ini_text);

}  // namespace pelrion::import
