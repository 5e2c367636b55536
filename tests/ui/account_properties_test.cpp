// The Mail Account Properties sheet over real stores: every refusal in its order with its
// message and the focus on its field, the doubtful address question, a changed server moving
// the account to that server's listener, the SMTP login choices, the listeners' TLS policy,
// and the "Outgoing Mail Server" window's own checks. Saves pictures of both pages and the
// window.
#include "ui/account_properties.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <string>
#include <vector>

#include "account_test_helpers.h"
#include "store/listener_settings_key.h"
#include "transport/listener_tls_settings.h"
#include "ui/outgoing_server_dialog.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using platform::DialogAnswer;
using store::AccountField;
using testing_support::AccountWorld;
using testing_support::ScriptedDialogs;

class AccountPropertiesTest : public ::testing::Test {
 protected:
  AccountPropertiesTest() {
    testing_support::TestApp();
    home_ = world_.AddAccount("Home");
    work_ = world_.AddAccount("Work", "pop.work.example", 995);
  }

  QLineEdit* Edit(AccountProperties& sheet, AccountField field) {
    return qobject_cast<QLineEdit*>(sheet.FieldWidget(field));
  }
  store::MailAccount Stored(std::uint32_t id) { return *world_.stores().accounts->CopyOf(id); }

  ScriptedDialogs dialogs_;
  AccountWorld world_;
  std::uint32_t home_ = 0;
  std::uint32_t work_ = 0;
};

TEST_F(AccountPropertiesTest, EachRefusalShowsItsMessageAndFocusesItsField) {
  const QString bytes256 = QString(128, QChar(0xE9));
  const struct {
    AccountField field;
    QString bad;
    std::string_view message;
  } rows[] = {
      {AccountField::kFriendlyName, " ", store::kEmptyFriendlyNameText},
      {AccountField::kFriendlyName, bytes256, store::kEmptyFriendlyNameText},
      {AccountField::kFriendlyName, " WORK ", store::kFriendlyNameInUseText},
      {AccountField::kDisplayName, "\t", store::kDisplayNameText},
      {AccountField::kDisplayName, bytes256, store::kDisplayNameText},
      {AccountField::kEmailAddress, "  ", store::kEmailAddressText},
      {AccountField::kPop3Host, "", store::kPop3ServerText},
      {AccountField::kPop3Host, QString(256, 'p'), store::kPop3ServerText},
      {AccountField::kPop3Port, "0", store::kPortText},
      {AccountField::kPop3Port, "65536", store::kPortText},
      {AccountField::kPop3Port, "11O", store::kPortText},
      {AccountField::kPop3User, " ", store::kLoginNameText},
      {AccountField::kPop3Password, "", store::kPasswordText},
      {AccountField::kPop3Password, QString(64, 'x'), store::kPasswordText},
      {AccountField::kSmtpHost, " ", store::kSmtpServerText},
      {AccountField::kSmtpPort, "0", store::kPortText},
      {AccountField::kSmtpPort, "65536", store::kPortText},
  };
  for (const auto& row : rows) {
    AccountProperties sheet(world_.ports(), home_);
    sheet.show();
    Edit(sheet, row.field)->setText(row.bad);
    dialogs_.boxes.clear();
    EXPECT_FALSE(sheet.Apply()) << row.message;
    ASSERT_EQ(dialogs_.Texts(), std::vector<std::string>{std::string(row.message)})
        << row.bad.toStdString();
    EXPECT_EQ(dialogs_.boxes[0].caption, "Mail Accounts");
    EXPECT_EQ(dialogs_.boxes[0].icon, platform::DialogIcon::kWarning);
    EXPECT_EQ(sheet.focusWidget(), sheet.FieldWidget(row.field)) << row.message;
    EXPECT_TRUE(sheet.pages()->currentWidget()->isAncestorOf(sheet.FieldWidget(row.field)));
    EXPECT_EQ(Stored(home_).friendly_name.Text(), "Home") << "nothing stored";
  }
}

TEST_F(AccountPropertiesTest, FieldsAreCheckedInTheSheetsOrder) {
  const AccountField order[] = {
      AccountField::kFriendlyName, AccountField::kDisplayName, AccountField::kEmailAddress,
      AccountField::kPop3Host,     AccountField::kPop3Port,    AccountField::kPop3User,
      AccountField::kPop3Password, AccountField::kSmtpHost,    AccountField::kSmtpPort};
  const QString fixes[] = {
      "Home 2",           "Jo", "jo@example.org", "pop.example.org", "110", "jo", "pw",
      "smtp.example.org", "25"};
  AccountProperties sheet(world_.ports(), home_);
  sheet.show();
  for (const AccountField field : order) Edit(sheet, field)->setText("");
  for (std::size_t i = 0; i < std::size(order); ++i) {
    dialogs_.boxes.clear();
    ASSERT_FALSE(sheet.Apply()) << i;
    EXPECT_EQ(sheet.focusWidget(), sheet.FieldWidget(order[i])) << i;
    Edit(sheet, order[i])->setText(fixes[i]);
  }
  dialogs_.boxes.clear();
  EXPECT_TRUE(sheet.Apply());
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_EQ(Stored(home_).friendly_name.Text(), "Home 2");
}

TEST_F(AccountPropertiesTest, DoubtfulAddressIsKeptOnlyOnYes) {
  for (const DialogAnswer answer : {DialogAnswer::kNo, DialogAnswer::kYes}) {
    AccountProperties sheet(world_.ports(), home_);
    sheet.show();
    Edit(sheet, AccountField::kEmailAddress)->setText(" jo.example.org ");
    dialogs_.boxes.clear();
    dialogs_.answers = {answer};
    EXPECT_EQ(sheet.Apply(), answer == DialogAnswer::kYes);
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].text, store::kDoubtfulAddressText);
    EXPECT_EQ(dialogs_.boxes[0].buttons, platform::DialogButtons::kYesNo);
    EXPECT_EQ(Stored(home_).email_address.Text(),
              answer == DialogAnswer::kYes ? "jo.example.org" : "jo@example.org");
  }
}

TEST_F(AccountPropertiesTest, KeptAddressStillLetsTheLaterFieldsBeChecked) {
  AccountProperties sheet(world_.ports(), home_);
  sheet.show();
  Edit(sheet, AccountField::kEmailAddress)->setText("jo");
  Edit(sheet, AccountField::kSmtpPort)->setText("65536");
  dialogs_.answers = {DialogAnswer::kYes};
  EXPECT_FALSE(sheet.Apply());
  EXPECT_EQ(dialogs_.Texts(), (std::vector<std::string>{std::string(store::kDoubtfulAddressText),
                                                        std::string(store::kPortText)}));
  EXPECT_EQ(sheet.focusWidget(), sheet.FieldWidget(AccountField::kSmtpPort));
}

TEST_F(AccountPropertiesTest, ChangedServerMovesTheAccountAndDropsTheOrphanedListener) {
  const std::uint32_t home_pop3 = Stored(home_).pop3_listener_id;
  const std::uint32_t work_pop3 = Stored(work_).pop3_listener_id;
  const auto listener_count = [&] { return world_.stores().listeners->size(); };
  ASSERT_EQ(listener_count(), 3u) << "both share the SMTP server";

  {  // Only the letter case changed: the same server, the same listener.
    AccountProperties sheet(world_.ports(), home_);
    Edit(sheet, AccountField::kPop3Host)->setText("POP.Example.ORG");
    ASSERT_TRUE(sheet.Apply());
    EXPECT_EQ(Stored(home_).pop3_listener_id, home_pop3);
  }
  {  // Work's server: Home joins its listener and its own goes.
    AccountProperties sheet(world_.ports(), home_);
    Edit(sheet, AccountField::kPop3Host)->setText("pop.work.example");
    Edit(sheet, AccountField::kPop3Port)->setText("995");
    ASSERT_TRUE(sheet.Apply());
    EXPECT_EQ(Stored(home_).pop3_listener_id, work_pop3);
    EXPECT_FALSE(world_.stores().listeners->Contains(home_pop3));
    EXPECT_EQ(listener_count(), 2u);
    EXPECT_EQ(sheet.listener_port(false)->text(),
              QString::number(world_.stores().listeners->CopyOf(work_pop3)->local_port));
  }
  {  // A new server: a new listener, and Work's stays while Work uses it.
    AccountProperties sheet(world_.ports(), home_);
    Edit(sheet, AccountField::kPop3Host)->setText("pop.new.example");
    ASSERT_TRUE(sheet.Apply());
    const std::uint32_t created = Stored(home_).pop3_listener_id;
    EXPECT_NE(created, work_pop3);
    EXPECT_EQ(world_.stores().listeners->CopyOf(created)->server_host.Text(), "pop.new.example");
    EXPECT_EQ(world_.stores().listeners->CopyOf(created)->server_port, 995u);
    EXPECT_TRUE(world_.stores().listeners->Contains(work_pop3));
    EXPECT_EQ(listener_count(), 3u);
  }
  {  // The SMTP side follows the same rule.
    const std::uint32_t shared_smtp = Stored(home_).smtp_listener_id;
    AccountProperties sheet(world_.ports(), home_);
    Edit(sheet, AccountField::kSmtpPort)->setText("587");
    ASSERT_TRUE(sheet.Apply());
    EXPECT_NE(Stored(home_).smtp_listener_id, shared_smtp);
    EXPECT_TRUE(world_.stores().listeners->Contains(shared_smtp)) << "Work still uses it";
  }
}

TEST_F(AccountPropertiesTest, SmtpLoginIsTheIncomingOneOrItsOwn) {
  AccountProperties sheet(world_.ports(), home_);
  EXPECT_FALSE(sheet.settings_button()->isEnabled());
  sheet.authentication_box()->setChecked(true);
  EXPECT_TRUE(sheet.settings_button()->isEnabled());
  EXPECT_TRUE(sheet.outgoing_logon().same_as_incoming);
  Edit(sheet, AccountField::kPop3User)->setText(" jo2 ");
  ASSERT_TRUE(sheet.Apply());
  store::MailAccount stored = Stored(home_);
  EXPECT_EQ(stored.smtp_authentication, 1);
  EXPECT_EQ(stored.smtp_user_name.Text(), "jo2");
  EXPECT_EQ(stored.smtp_password.Text(), "secret");

  sheet.outgoing_logon() = {.same_as_incoming = false, .user = "relay", .password = "pw2"};
  ASSERT_TRUE(sheet.Apply());
  stored = Stored(home_);
  EXPECT_EQ(stored.smtp_user_name.Text(), "relay");
  EXPECT_EQ(stored.smtp_password.Text(), "pw2");

  // Opened again, the separate login is recognised as such.
  AccountProperties again(world_.ports(), home_);
  EXPECT_TRUE(again.authentication_box()->isChecked());
  EXPECT_FALSE(again.outgoing_logon().same_as_incoming);
  EXPECT_EQ(again.outgoing_logon().user, "relay");
}

TEST_F(AccountPropertiesTest, IncludeBoxIsStored) {
  AccountProperties sheet(world_.ports(), home_);
  EXPECT_TRUE(sheet.include_box()->isChecked());
  sheet.include_box()->setChecked(false);
  ASSERT_TRUE(sheet.Apply());
  EXPECT_EQ(Stored(home_).included, 0);
}

TEST_F(AccountPropertiesTest, ListenerTlsPolicyAndPinnedCertificate) {
  const std::uint32_t pop3 = Stored(home_).pop3_listener_id;
  const std::uint32_t smtp = Stored(home_).smtp_listener_id;
  ASSERT_TRUE(transport::WriteListenerTlsSettings(world_.registry(), pop3,
                                                  {transport::TlsMode::kImplicit, "AB:CD:EF"}));
  AccountProperties sheet(world_.ports(), home_);
  EXPECT_EQ(sheet.tls_mode(false)->currentIndex(), 2);
  EXPECT_EQ(sheet.pinned(false)->text(), "AB:CD:EF");
  EXPECT_TRUE(sheet.forget(false)->isEnabled());
  EXPECT_FALSE(sheet.forget(true)->isEnabled()) << "nothing pinned";
  EXPECT_EQ(sheet.listener_address(false)->text(), "127.0.0.1");

  sheet.forget(false)->click();
  sheet.tls_mode(true)->setCurrentIndex(3);
  // Nothing is stored before OK.
  EXPECT_EQ(transport::ReadListenerTlsSettings(world_.registry(), pop3).fingerprint, "AB:CD:EF");
  ASSERT_TRUE(sheet.Apply());
  const transport::ListenerTlsSettings pop3_tls =
      transport::ReadListenerTlsSettings(world_.registry(), pop3);
  EXPECT_EQ(pop3_tls.mode, transport::TlsMode::kImplicit);
  EXPECT_EQ(pop3_tls.fingerprint, "");
  EXPECT_EQ(transport::ReadListenerTlsSettings(world_.registry(), smtp).mode,
            transport::TlsMode::kNever);
}

TEST_F(AccountPropertiesTest, TabGoesDownTheServersPageInReadingOrder) {
  ASSERT_TRUE(transport::WriteListenerTlsSettings(world_.registry(), Stored(home_).pop3_listener_id,
                                                  {transport::TlsMode::kAutomatic, "AB"}));
  AccountProperties pinned(world_.ports(), home_);
  pinned.authentication_box()->setChecked(true);
  pinned.pages()->setCurrentIndex(1);
  pinned.show();
  const std::vector<QWidget*> expected = {pinned.FieldWidget(AccountField::kPop3Host),
                                          pinned.FieldWidget(AccountField::kPop3Port),
                                          pinned.FieldWidget(AccountField::kPop3User),
                                          pinned.FieldWidget(AccountField::kPop3Password),
                                          pinned.tls_mode(false),
                                          pinned.forget(false),
                                          pinned.FieldWidget(AccountField::kSmtpHost),
                                          pinned.FieldWidget(AccountField::kSmtpPort),
                                          pinned.authentication_box(),
                                          pinned.settings_button(),
                                          pinned.tls_mode(true),
                                          pinned.include_box()};
  // The SMTP "Forget" is disabled (nothing pinned) and so skipped by Tab.
  std::vector<QWidget*> reached;
  QWidget* widget = expected.front();
  while (reached.size() < expected.size()) {
    reached.push_back(widget);
    do {
      widget = widget->nextInFocusChain();
    } while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isEnabled() ||
             !widget->isVisible() || !pinned.pages()->currentWidget()->isAncestorOf(widget));
  }
  EXPECT_EQ(reached, expected);
}

TEST(OutgoingServerDialogTest, OwnLoginRefusesEmptyOrTooLongFields) {
  testing_support::TestApp();
  ScriptedDialogs dialogs;
  const struct {
    QString user;
    QString password;
    std::string_view message;  // empty: accepted
    bool user_focused;
  } rows[] = {
      {"", "pw", kOutgoingUserText, true},
      {"   ", "pw", kOutgoingUserText, true},
      {QString(256, 'u'), "pw", kOutgoingUserText, true},
      {"relay", "", kOutgoingPasswordText, false},
      {"relay", QString(64, 'p'), kOutgoingPasswordText, false},
      {" relay ", QString(63, 'p'), {}, false},
  };
  for (const auto& row : rows) {
    OutgoingServerDialog dialog({.same_as_incoming = false});
    dialog.show();
    dialog.user_field()->setText(row.user);
    dialog.password_field()->setText(row.password);
    dialogs.boxes.clear();
    dialog.accept();
    if (row.message.empty()) {
      EXPECT_EQ(dialog.result(), QDialog::Accepted);
      EXPECT_EQ(dialog.logon().user, "relay");
      EXPECT_EQ(dialog.logon().password, std::string(63, 'p'));
      EXPECT_TRUE(dialogs.boxes.empty());
      continue;
    }
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialogs.Texts(), std::vector<std::string>{std::string(row.message)});
    EXPECT_EQ(dialogs.boxes[0].caption, "Mail Accounts");
    EXPECT_EQ(dialogs.boxes[0].icon, platform::DialogIcon::kWarning);
    EXPECT_EQ(dialog.focusWidget(), row.user_focused
                                        ? static_cast<QWidget*>(dialog.user_field())
                                        : static_cast<QWidget*>(dialog.password_field()));
  }
}

TEST(OutgoingServerDialogTest, SameSettingsNeedNoLoginOfItsOwn) {
  testing_support::TestApp();
  ScriptedDialogs dialogs;
  OutgoingServerDialog dialog({.same_as_incoming = false});
  EXPECT_TRUE(dialog.user_field()->isEnabled());
  dialog.same_choice()->setChecked(true);
  EXPECT_FALSE(dialog.user_field()->isEnabled());
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog.logon().same_as_incoming);
  EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(AccountPropertiesTest, PicturesOfBothPagesAndTheOutgoingServerWindow) {
  ASSERT_TRUE(transport::WriteListenerTlsSettings(
      world_.registry(), Stored(home_).pop3_listener_id,
      {transport::TlsMode::kUpgradeRequired,
       "3F:1A:22:9C:00:AB:CD:EF:12:34:56:78:9A:BC:DE:F0:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:"
       "EE:FF:01"}));
  AccountProperties sheet(world_.ports(), home_);
  sheet.authentication_box()->setChecked(true);
  EXPECT_TRUE(testing_support::SaveScreenshot(sheet, "account_properties_general"));
  sheet.pages()->setCurrentIndex(1);
  EXPECT_TRUE(testing_support::SaveScreenshot(sheet, "account_properties_servers"));
  OutgoingServerDialog dialog({.same_as_incoming = false, .user = "relay", .password = "pw"});
  EXPECT_TRUE(testing_support::SaveScreenshot(dialog, "outgoing_mail_server"));
}

}  // namespace
}  // namespace pelrion::ui
