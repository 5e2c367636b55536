// The Mail Account Setup Wizard over real stores: every page's heading and labels, the rule
// that holds Next back, texts too long for their stored field, the cancel question, the
// accounts Finish creates (unique names, shared listeners, the text that names them) and the
// import path with no, empty and one importable program. Saves a picture of every page.
#include "ui/setup_wizard.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <string>
#include <vector>

#include "account_test_helpers.h"
#include "store/account_creation.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using testing_support::AccountWorld;
using testing_support::ScriptedDialogs;
using testing_support::TestApp;

// What the manual path's pages are given.
struct ManualEntries {
  QString display_name = "Jo Doe";
  QString email = "jo@example.org";
  QString pop3_host = "pop.example.org";
  QString smtp_host = "smtp.example.org";
  QString pop3_user = "jo";
  QString pop3_password = "secret";
};

void Fill(SetupWizard& wizard, const ManualEntries& entries) {
  wizard.Field("display_name")->setText(entries.display_name);
  wizard.Field("email")->setText(entries.email);
  wizard.Field("pop3_host")->setText(entries.pop3_host);
  wizard.Field("smtp_host")->setText(entries.smtp_host);
  wizard.Field("pop3_user")->setText(entries.pop3_user);
  wizard.Field("pop3_password")->setText(entries.pop3_password);
}

// Takes the manual path until page is current (or Next stops it); true when it got there.
bool WalkTo(SetupWizard& wizard, int page) {
  wizard.restart();
  static_cast<WizardStartPage*>(wizard.page(kStartPage))->manual_choice()->setChecked(true);
  while (wizard.currentId() != page) {
    const int before = wizard.currentId();
    wizard.next();
    if (wizard.currentId() == before) return false;
  }
  return true;
}

// The texts of the labels that name a field of page, in the page's order.
std::vector<std::string> FieldLabels(QWizardPage* page) {
  std::vector<std::string> labels;
  for (QLabel* label : page->findChildren<QLabel*>()) {
    if (label->buddy() != nullptr) labels.push_back(label->text().toStdString());
  }
  return labels;
}

class SetupWizardTest : public ::testing::Test {
 protected:
  SetupWizardTest() { TestApp(); }

  // Runs a wizard through the manual path with entries and presses Finish; the created id.
  std::uint32_t CreateThroughWizard(const ManualEntries& entries) {
    SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, no_clients_);
    wizard.show();
    Fill(wizard, entries);
    if (!WalkTo(wizard, kManualDonePage)) return 0;
    wizard.button(QWizard::FinishButton)->click();
    return wizard.created_account();
  }

  std::string FriendlyName(std::uint32_t id) {
    return std::string(world_.stores().accounts->CopyOf(id)->friendly_name.Text());
  }

  ScriptedDialogs dialogs_;
  AccountWorld world_;
  NoMailClients no_clients_;
};

TEST_F(SetupWizardTest, EveryPageHasItsHeadingAndFieldLabels) {
  SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, no_clients_);
  const struct {
    int page;
    const char* heading;
    std::vector<std::string> labels;
  } rows[] = {
      {kStartPage, "Welcome to the Mail Account Setup Wizard", {}},
      {kSelectClientPage, "Select Mail Client", {}},
      {kSelectAccountPage, "Select Mail Account", {}},
      {kImportPasswordPage, "Enter Account Password", {"Account name:", "&Password:"}},
      {kImportDonePage, "Congratulations", {}},
      {kNamePage, "Your Name", {"&Display name:"}},
      {kEmailPage, "Internet E-mail Address", {"&E-mail address:"}},
      {kServersPage,
       "E-mail Server Names",
       {"&Incoming mail (POP3) server:", "&Outgoing mail (SMTP) server:"}},
      {kLogonPage, "Internet Mail Logon", {"&Account name:", "&Password:"}},
      {kManualDonePage, "Congratulations", {}},
  };
  for (const auto& row : rows) {
    ASSERT_NE(wizard.page(row.page), nullptr) << row.heading;
    EXPECT_EQ(wizard.page(row.page)->title(), row.heading);
    EXPECT_EQ(FieldLabels(wizard.page(row.page)), row.labels) << row.heading;
  }
  auto* start = static_cast<WizardStartPage*>(wizard.page(kStartPage));
  EXPECT_EQ(start->import_choice()->text().remove('&'),
            "I want to import mail account settings from another program");
  EXPECT_EQ(start->manual_choice()->text().remove('&'),
            "I want to set up my mail account manually");
  const auto done_text = [&](int page) {
    return wizard.page(page)->findChild<QLabel*>()->text().toStdString();
  };
  EXPECT_EQ(done_text(kManualDonePage),
            "You have successfully entered all of the information required to set up your "
            "account.\n\nTo save these settings, click Finish.");
  EXPECT_EQ(done_text(kImportDonePage),
            "You have successfully entered all of the information required to import your mail "
            "account.\n\nTo save these settings, click Finish.");
}

TEST_F(SetupWizardTest, NextWaitsForEveryFieldOfThePageToHoldMoreThanBlanks) {
  const struct {
    int page;
    const char* field;
    QString text;
    bool next;
  } rows[] = {
      {kNamePage, "display_name", "", false},
      {kNamePage, "display_name", " \t ", false},
      {kNamePage, "display_name", " J ", true},
      {kEmailPage, "email", "   ", false},
      {kEmailPage, "email", "x", true},
      {kServersPage, "pop3_host", " ", false},
      {kServersPage, "smtp_host", "", false},
      {kServersPage, "smtp_host", "s", true},
      {kLogonPage, "pop3_user", "  ", false},
      {kLogonPage, "pop3_password", "", false},
      // A password is taken as typed: blanks are a password.
      {kLogonPage, "pop3_password", " ", true},
  };
  for (const auto& row : rows) {
    SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, no_clients_);
    wizard.show();
    Fill(wizard, {});
    ASSERT_TRUE(WalkTo(wizard, row.page)) << row.field;
    wizard.Field(row.field)->setText(row.text);
    EXPECT_EQ(wizard.button(QWizard::NextButton)->isEnabled(), row.next)
        << row.field << " '" << row.text.toStdString() << "'";
  }
}

TEST_F(SetupWizardTest, TextTooLongForItsFieldIsRefusedWithTheFieldsMessage) {
  // 128 two-byte characters: short enough in characters, 256 bytes stored.
  const QString bytes256 = QString(128, QChar(0xE9));
  const struct {
    int page;
    const char* field;
    QString text;
    std::string_view message;
  } rows[] = {
      {kNamePage, "display_name", bytes256, store::kDisplayNameText},
      {kEmailPage, "email", bytes256, store::kEmailAddressText},
      {kServersPage, "pop3_host", bytes256, store::kPop3ServerText},
      {kServersPage, "smtp_host", QString(256, 's'), store::kSmtpServerText},
      {kLogonPage, "pop3_user", bytes256, store::kLoginNameText},
      {kLogonPage, "pop3_password", QString(64, 'p'), store::kPasswordText},
  };
  for (const auto& row : rows) {
    SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, no_clients_);
    wizard.show();
    Fill(wizard, {});
    ASSERT_TRUE(WalkTo(wizard, row.page)) << row.field;
    wizard.Field(row.field)->setText(row.text);
    dialogs_.boxes.clear();
    wizard.next();
    EXPECT_EQ(wizard.currentId(), row.page) << row.field;
    ASSERT_EQ(dialogs_.Texts(), std::vector<std::string>{std::string(row.message)}) << row.field;
    EXPECT_EQ(dialogs_.boxes[0].caption, "Mail Accounts");
    EXPECT_EQ(wizard.focusWidget(), wizard.Field(row.field)) << row.field;
    // One byte less fits.
    wizard.Field(row.field)->setText(row.text.left(row.text.size() - 1));
    wizard.next();
    EXPECT_NE(wizard.currentId(), row.page) << row.field;
  }
}

TEST_F(SetupWizardTest, CancelAsksAndGoesOnlyOnYes) {
  SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, no_clients_);
  wizard.show();
  dialogs_.answers = {platform::DialogAnswer::kNo, platform::DialogAnswer::kYes};
  wizard.button(QWizard::CancelButton)->click();
  EXPECT_TRUE(wizard.isVisible());
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Are you sure you want to exit the wizard?");
  EXPECT_EQ(dialogs_.boxes[0].caption, "Mail Accounts");
  EXPECT_EQ(dialogs_.boxes[0].buttons, platform::DialogButtons::kYesNoDefaultNo);
  wizard.button(QWizard::CancelButton)->click();
  EXPECT_FALSE(wizard.isVisible());
  EXPECT_EQ(wizard.result(), QDialog::Rejected);
  EXPECT_EQ(world_.stores().accounts->size(), 0u);
}

TEST_F(SetupWizardTest, FinishCreatesTheAccountWithTrimmedFieldsAndTellsTheListeners) {
  const std::uint32_t expected_id = world_.stores().accounts->next_id();
  const std::uint32_t id = CreateThroughWizard({.display_name = "  Jo Doe ",
                                                .email = " jo@example.org",
                                                .pop3_host = " pop.example.org ",
                                                .smtp_host = "smtp.example.org ",
                                                .pop3_user = " jo ",
                                                .pop3_password = " pw "});
  ASSERT_EQ(id, expected_id);
  const store::MailAccount account = *world_.stores().accounts->CopyOf(id);
  EXPECT_EQ(account.display_name.Text(), "Jo Doe");
  EXPECT_EQ(account.email_address.Text(), "jo@example.org");
  EXPECT_EQ(account.friendly_name.Text(), "pop.example.org");
  EXPECT_EQ(account.pop3_user_name.Text(), "jo");
  EXPECT_EQ(account.pop3_password.Text(), " pw ");
  // The SMTP server, when it asks, gets the same login.
  EXPECT_EQ(account.smtp_user_name.Text(), "jo");
  EXPECT_EQ(account.smtp_password.Text(), " pw ");
  EXPECT_EQ(account.included, 1);
  const store::Listener pop3 = *world_.stores().listeners->CopyOf(account.pop3_listener_id);
  const store::Listener smtp = *world_.stores().listeners->CopyOf(account.smtp_listener_id);
  EXPECT_EQ(pop3.server_host.Text(), "pop.example.org");
  EXPECT_EQ(pop3.server_port, 110u);
  EXPECT_EQ(smtp.server_host.Text(), "smtp.example.org");
  EXPECT_EQ(smtp.server_port, 25u);
  EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{store::AccountCreatedText(pop3, smtp)});
  EXPECT_NE(dialogs_.boxes.back().text.find("     Name: 127.0.0.1\n     Port: " +
                                            std::to_string(pop3.local_port)),
            std::string::npos);

  // Saved: the next start finds it.
  apptest::StoresFixture reopened(
      world_.stores().accounts->path().substr(0, world_.stores().accounts->path().rfind('/') + 1));
  EXPECT_EQ(reopened.stores.accounts->CopyOf(id)->friendly_name.Text(), "pop.example.org");
}

TEST_F(SetupWizardTest, SameNameGetsTheNextFreeCounterAndSharesTheKnownServersListeners) {
  const std::uint32_t first = CreateThroughWizard({});
  const std::uint32_t second = CreateThroughWizard({.pop3_user = "other"});
  const std::uint32_t third = CreateThroughWizard({.pop3_host = "POP.example.org"});
  EXPECT_EQ(FriendlyName(first), "pop.example.org");
  EXPECT_EQ(FriendlyName(second), "pop.example.org (1)");
  EXPECT_EQ(FriendlyName(third), "POP.example.org (2)");
  const auto pop3_listener = [&](std::uint32_t id) {
    return world_.stores().accounts->CopyOf(id)->pop3_listener_id;
  };
  EXPECT_EQ(pop3_listener(first), pop3_listener(second));
  EXPECT_EQ(pop3_listener(first), pop3_listener(third)) << "host names differ only in case";
  EXPECT_EQ(world_.stores().listeners->size(), 2u);
}

TEST_F(SetupWizardTest, ClashingNameOf255BytesIsCutBeforeTheCounterAtACharacterBoundary) {
  const struct {
    QString host;
    std::string want;
  } rows[] = {
      {QString(255, 'a'), std::string(251, 'a') + " (1)"},
      // 127 two-byte characters then one byte: the cut at 251 bytes would split a character.
      {QString(127, QChar(0xE9)) + "x", QString(125, QChar(0xE9)).toStdString() + " (1)"},
  };
  for (const auto& row : rows) {
    world_.AddAccount(row.host.toStdString());
    const std::uint32_t id = CreateThroughWizard({.pop3_host = row.host});
    ASSERT_NE(id, 0u);
    EXPECT_EQ(FriendlyName(id), row.want);
    EXPECT_LE(FriendlyName(id).size(), 255u);
  }
}

TEST_F(SetupWizardTest, ListenerOnEveryInterfaceIsNamedAsThisComputer) {
  const std::uint32_t existing = world_.AddAccount("existing");
  const std::uint32_t listener = world_.stores().accounts->CopyOf(existing)->pop3_listener_id;
  ASSERT_TRUE(world_.stores().listeners->SetLocalEndpoint(listener, 0, 7110));
  ASSERT_NE(CreateThroughWizard({}), 0u);
  EXPECT_NE(dialogs_.boxes.back().text.find("Incoming mail server (POP3):\n     Name: (IP address "
                                            "of this computer)\n     Port: 7110\n"),
            std::string::npos)
      << dialogs_.boxes.back().text;
}

// A program with accounts to import, as the mail-client readers will give them.
class OneProgram : public MailClientImport {
 public:
  std::vector<std::string> ListInstalled() override { return {"Fake Mail"}; }
  std::vector<store::NewAccount> ReadAccounts(std::size_t) override { return accounts; }
  std::vector<store::NewAccount> accounts;
};

TEST_F(SetupWizardTest, ImportPathWithoutProgramsSaysSoAndOffersTheManualPath) {
  SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, no_clients_);
  wizard.show();
  wizard.next();
  ASSERT_EQ(wizard.currentId(), kSelectClientPage);
  auto* page = static_cast<WizardClientPage*>(wizard.page(kSelectClientPage));
  EXPECT_TRUE(page->notice()->isVisible());
  EXPECT_TRUE(page->notice()->text().startsWith("No mail clients could be found."));
  EXPECT_TRUE(wizard.button(QWizard::NextButton)->isEnabled());
  wizard.next();
  EXPECT_EQ(wizard.currentId(), kNamePage);
}

TEST_F(SetupWizardTest, ImportPathWithAnEmptyProgramNamesItAndOffersTheManualPath) {
  OneProgram program;
  SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, program);
  wizard.show();
  wizard.next();
  wizard.next();
  ASSERT_EQ(wizard.currentId(), kSelectAccountPage);
  auto* page = static_cast<WizardCandidatePage*>(wizard.page(kSelectAccountPage));
  EXPECT_TRUE(
      page->notice()->text().startsWith("No mail account data could be found for Fake Mail."));
  wizard.next();
  EXPECT_EQ(wizard.currentId(), kNamePage);
}

TEST_F(SetupWizardTest, ImportedAccountKeepsItsNameAndTakesTheTypedPassword) {
  OneProgram program;
  program.accounts.push_back({.friendly_name = "Work",
                              .display_name = "Jo Doe",
                              .email_address = "jo@work.example",
                              .pop3_host = "pop.work.example",
                              .pop3_port = 995,
                              .pop3_user = "jo.doe",
                              .smtp_host = "smtp.work.example",
                              .smtp_port = 587});
  SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, program);
  wizard.show();
  wizard.next();
  wizard.next();
  wizard.next();
  ASSERT_EQ(wizard.currentId(), kImportPasswordPage);
  EXPECT_EQ(wizard.page(kImportPasswordPage)->findChild<QLabel*>("account_name")->text(), "jo.doe");
  EXPECT_FALSE(wizard.button(QWizard::NextButton)->isEnabled());
  wizard.page(kImportPasswordPage)->findChild<QLineEdit*>()->setText("pw");
  wizard.next();
  ASSERT_EQ(wizard.currentId(), kImportDonePage);
  wizard.button(QWizard::FinishButton)->click();
  const std::optional<store::MailAccount> account =
      world_.stores().accounts->CopyOf(wizard.created_account());
  ASSERT_TRUE(account);
  EXPECT_EQ(account->friendly_name.Text(), "Work");
  EXPECT_EQ(account->pop3_password.Text(), "pw");
  EXPECT_EQ(world_.stores().listeners->CopyOf(account->pop3_listener_id)->server_port, 995u);
  EXPECT_EQ(world_.stores().listeners->CopyOf(account->smtp_listener_id)->server_port, 587u);
}

TEST_F(SetupWizardTest, ManualPathAfterALookAtAnImportedAccountTakesOnlyWhatWasTyped) {
  OneProgram program;
  program.accounts.push_back({.friendly_name = "Work",
                              .email_address = "jo@work.example",
                              .pop3_host = "pop.work.example",
                              .pop3_port = 995,
                              .pop3_user = "jo.doe",
                              .smtp_port = 587});
  SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, program);
  wizard.show();
  Fill(wizard, {});
  for (int step = 0; step < 3; ++step) wizard.next();
  ASSERT_EQ(wizard.currentId(), kImportPasswordPage);
  while (wizard.currentId() != kStartPage) wizard.back();
  ASSERT_TRUE(WalkTo(wizard, kManualDonePage));
  wizard.button(QWizard::FinishButton)->click();
  const store::MailAccount account = *world_.stores().accounts->CopyOf(wizard.created_account());
  EXPECT_EQ(account.friendly_name.Text(), "pop.example.org");
  EXPECT_EQ(world_.stores().listeners->CopyOf(account.pop3_listener_id)->server_port, 110u);
  EXPECT_EQ(world_.stores().listeners->CopyOf(account.smtp_listener_id)->server_port, 25u);
}

TEST_F(SetupWizardTest, PicturesOfEveryPage) {
  OneProgram program;
  program.accounts.push_back(
      {.friendly_name = "Work", .email_address = "jo@work.example", .pop3_user = "jo.doe"});
  for (MailClientImport* source :
       {static_cast<MailClientImport*>(&program), static_cast<MailClientImport*>(&no_clients_)}) {
    SetupWizard wizard(*world_.stores().accounts, *world_.stores().listeners, *source);
    Fill(wizard, {});
    wizard.show();
    const QString path = source == &program ? "import" : "none";
    while (true) {
      const QString name = QString("wizard_%1_page%2").arg(path).arg(wizard.currentId());
      EXPECT_TRUE(testing_support::SaveScreenshot(wizard, name));
      const int before = wizard.currentId();
      if (wizard.page(before)->nextId() == -1) break;
      if (before == kImportPasswordPage) {
        wizard.page(before)->findChild<QLineEdit*>()->setText("pw");
      }
      wizard.next();
      if (wizard.currentId() == before) break;
    }
  }
}

}  // namespace
}  // namespace pelrion::ui
