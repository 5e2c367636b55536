// The wizard's import path over the real mail-client readers: a home folder made by the test
// with a Thunderbird profile lists the program, then its POP3 accounts, and Finish creates
// the chosen one with its listeners. Saves a picture of each import page.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <optional>
#include <string>

#include "account_test_helpers.h"
#include "import/mail_client_fixture.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "ui/setup_wizard.h"
#include "ui/setup_wizard_pages.h"
#include "ui/wizard_mail_clients_found.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using testing_support::AccountWorld;
using testing_support::ScriptedDialogs;
using testing_support::TestApp;

std::vector<QString> Rows(QWizardPage* page) {
  std::vector<QString> rows;
  const QListWidget* list = page->findChild<QListWidget*>();
  for (int row = 0; list != nullptr && row < list->count(); ++row) {
    rows.push_back(list->item(row)->text());
  }
  return rows;
}

class SetupWizardImportTest : public ::testing::Test {
 protected:
  SetupWizardImportTest() { TestApp(); }

  test_support::TempDir home_;
  test_support::ScopedEnv env_{"HOME", home_.path()};
  test_support::ScopedEnv wine_{"WINEPREFIX", home_ / "no-wine"};
  ScriptedDialogs dialogs_;
  AccountWorld world_;
  // No file dialog may open in a test: a reader that asks for a file gets none.
  InstalledMailClients clients_{[](std::string_view, std::string_view, std::string_view) {
    return std::optional<std::string>();
  }};
};

TEST_F(SetupWizardImportTest, ThunderbirdProfileListsTheProgramThenItsPop3Accounts) {
  SetupWizard empty(*world_.stores().accounts, *world_.stores().listeners, clients_);
  empty.show();
  empty.next();
  ASSERT_EQ(empty.currentId(), kSelectClientPage);
  EXPECT_TRUE(static_cast<WizardClientPage*>(empty.page(kSelectClientPage))->notice()->isVisible());
  EXPECT_TRUE(testing_support::SaveScreenshot(empty, "wizard_import_no_clients"));

  importtest::MakeThunderbirdMailHome(home_.path());
  SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, clients_);
  wizard.show();
  wizard.next();
  ASSERT_EQ(wizard.currentId(), kSelectClientPage);
  EXPECT_EQ(Rows(wizard.page(kSelectClientPage)), std::vector<QString>{"Mozilla Thunderbird"});
  EXPECT_TRUE(testing_support::SaveScreenshot(wizard, "wizard_import_select_client"));

  wizard.next();
  ASSERT_EQ(wizard.currentId(), kSelectAccountPage);
  // The IMAP account and the one without an SMTP server are not offered.
  EXPECT_EQ(Rows(wizard.page(kSelectAccountPage)),
            std::vector<QString>{"Work mail (jo@example.org)"});
  EXPECT_TRUE(testing_support::SaveScreenshot(wizard, "wizard_import_select_account"));

  wizard.next();
  ASSERT_EQ(wizard.currentId(), kImportPasswordPage);
  EXPECT_EQ(wizard.page(kImportPasswordPage)->findChild<QLabel*>("account_name")->text(), "jo");
  wizard.page(kImportPasswordPage)->findChild<QLineEdit*>()->setText("secret");
  EXPECT_TRUE(testing_support::SaveScreenshot(wizard, "wizard_import_password"));
  wizard.next();
  ASSERT_EQ(wizard.currentId(), kImportDonePage);
  EXPECT_TRUE(testing_support::SaveScreenshot(wizard, "wizard_import_done"));
  wizard.button(QWizard::FinishButton)->click();

  const auto account = world_.stores().accounts->CopyOf(wizard.created_account());
  ASSERT_TRUE(account);
  EXPECT_EQ(account->friendly_name.Text(), "Work mail");
  EXPECT_EQ(account->display_name.Text(), "Jo Doe");
  EXPECT_EQ(account->email_address.Text(), "jo@example.org");
  EXPECT_EQ(account->pop3_user_name.Text(), "jo");
  EXPECT_EQ(account->pop3_password.Text(), "secret");
  const auto pop3 = world_.stores().listeners->CopyOf(account->pop3_listener_id);
  const auto smtp = world_.stores().listeners->CopyOf(account->smtp_listener_id);
  ASSERT_TRUE(pop3 && smtp);
  EXPECT_EQ(pop3->server_port, 995u);
  EXPECT_EQ(smtp->server_port, 587u);
  ASSERT_FALSE(dialogs_.boxes.empty());
  EXPECT_TRUE(dialogs_.boxes.back().text.starts_with("The account has been successfully created."));
}

}  // namespace
}  // namespace pelrion::ui
