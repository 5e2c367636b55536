#include "ui/first_run.h"

#include "core/first_run_texts.h"
#include "import/address_sources.h"
#include "platform/dialogs.h"
#include "ui/account_texts.h"
#include "ui/setup_wizard.h"

namespace pelrion::ui {

void RunFirstRun(const store::AccountTable& accounts, const FirstRunSteps& steps) {
  platform::Dialogs& dialogs = platform::CurrentDialogs();
  if (accounts.size() != 0) {
    dialogs.MessageBox(core::kUpgradeNotice, "Pelrion", platform::DialogIcon::kInformation,
                       platform::DialogButtons::kOk);
    return;
  }
  do {
    steps.run_wizard();
  } while (dialogs.MessageBox(kAnotherAccountText, kMailAccountsCaption,
                              platform::DialogIcon::kQuestion,
                              platform::DialogButtons::kYesNo) == platform::DialogAnswer::kYes);
  if (steps.import_address_book &&
      dialogs.MessageBox(import::FirstRunAddressBookQuestion(), "Pelrion", platform::DialogIcon::kQuestion,
                         platform::DialogButtons::kOkCancel) == platform::DialogAnswer::kOk) {
    steps.import_address_book();
  }
}

FirstRunSteps WizardFirstRunSteps(store::AccountTable& accounts, store::ListenerTable& listeners,
                                  MailClientImport& mail_clients, QWidget* parent) {
  return {.run_wizard =
              [&accounts, &listeners, &mail_clients, parent] {
                SetupWizard wizard(accounts, listeners, mail_clients, parent);
                wizard.exec();
              },
          .import_address_book = {}};
}

}  // namespace pelrion::ui
