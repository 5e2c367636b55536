// Where the set-up wizard's import path finds the accounts of installed e-mail programs.
// The program gives InstalledMailClients (wizard_mail_clients_found.h); NoMailClients finds
// none, and the wizard then says so and offers the manual path.
#pragma once

#include <string>
#include <vector>

#include "store/account_creation.h"

namespace pelrion::ui {

class MailClientImport {
 public:
  virtual ~MailClientImport() = default;
  // Display names of the e-mail programs found on this computer.
  virtual std::vector<std::string> ListInstalled() = 0;
  // The accounts read from the program at this index of ListInstalled: every field but the
  // passwords, which the user types.
  virtual std::vector<store::NewAccount> ReadAccounts(std::size_t program) = 0;
};

class NoMailClients : public MailClientImport {
 public:
  std::vector<std::string> ListInstalled() override { return {}; }
  std::vector<store::NewAccount> ReadAccounts(std::size_t) override { return {}; }
};

}  // namespace pelrion::ui
