// The mail accounts Outlook and Outlook Express keep in the current user's registry hive:
// one subkey per account under an account root, with string and 32-bit values.
#pragma once

#include <string>
#include <vector>

#include "import/mail_candidate.h"
#include "import/registry_view.h"

namespace pelrion::import {

enum class AccountManager {
  kOffice8,          // Outlook 98
  kOffice,           // Outlook 2000 and later
  kInternetAccount,  // Outlook Express, with its identities
};

// The keys whose subkeys are accounts: the one root of Outlook, or for Outlook Express the
// main root followed by one per identity in user's "Identities".
std::vector<std::string> AccountRoots(AccountManager manager, const RegistryView& user);

// Every account under the roots that has all six string values set; ports from the 32-bit
// "POP3 Port" and "SMTP Port", else 110 and 25.
std::vector<MailCandidate> ReadAccountManagerAccounts(AccountManager manager,
                                                      const RegistryView& user);

}  // namespace pelrion::import
