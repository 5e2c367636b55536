// The Mail Account Setup Wizard: the settings of one new account, imported from another
// e-mail program or typed, and on Finish the account created exactly as every other way of
// adding one creates it (listeners found or made and started, a unique friendly name, the
// next id, saved), then the user told which local addresses to give the e-mail program.
#pragma once

#include <QWizard>
#include <cstdint>

#include "store/account_table.h"
#include "store/listener_table.h"
#include "ui/setup_wizard_pages.h"
#include "ui/wizard_mail_clients.h"

class QLineEdit;

namespace pelrion::ui {

inline constexpr std::string_view kExitWizardText = "Are you sure you want to exit the wizard?";

class SetupWizard : public QWizard {
  Q_OBJECT

 public:
  // The tables and the import source outlive the wizard.
  SetupWizard(store::AccountTable& accounts, store::ListenerTable& listeners,
              MailClientImport& mail_clients, QWidget* parent = nullptr);

  // The id of the account Finish created; 0 before (or when the user cancelled).
  std::uint32_t created_account() const { return created_; }

  // A text field of the manual path by its label's object name ("display_name", "email",
  // "pop3_host", "smtp_host", "pop3_user", "pop3_password"), for tests and accessibility.
  QLineEdit* Field(const char* name) const;

  // Cancel, Escape and closing the window ask first.
  void reject() override;
  // Finish creates the account.
  void accept() override;

 private:
  store::AccountTable& accounts_;
  store::ListenerTable& listeners_;
  WizardData data_;
  std::uint32_t created_ = 0;
};

}  // namespace pelrion::ui
