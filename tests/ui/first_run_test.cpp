// The first run: with accounts already there only the reminder to point the e-mail program
// at the listeners; without, the wizard as often as the user wants another account, then the
// address-book offer when the program has an address-book source.
#include "ui/first_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "account_test_helpers.h"
#include "import/address_sources.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using platform::DialogAnswer;
using testing_support::AccountWorld;
using testing_support::ScriptedDialogs;

class FirstRunTest : public ::testing::Test {
 protected:
  FirstRunTest() { testing_support::TestApp(); }

  // The steps, counting wizard runs and address-book imports.
  FirstRunSteps Steps(bool address_book) {
    FirstRunSteps steps{.run_wizard = [this] { ++wizard_runs_; }};
    if (address_book) steps.import_address_book = [this] { ++imports_; };
    return steps;
  }

  ScriptedDialogs dialogs_;
  AccountWorld world_;
  int wizard_runs_ = 0;
  int imports_ = 0;
};

TEST_F(FirstRunTest, ExistingAccountsGetTheUpgradeNoticeAndNoWizard) {
  world_.AddAccount("old");
  RunFirstRun(*world_.stores().accounts, Steps(true));
  EXPECT_EQ(wizard_runs_, 0);
  EXPECT_EQ(imports_, 0);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text,
            "Pelrion 1.x users,\nPlease change the account settings in your email program to "
            "point to\nthe Pelrion listeners instead of the real mail servers");
  EXPECT_EQ(dialogs_.boxes[0].caption, "Pelrion");
  EXPECT_EQ(dialogs_.boxes[0].icon, platform::DialogIcon::kInformation);
}

TEST_F(FirstRunTest, WizardRunsAgainWhileTheUserWantsAnotherAccount) {
  const struct {
    std::vector<DialogAnswer> answers;  // to "another account?", then the address book
    bool address_book;
    int wizard_runs;
    int imports;
    std::vector<std::string> texts;
  } rows[] = {
      {{DialogAnswer::kNo, DialogAnswer::kOk}, true, 1, 1,
       {std::string(kAnotherAccountText), import::FirstRunAddressBookQuestion()}},
      {{DialogAnswer::kYes, DialogAnswer::kYes, DialogAnswer::kNo, DialogAnswer::kCancel}, true,
       3, 0,
       {std::string(kAnotherAccountText), std::string(kAnotherAccountText),
        std::string(kAnotherAccountText), import::FirstRunAddressBookQuestion()}},
      // Without an address-book source nothing is offered.
      {{DialogAnswer::kNo}, false, 1, 0, {std::string(kAnotherAccountText)}},
  };
  for (const auto& row : rows) {
    wizard_runs_ = imports_ = 0;
    dialogs_.boxes.clear();
    dialogs_.answers.assign(row.answers.begin(), row.answers.end());
    RunFirstRun(*world_.stores().accounts, Steps(row.address_book));
    EXPECT_EQ(wizard_runs_, row.wizard_runs) << row.answers.size();
    EXPECT_EQ(imports_, row.imports) << row.answers.size();
    EXPECT_EQ(dialogs_.Texts(), row.texts) << row.answers.size();
  }
}

}  // namespace
}  // namespace pelrion::ui
