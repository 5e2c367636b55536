// The Options window over real stores in a temporary folder: the pages' checks as a table
// (field, bad value, message, page and focused field), OK saving every setting, applying
// autostart, expiring the quarantine with the new limit and re-arming the check; Cancel
// leaving everything; the Sender Validation page's templates (Browse, Reload, the controls
// off while only trusted contacts are accepted) and the preview. Saves both pages' pictures.
#include "ui/options_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <functional>

#include "ui/scripted_dialogs.h"
#include "app/stores_fixture.h"
#include "core/autostart.h"
#include "options_access_keys.h"
#include "platform/clock.h"
#include "platform/registry.h"
#include "support/files.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "ui/options_general_page.h"
#include "ui/options_number_field.h"
#include "ui/options_sender_page.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using core::TemplateKind;
using core::ValidationMethod;
using testing_support::ScriptedDialogs;
using testing_support::TestApp;

constexpr std::int32_t kDay = 86400;

class OptionsWindowTest : public testing::Test {
 protected:
  OptionsWindowTest() { TestApp(); }

  static bool MakeFolders(const test_support::TempDir& dir) {
    for (const char* name : {"db", "temp", "templates"}) {
      std::filesystem::create_directories(dir / name);
    }
    return true;
  }

  std::unique_ptr<OptionsWindow> MakeWindow() {
    OptionsDesktop desktop{
        .choose_template_file = [this](QWidget*,
                                       const QString& filters) -> std::optional<std::string> {
          filters_asked_.push_back(filters);
          return chosen_file_;
        },
        .open_message_file =
            [this](const std::string& path) {
              opened_.push_back(path);
              return viewer_exists_;
            },
    };
    auto window = std::make_unique<OptionsWindow>(OptionsServices{
        .preferences = stores_.preferences,
        .registry = registry_,
        .quarantine = *stores_.stores.quarantine,
        .rearm_mail_check = [this] { ++rearmed_; },
        .temp_folder = dir_ / "temp/",
        .executable_path = "/opt/pelrion/bin/pelrion",
        .desktop = std::move(desktop),
    });
    window->show();
    window->activateWindow();
    QApplication::processEvents();
    return window;
  }

  std::string Autostart() const { return dir_ / "config/autostart/pelrion.desktop"; }

  test_support::TempDir dir_;
  test_support::ScopedEnv config_home_{"XDG_CONFIG_HOME", dir_ / "config"};
  bool folders_made_ = MakeFolders(dir_);
  apptest::StoresFixture stores_{dir_ / "db/"};
  platform::MemoryRegistry registry_;
  ScriptedDialogs dialogs_;
  std::optional<std::string> chosen_file_;
  std::vector<QString> filters_asked_;
  std::vector<std::string> opened_;
  bool viewer_exists_ = true;
  int rearmed_ = 0;
};

bool HasFocus(QWidget& window, QWidget* field) {
  QWidget* focused = window.focusWidget();
  return focused != nullptr && (focused == field || field->isAncestorOf(focused));
}

TEST_F(OptionsWindowTest, RefusesValuesOutsideTheirRangesOnThePageThatHoldsThem) {
  const std::string delay_text =
      "Please enter a valid check mail delay (a value between 1 and 999).";
  const std::string expire_text =
      "Please enter a valid expiration limit (a value between 1 and 365).";
  using Field = std::function<OptionsNumberField*(OptionsWindow&)>;
  const Field delay = [](OptionsWindow& w) { return w.general_page()->check_mail_delay(); };
  const Field expire = [](OptionsWindow& w) { return w.sender_page()->expire(); };
  const struct {
    const char* name;
    Field field;
    QString value;
    bool check_mail;
    std::string message;  // empty: accepted
    OptionsWindow::Page page;
  } rows[] = {
      {"delay_zero", delay, "0", true, delay_text, OptionsWindow::Page::kGeneral},
      {"delay_1000", delay, "1000", true, delay_text, OptionsWindow::Page::kGeneral},
      {"delay_ignored_while_check_off", delay, "0", false, "", OptionsWindow::Page::kGeneral},
      {"delay_upper_bound", delay, "999", true, "", OptionsWindow::Page::kGeneral},
      {"delay_lower_bound", delay, "1", true, "", OptionsWindow::Page::kGeneral},
      {"expire_zero", expire, "0", true, expire_text, OptionsWindow::Page::kSenderValidation},
      {"expire_366", expire, "366", true, expire_text, OptionsWindow::Page::kSenderValidation},
      {"expire_upper_bound", expire, "365", true, "", OptionsWindow::Page::kSenderValidation},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.boxes.clear();
    const core::Preferences before = stores_.preferences;
    const int rearmed_before = rearmed_;
    const auto saved_before = registry_.GetBinary(core::PreferencesGeneralKey(), "checkmail_delay");
    auto window = MakeWindow();
    // The other page stays on, so the window has to find the page holding the bad field.
    window->ShowPage(row.page == OptionsWindow::Page::kGeneral
                         ? OptionsWindow::Page::kSenderValidation
                         : OptionsWindow::Page::kGeneral);
    window->general_page()->check_mail()->setChecked(row.check_mail);
    OptionsNumberField* field = row.field(*window);
    field->SetTypedText(row.value);
    window->accept();
    if (row.message.empty()) {
      EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.boxes.front().text;
      EXPECT_EQ(window->result(), QDialog::Accepted);
      EXPECT_EQ(rearmed_, rearmed_before + 1);
      stores_.preferences = before;  // the next row starts from the same settings
      continue;
    }
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].text, row.message);
    EXPECT_EQ(dialogs_.boxes[0].caption, "Pelrion");
    EXPECT_TRUE(window->isVisible());
    EXPECT_NE(window->result(), QDialog::Accepted);
    EXPECT_EQ(window->CurrentPage(), row.page);
    EXPECT_TRUE(HasFocus(*window, field));
    EXPECT_EQ(field->text(), row.value) << "a refused value is never bent into range";
    EXPECT_EQ(stores_.preferences.checkmail_delay, before.checkmail_delay);
    EXPECT_EQ(stores_.preferences.expire, before.expire);
    EXPECT_EQ(rearmed_, rearmed_before);
    EXPECT_EQ(registry_.GetBinary(core::PreferencesGeneralKey(), "checkmail_delay"), saved_before);
  }
}

TEST_F(OptionsWindowTest, TheArrowsStayWithinTheRangeWhateverWasTyped) {
  auto window = MakeWindow();
  OptionsNumberField* expire = window->sender_page()->expire();
  expire->SetTypedText("365");
  expire->stepUp();
  EXPECT_EQ(expire->TypedValue(), 365);
  expire->SetTypedText("0");
  expire->stepDown();
  EXPECT_EQ(expire->TypedValue(), 1);
  expire->SetTypedText("5000");
  expire->stepUp();
  EXPECT_EQ(expire->TypedValue(), 365);

  // Typed and left (the user clicks OK): the text stays as typed for the check to see.
  for (const QString typed : {"0", "366", "1000"}) {
    expire->findChild<QLineEdit*>()->setText(typed);
    QFocusEvent leave(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(expire, &leave);
    EXPECT_EQ(expire->text(), typed);
    EXPECT_EQ(expire->TypedValue(), typed.toLongLong());
  }
  // Letters never get in.
  expire->findChild<QLineEdit*>()->setText("12");
  expire->findChild<QLineEdit*>()->insert("x");
  EXPECT_EQ(expire->text(), "12");
}

TEST_F(OptionsWindowTest, OkSavesEverySettingAppliesAutostartAndRearmsTheCheck) {
  auto window = MakeWindow();
  OptionsGeneralPage& general = *window->general_page();
  OptionsSenderPage& sender = *window->sender_page();
  general.autostart()->setChecked(true);
  general.check_mail_delay()->SetTypedText("25");
  general.junk_mail()->setChecked(false);
  // The Trash button is the junk button's sibling in its exclusive group.
  for (QRadioButton* button : general.findChildren<QRadioButton*>()) {
    if (button != general.junk_mail()) button->setChecked(true);
  }
  sender.expire()->SetTypedText("30");
  sender.from()->setCurrentIndex(2);
  sender.method()->setCurrentIndex(1);
  sender.charset()->setCurrentIndex(3);
  sender.trusted_only()->setChecked(true);
  window->accept();
  ASSERT_EQ(window->result(), QDialog::Accepted);
  EXPECT_EQ(rearmed_, 1);

  core::Preferences& live = stores_.preferences;
  EXPECT_EQ(live.checkmail_delay, 25u);
  EXPECT_EQ(live.junk, 0u);
  EXPECT_EQ(live.expire, 30u);
  EXPECT_EQ(live.from, 2u);
  EXPECT_EQ(live.method, 1u);
  EXPECT_EQ(live.charset_captcha, 3u);
  EXPECT_EQ(live.charset_reply, mailformat::kDefaultCharsetIndex);
  EXPECT_EQ(live.challenge, 0u);

  // What the next start reads back is what the window showed.
  for (const core::NumberPreference& key : core::NumberPreferences()) {
    const std::string path = key.page == core::PreferencePage::kGeneral
                                 ? core::PreferencesGeneralKey()
                                 : core::PreferencesSenderValidationKey();
    EXPECT_EQ(registry_.GetNumber(path, key.name), live.*key.field) << key.name;
  }
  ASSERT_TRUE(std::filesystem::exists(Autostart()));
  EXPECT_NE(test_support::ReadFile(Autostart()).find("/opt/pelrion/bin/pelrion"),
            std::string::npos);

  auto again = MakeWindow();
  again->general_page()->autostart()->setChecked(false);
  again->accept();
  EXPECT_FALSE(std::filesystem::exists(Autostart()));
  EXPECT_EQ(rearmed_, 2);
}

TEST_F(OptionsWindowTest, OkExpiresHeldMailWithTheNewLimit) {
  const std::uint32_t account = apptest::AddAccount(stores_.stores);
  const auto now = static_cast<std::int32_t>(platform::Now());
  store::MessageRecord* held =
      apptest::FileMessage(stores_.stores, account, "late@example.com", 0, 4242, now - 3 * kDay);
  ASSERT_NE(held, nullptr);
  const std::uint32_t id = held->id;
  stores_.stores.quarantine->ExpireQuarantine();  // three days are within the default five
  ASSERT_EQ(stores_.stores.messages->Find(id)->folder(), store::Folder::kQuarantine);

  auto window = MakeWindow();
  window->sender_page()->expire()->SetTypedText("2");
  window->accept();
  const store::MessageRecord* after = stores_.stores.messages->Find(id);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after->folder(), store::Folder::kJunkMail);
  EXPECT_EQ(after->status, 3);
}

TEST_F(OptionsWindowTest, CancelKeepsSettingsAndTemplates) {
  const std::string file = dir_ / "mine.txt";
  test_support::WriteFile(file, "my own words\r\n");
  chosen_file_ = file;
  const core::Preferences before = stores_.preferences;
  auto window = MakeWindow();
  window->general_page()->check_mail_delay()->SetTypedText("42");
  window->sender_page()->browse(TemplateKind::kPlainText)->click();
  ASSERT_EQ(
      core::TemplateText(window->working(), ValidationMethod::kReply, TemplateKind::kPlainText),
      "my own words\n");
  window->reject();
  EXPECT_EQ(stores_.preferences.checkmail_delay, before.checkmail_delay);
  EXPECT_EQ(stores_.preferences.fn_txt_reply, before.fn_txt_reply);
  EXPECT_EQ(stores_.preferences.template_texts, before.template_texts);
  EXPECT_EQ(rearmed_, 0);
  EXPECT_FALSE(registry_.GetBinary(core::PreferencesGeneralKey(), "checkmail_delay"));
}

TEST_F(OptionsWindowTest, OnlyTrustedContactsTurnsTheRequestControlsOff) {
  auto window = MakeWindow();
  OptionsSenderPage& page = *window->sender_page();
  const std::vector<QWidget*> request_controls = {
      page.from(),
      page.method(),
      page.charset(),
      page.file_name(TemplateKind::kPlainText),
      page.file_name(TemplateKind::kHtml),
      page.browse(TemplateKind::kPlainText),
      page.browse(TemplateKind::kHtml),
      page.reload(TemplateKind::kPlainText),
      page.reload(TemplateKind::kHtml),
  };
  for (const bool only_trusted : {true, false, true}) {
    page.trusted_only()->setChecked(only_trusted);
    for (QWidget* control : request_controls) {
      EXPECT_EQ(control->isEnabled(), !only_trusted) << control->metaObject()->className();
    }
    EXPECT_TRUE(page.expire()->isEnabled());
    EXPECT_EQ(window->working().challenge, only_trusted ? 0u : 1u);
  }
}

TEST_F(OptionsWindowTest, ChoosingAMethodShowsItsFilesAndCharset) {
  core::Preferences& live = stores_.preferences;
  live.fn_txt_reply = "/r/reply.txt";
  live.fn_htm_reply = "/r/reply.htm";
  live.fn_txt_captcha = "/c/captcha.txt";
  live.fn_htm_captcha = "/c/captcha.htm";
  live.charset_reply = 4;
  live.charset_captcha = 7;
  auto window = MakeWindow();
  OptionsSenderPage& page = *window->sender_page();
  const struct {
    int method;
    const char* text;
    const char* html;
    int charset;
  } rows[] = {{1, "/c/captcha.txt", "/c/captcha.htm", 7}, {0, "/r/reply.txt", "/r/reply.htm", 4}};
  for (const auto& row : rows) {
    page.method()->setCurrentIndex(row.method);
    EXPECT_EQ(page.file_name(TemplateKind::kPlainText)->text(), row.text);
    EXPECT_EQ(page.file_name(TemplateKind::kHtml)->text(), row.html);
    EXPECT_EQ(page.charset()->currentIndex(), row.charset);
  }
  // A charset chosen belongs to the method shown only.
  page.charset()->setCurrentIndex(9);
  EXPECT_EQ(window->working().charset_reply, 9u);
  EXPECT_EQ(window->working().charset_captcha, 7u);
}

TEST_F(OptionsWindowTest, BrowseLoadsTheChosenFileOrKeepsThePreviousTemplate) {
  const std::string good = dir_ / "good.htm";
  const std::string empty = dir_ / "empty.htm";
  test_support::WriteFile(good, "<p>one</p>\r\n<p>two</p>\r\n");
  test_support::WriteFile(empty, "");
  auto window = MakeWindow();
  OptionsSenderPage& page = *window->sender_page();
  page.method()->setCurrentIndex(1);

  chosen_file_ = good;
  page.browse(TemplateKind::kHtml)->click();
  ASSERT_EQ(filters_asked_.size(), 1u);
  EXPECT_EQ(filters_asked_[0], "HTML Files (*.htm *.html);;All Files (*)");
  EXPECT_EQ(core::TemplateText(window->working(), ValidationMethod::kCaptcha, TemplateKind::kHtml),
            "<p>one</p>\n<p>two</p>\n");
  EXPECT_EQ(window->working().fn_htm_captcha, good);
  EXPECT_EQ(page.file_name(TemplateKind::kHtml)->text().toStdString(), good);
  EXPECT_TRUE(dialogs_.boxes.empty());

  chosen_file_ = empty;
  page.browse(TemplateKind::kHtml)->click();
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text,
            "Failed to load template from file " + empty + ":\nFile is empty");
  EXPECT_EQ(window->working().fn_htm_captcha, good);
  EXPECT_EQ(core::TemplateText(window->working(), ValidationMethod::kCaptcha, TemplateKind::kHtml),
            "<p>one</p>\n<p>two</p>\n");

  chosen_file_.reset();  // cancelled: nothing changes, nothing is said
  page.browse(TemplateKind::kPlainText)->click();
  EXPECT_EQ(filters_asked_.back(), "Text Files (*.txt);;All Files (*)");
  EXPECT_EQ(dialogs_.boxes.size(), 1u);
}

TEST_F(OptionsWindowTest, ReloadReadsTheCurrentFileAgainAndSaysSo) {
  const std::string file = dir_ / "reply.txt";
  test_support::WriteFile(file, "first\n");
  chosen_file_ = file;
  auto window = MakeWindow();
  OptionsSenderPage& page = *window->sender_page();
  page.browse(TemplateKind::kPlainText)->click();
  test_support::WriteFile(file, "second\r\n");
  page.reload(TemplateKind::kPlainText)->click();
  EXPECT_EQ(
      core::TemplateText(window->working(), ValidationMethod::kReply, TemplateKind::kPlainText),
      "second\n");
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text, "Reloaded.");
  EXPECT_EQ(dialogs_.boxes[0].caption, "Options");
  EXPECT_EQ(dialogs_.boxes[0].icon, platform::DialogIcon::kInformation);

  std::filesystem::remove(file);  // a failed reload keeps the text and says why instead
  page.reload(TemplateKind::kPlainText)->click();
  ASSERT_EQ(dialogs_.boxes.size(), 2u);
  EXPECT_EQ(dialogs_.boxes[1].text.rfind("Failed to load template from file " + file + ":\n", 0),
            0u);
  EXPECT_EQ(
      core::TemplateText(window->working(), ValidationMethod::kReply, TemplateKind::kPlainText),
      "second\n");
}

TEST_F(OptionsWindowTest, PreviewWritesTheSampleRequestWithThePageSettingsAndOpensIt) {
  const std::string file = dir_ / "unsaved.txt";
  test_support::WriteFile(file, "Dear [REMOTE_USER_NAME], this is not saved yet.\n");
  chosen_file_ = file;
  auto window = MakeWindow();
  window->sender_page()->browse(TemplateKind::kPlainText)->click();
  window->sender_page()->preview()->click();
  ASSERT_EQ(opened_.size(), 1u);
  const std::filesystem::path path(opened_[0]);
  EXPECT_EQ(path.parent_path().string() + "/", dir_ / "temp/");
  EXPECT_EQ(path.filename().string().front(), 'P');
  EXPECT_EQ(path.extension(), ".eml");
  const std::string message = test_support::ReadFile(opened_[0]);
  EXPECT_NE(message.find("Preview"), std::string::npos);
  EXPECT_NE(message.find("Dear John Smith, this is not saved yet"), std::string::npos) << message;
  EXPECT_NE(stores_.preferences.fn_txt_reply, file) << "previewing saves nothing";
  EXPECT_TRUE(dialogs_.boxes.empty());

  viewer_exists_ = false;
  window->sender_page()->preview()->click();
  ASSERT_EQ(opened_.size(), 2u);
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text,
            "There is no program on this desktop that opens '" + opened_[1] + "'.");
}

TEST_F(OptionsWindowTest, EachPageGivesEveryLabelItsOwnAccessKey) {
  auto window = MakeWindow();
  for (QWidget* page : {static_cast<QWidget*>(window->general_page()),
                        static_cast<QWidget*>(window->sender_page())}) {
    EXPECT_GE(testing_support::AccessKeys(*page).size(), 7u);
    EXPECT_EQ(testing_support::SharedAccessKeys(*page), "");
  }
  // The label speaks of the desktop session, not of the operating system starting.
  EXPECT_TRUE(window->general_page()->autostart()->text().contains("when you log in"));
}

TEST_F(OptionsWindowTest, Screenshots) {
  // As a first start leaves them: the built-in templates written to their folder.
  stores_.preferences = core::LoadPreferences(registry_, dir_ / "templates/");
  auto window = MakeWindow();
  window->resize(window->sizeHint());
  EXPECT_TRUE(testing_support::SaveScreenshot(*window, "options_general"));
  window->ShowPage(OptionsWindow::Page::kSenderValidation);
  EXPECT_TRUE(testing_support::SaveScreenshot(*window, "options_sender_validation"));
}

}  // namespace
}  // namespace pelrion::ui
