// The Mail Accounts window over real stores: the accounts by name, the removal question, and
// the refusal that marks an account's messages for the message list while they remain.
#include "ui/mail_accounts_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <string>
#include <vector>

#include "account_test_helpers.h"
#include "store/account_removal_peers.h"
#include "ui/setup_wizard.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using platform::DialogAnswer;
using testing_support::AccountWorld;
using testing_support::ScriptedDialogs;

class MailAccountsWindowTest : public ::testing::Test {
 protected:
  MailAccountsWindowTest() { testing_support::TestApp(); }

  std::vector<std::string> Listed(const MailAccountsWindow& window) {
    std::vector<std::string> names;
    for (int row = 0; row < window.list()->count(); ++row) {
      names.push_back(window.list()->item(row)->text().toStdString());
    }
    return names;
  }
  void Select(MailAccountsWindow& window, const QString& name) {
    window.list()->setCurrentItem(window.list()->findItems(name, Qt::MatchExactly).value(0));
  }

  ScriptedDialogs dialogs_;
  AccountWorld world_;
};

TEST_F(MailAccountsWindowTest, ListsAccountsByNameWithoutRegardToCase) {
  world_.AddAccount("work");
  world_.AddAccount("Home");
  world_.AddAccount("archive", "pop.archive.example");
  MailAccountsWindow window(world_.ports());
  EXPECT_EQ(Listed(window), (std::vector<std::string>{"archive", "Home", "work"}));
  EXPECT_EQ(window.add_button()->text(), "&Add");
  EXPECT_EQ(window.remove_button()->text(), "&Remove");
  EXPECT_EQ(window.properties_button()->text(), "&Properties");
  EXPECT_TRUE(window.remove_button()->isEnabled());
  EXPECT_TRUE(testing_support::SaveScreenshot(window, "mail_accounts"));
}

TEST_F(MailAccountsWindowTest, EmptyListLeavesOnlyAdd) {
  MailAccountsWindow window(world_.ports());
  EXPECT_TRUE(window.add_button()->isEnabled());
  EXPECT_FALSE(window.remove_button()->isEnabled());
  EXPECT_FALSE(window.properties_button()->isEnabled());
}

TEST_F(MailAccountsWindowTest, AddRunsTheWizardAndSelectsTheNewAccount) {
  world_.AddAccount("Work", "pop.work.example");
  MailAccountsWindow window(world_.ports());
  window.show();
  bool driven = false;
  // The wizard is modal: it is driven from the event loop it runs.
  QTimer::singleShot(0, [&] {
    auto* wizard = qobject_cast<SetupWizard*>(QApplication::activeModalWidget());
    if (wizard == nullptr) {
      if (QWidget* other = QApplication::activeModalWidget()) other->close();
      return;
    }
    driven = true;
    wizard->Field("display_name")->setText("Jo");
    wizard->Field("email")->setText("jo@example.org");
    wizard->Field("pop3_host")->setText("pop.example.org");
    wizard->Field("smtp_host")->setText("smtp.example.org");
    wizard->Field("pop3_user")->setText("jo");
    wizard->Field("pop3_password")->setText("pw");
    static_cast<WizardStartPage*>(wizard->page(kStartPage))->manual_choice()->setChecked(true);
    for (int page = 0; page < 8 && wizard->currentId() != kManualDonePage; ++page) wizard->next();
    wizard->button(QWizard::FinishButton)->click();
  });
  window.AddAccount();
  ASSERT_TRUE(driven);
  EXPECT_EQ(Listed(window), (std::vector<std::string>{"pop.example.org", "Work"}));
  EXPECT_EQ(window.list()->currentItem()->text(), "pop.example.org");
}

TEST_F(MailAccountsWindowTest, RemovalAsksAndDropsTheOrphanedListenersOnYes) {
  const std::uint32_t home = world_.AddAccount("Home");
  world_.AddAccount("Work", "pop.work.example");
  const store::MailAccount fields = *world_.stores().accounts->CopyOf(home);
  MailAccountsWindow window(world_.ports());
  Select(window, "Home");

  dialogs_.answers = {DialogAnswer::kNo};
  window.RemoveSelected();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Are you sure you want to delete the 'Home' Account?");
  EXPECT_EQ(dialogs_.boxes[0].caption, "Mail Accounts");
  EXPECT_EQ(dialogs_.boxes[0].buttons, platform::DialogButtons::kYesNo);
  EXPECT_EQ(Listed(window), (std::vector<std::string>{"Home", "Work"}));

  dialogs_.answers = {DialogAnswer::kYes};
  window.RemoveSelected();
  EXPECT_EQ(Listed(window), std::vector<std::string>{"Work"});
  EXPECT_FALSE(world_.stores().accounts->CopyOf(home));
  EXPECT_FALSE(world_.stores().listeners->Contains(fields.pop3_listener_id));
  EXPECT_TRUE(world_.stores().listeners->Contains(fields.smtp_listener_id)) << "Work's too";
  EXPECT_EQ(world_.redraws, 0);
}

TEST_F(MailAccountsWindowTest, AccountWithMessagesIsKeptAndItsMessagesMarkedForTheList) {
  const std::uint32_t home = world_.AddAccount("Home");
  const std::uint32_t work = world_.AddAccount("Work", "pop.work.example");
  store::MessageRecord* own = apptest::FileMessage(world_.stores(), home, "a@example.org", 0);
  store::MessageRecord* other = apptest::FileMessage(world_.stores(), work, "b@example.org", 0);
  ASSERT_NE(own, nullptr);
  ASSERT_NE(other, nullptr);
  MailAccountsWindow window(world_.ports());
  Select(window, "Home");
  window.RemoveSelected();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text,
            "There are 1 messages associated with the 'Home' Account.\nPelrion has highlighted "
            "these messages with the red color.\nPlease either delete or download them before "
            "removing the account.");
  EXPECT_EQ(dialogs_.boxes[0].icon, platform::DialogIcon::kWarning);
  EXPECT_TRUE(world_.stores().accounts->CopyOf(home));
  EXPECT_NE(own->view_state & store::kHighlightedViewState, 0u);
  EXPECT_EQ(other->view_state & store::kHighlightedViewState, 0u);
  EXPECT_EQ(world_.redraws, 1);
  EXPECT_EQ(Listed(window), (std::vector<std::string>{"Home", "Work"}));
}

}  // namespace
}  // namespace pelrion::ui
