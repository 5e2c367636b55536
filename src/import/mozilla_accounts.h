// The POP3 accounts in a Mozilla-family profile's preferences: the account manager's
// accounts with their servers, identities and SMTP servers (Mozilla, Netscape 6 and later,
// Thunderbird), and the single account of the old Netscape preference names.
#pragma once

#include <vector>

#include "import/mail_candidate.h"
#include "import/preference_file.h"

namespace pelrion::import {

// Every account of mail.accountmanager.accounts whose server is "pop3" and that has an
// address, POP3 server, login name and SMTP server, in the order the list gives them.
std::vector<MailCandidate> ReadMozillaAccounts(const PreferenceFile& prefs);

// The one account of an old-style file, unless mail.server_type is "1" (IMAP) or a
// required value is missing.
std::vector<MailCandidate> ReadOldStyleAccount(const PreferenceFile& prefs);

}  // namespace pelrion::import
