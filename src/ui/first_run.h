// The first run of the program: with no account yet, the set-up wizard, as often as the
// user wants another account, then the offer to make the address book's contacts trusted;
// with accounts from an earlier version, a reminder to point the e-mail program at the
// listeners instead.
#pragma once

#include <QWidget>
#include <functional>
#include <string_view>

#include "store/account_table.h"
#include "store/listener_table.h"
#include "ui/wizard_mail_clients.h"

namespace pelrion::ui {

inline constexpr std::string_view kAnotherAccountText = "Do you wish to add another account?";

struct FirstRunSteps {
  // One run of the account set-up wizard (modal).
  std::function<void()> run_wizard{};
  // Imports the address book's contacts into Trusted Contacts and tells the result. Empty
  // when the user keeps no address book the program can read: then nothing is offered.
  std::function<void()> import_address_book{};
};

// What the start-up calls on the first run, after the main window is shown. Boxes go through
// the current Dialogs.
void RunFirstRun(const store::AccountTable& accounts, const FirstRunSteps& steps);

// The steps as the program runs them: each run a modal SetupWizard over parent. Everything
// given outlives the returned steps.
FirstRunSteps WizardFirstRunSteps(store::AccountTable& accounts, store::ListenerTable& listeners,
                                  MailClientImport& mail_clients, QWidget* parent);

}  // namespace pelrion::ui
