// What the main window keeps between runs ("Main Frame" and "CoolBarState"), the exit with
// its question while mail clients are served, and the pictures of the window.
#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "crypto/md5.h"
#include "support/scoped_env.h"
#include "ui/folder_bar.h"
#include "ui/main_frame_layout.h"
#include "ui/main_window_test_helpers.h"
#include "ui/message_list_view.h"
#include "ui/network_error_box.h"
#include "ui/proxy_warning_dialog.h"
#include "ui/status_panes.h"
#include "ui/transfer_status_window.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using store::Folder;

platform::RegistryBinary RecordOf(std::uint32_t width, std::uint32_t splitter,
                                  std::uint32_t third) {
  platform::RegistryBinary values;
  for (const std::uint32_t value : {width, splitter, third}) {
    for (int shift = 0; shift < 32; shift += 8)
      values.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  const crypto::Md5Digest digest = crypto::Md5Of(values.data(), values.size());
  platform::RegistryBinary record(digest.begin(), digest.end());
  for (const std::uint8_t byte : values) record.push_back(byte);
  return record;
}

TEST(MainFrameRecordTest, RoundTripsExactlyTwentyEightBytes) {
  const MainFrameLayout layouts[] = {
      {110, true, true}, {32, false, true}, {600, true, false}, {250, false, false}};
  for (const MainFrameLayout& layout : layouts) {
    const platform::RegistryBinary bytes = EncodeMainFrame(layout);
    ASSERT_EQ(bytes.size(), kMainFrameSize);
    EXPECT_EQ(bytes, RecordOf(static_cast<std::uint32_t>(layout.folder_bar_width),
                              layout.folder_bar_shown, layout.status_bar_shown));
    const MainFrameLayout back = DecodeMainFrame(bytes);
    EXPECT_EQ(back.folder_bar_width, layout.folder_bar_width);
    EXPECT_EQ(back.folder_bar_shown, layout.folder_bar_shown);
    EXPECT_EQ(back.status_bar_shown, layout.status_bar_shown);
  }
}

TEST(MainFrameRecordTest, DamagedRecordsGiveTheDefaults) {
  platform::RegistryBinary flipped = RecordOf(200, 0, 0);
  flipped[3] ^= 0x40;
  platform::RegistryBinary longer = RecordOf(200, 0, 0);
  longer.push_back(0);
  platform::RegistryBinary shorter = RecordOf(200, 0, 0);
  shorter.pop_back();
  struct Case {
    const char* name;
    std::optional<platform::RegistryBinary> bytes;
    MainFrameLayout expected;
  };
  const Case cases[] = {
      {"missing", std::nullopt, {}},
      {"digest mismatch", flipped, {}},
      {"29 bytes", longer, {}},
      {"27 bytes", shorter, {}},
      {"empty", platform::RegistryBinary{}, {}},
      // A sound record with a width out of range keeps its flags.
      {"too narrow", RecordOf(31, 0, 1), {110, false, true}},
      {"too wide", RecordOf(601, 1, 0), {110, true, false}},
      {"negative", RecordOf(0xFFFFFF00u, 0, 0), {110, false, false}},
  };
  for (const Case& c : cases) {
    const MainFrameLayout layout = DecodeMainFrame(c.bytes);
    EXPECT_EQ(layout.folder_bar_width, c.expected.folder_bar_width) << c.name;
    EXPECT_EQ(layout.folder_bar_shown, c.expected.folder_bar_shown) << c.name;
    EXPECT_EQ(layout.status_bar_shown, c.expected.status_bar_shown) << c.name;
  }
}

TEST(CoolBarStateTest, RoundTripsAndRefusesAnythingElse) {
  CoolBarState state;
  state.geometry = QByteArray("geometry", 8);
  state.window_state = QByteArray(300, '\x7f');
  state.header_state = QByteArray("header");
  state.chosen_columns = 0x2F5;
  state.folder_caption_shown = false;
  const QByteArray bytes = EncodeCoolBarState(state);
  const auto back = DecodeCoolBarState(bytes);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->geometry, state.geometry);
  EXPECT_EQ(back->window_state, state.window_state);
  EXPECT_EQ(back->header_state, state.header_state);
  EXPECT_EQ(back->chosen_columns, state.chosen_columns);
  EXPECT_FALSE(back->folder_caption_shown);

  for (const QByteArray& damaged :
       {QByteArray(), QByteArray("garbage that is not ours"), bytes.left(bytes.size() - 1),
        bytes + QByteArray("x"), QByteArray(1, '\0') + bytes}) {
    EXPECT_FALSE(DecodeCoolBarState(damaged).has_value()) << damaged.size();
  }
}

class MainWindowLayoutTest : public testing::Test {
 protected:
  QApplication* app_ = testing_support::TestApp();
  window_testing::WindowWorld world_;
};

// What the user changed comes back in the next run's window.
TEST_F(MainWindowLayoutTest, LayoutComesBackInTheNextWindow) {
  MainWindow& window = world_.window();
  window.Run(Command::kFoldersBar);  // hidden
  window.Run(Command::kStatusBar);   // hidden
  window.Run(Command::kFolderCaption);
  window.list()->SetColumnChosen(ListColumn::kAccount, false);
  window.list()->sortByColumn(static_cast<int>(ListColumn::kSubject), Qt::AscendingOrder);
  window.resize(777, 444);
  window.SaveLayout();
  const auto frame = world_.registry().GetBinary(platform::kProgramKey, "Main Frame");
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->size(), 28u);

  world_.ReopenWindow();
  MainWindow& next = world_.window();
  EXPECT_TRUE(next.folder_bar()->isHidden());
  EXPECT_TRUE(next.statusBar()->isHidden());
  EXPECT_TRUE(next.folder_caption()->isHidden());
  EXPECT_FALSE(next.action(Command::kFoldersBar)->isChecked());
  EXPECT_FALSE(next.action(Command::kStatusBar)->isChecked());
  EXPECT_FALSE(next.list()->column_chosen(ListColumn::kAccount));
  EXPECT_TRUE(next.list()->column_chosen(ListColumn::kSubject));
  EXPECT_EQ(next.list()->header()->sortIndicatorSection(), static_cast<int>(ListColumn::kSubject));
  EXPECT_EQ(next.list()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_EQ(next.size(), QSize(777, 444));
}

TEST_F(MainWindowLayoutTest, DamagedLayoutValuesGiveTheDefaultWindow) {
  platform::RegistryBinary frame = EncodeMainFrame({300, false, false});
  frame[20] ^= 1;  // the digest no longer matches
  world_.registry().SetBinary(platform::kProgramKey, "Main Frame", frame);
  world_.registry().SetBinary(platform::kProgramKey, "CoolBarState",
                              platform::RegistryBinary{'P', 'C', 'B', 'S', 0, 0, 0, 9, 1, 2, 3});
  world_.ReopenWindow();
  MainWindow& window = world_.window();
  EXPECT_FALSE(window.folder_bar()->isHidden());
  EXPECT_FALSE(window.statusBar()->isHidden());
  EXPECT_FALSE(window.folder_caption()->isHidden());
  for (int column = 0; column < kListColumnCount; ++column) {
    EXPECT_TRUE(window.list()->column_chosen(static_cast<ListColumn>(column))) << column;
  }
}

TEST(ProxyWarningDialogTest, CountsDownAndAnswersOkByItself) {
  testing_support::TestApp();
  ProxyWarningDialog dialog([] { return std::size_t{2}; });
  EXPECT_EQ(dialog.seconds_left(), 10);
  EXPECT_NE(dialog.countdown_text().indexOf("10"), -1);
  for (int second = 9; second >= 1; --second) {
    dialog.CountDown();
    dialog.CheckConnections();
    EXPECT_EQ(dialog.seconds_left(), second);
    EXPECT_NE(dialog.countdown_text().indexOf(QString::number(second)), -1);
    EXPECT_EQ(dialog.result(), QDialog::Rejected) << second;  // not answered yet
    EXPECT_FALSE(dialog.isHidden() && dialog.result() == QDialog::Accepted);
  }
  EXPECT_TRUE(testing_support::SaveScreenshot(dialog, "main_window_exit_question"));
  dialog.CountDown();
  EXPECT_EQ(dialog.seconds_left(), 0);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

// With its own timers: the last connection closing answers OK well before the countdown.
TEST(ProxyWarningDialogTest, AnswersOkWhenTheLastConnectionCloses) {
  testing_support::TestApp();
  std::size_t open = 1;
  ProxyWarningDialog dialog([&open] { return open; });
  QTimer::singleShot(200, [&open] { open = 0; });
  EXPECT_EQ(dialog.exec(), QDialog::Accepted);
  EXPECT_GE(dialog.seconds_left(), 8);
}

TEST_F(MainWindowLayoutTest, ExitAsksWhileMailClientsAreServed) {
  struct Case {
    std::uint32_t warnproxy;
    std::size_t connections;
    int answer;  // of the question, when asked
    bool asked;
    bool exits;
  };
  const Case cases[] = {{1, 0, QDialog::Rejected, false, true},
                        {1, 2, QDialog::Rejected, true, false},
                        {1, 2, QDialog::Accepted, true, true},
                        {0, 2, QDialog::Rejected, false, true}};
  for (const Case& c : cases) {
    world_.preferences().warnproxy = c.warnproxy;
    world_.connections = c.connections;
    world_.ReopenWindow();
    MainWindow& window = world_.window();
    window.show();
    bool asked = false, exited = false;
    window.run_dialog = [&](QDialog& dialog) {
      asked = qobject_cast<ProxyWarningDialog*>(&dialog) != nullptr;
      return c.answer;
    };
    window.on_exit = [&exited] { exited = true; };
    window.RequestExit();
    EXPECT_EQ(asked, c.asked) << c.warnproxy << " " << c.connections;
    EXPECT_EQ(exited, c.exits) << c.warnproxy << " " << c.connections;
    EXPECT_EQ(window.isVisible(), !c.exits);
    // The layout is kept on the way out.
    EXPECT_EQ(world_.registry().GetBinary(platform::kProgramKey, "Main Frame").has_value(),
              c.exits);
    world_.registry().DeleteValue(platform::kProgramKey, "Main Frame");
  }
}

// Without a notification area File > Close minimises and says why, once.
TEST_F(MainWindowLayoutTest, CloseWithoutATrayMinimisesAndSaysWhyOnce) {
  MainWindow& window = world_.window();
  if (window.tray_available()) GTEST_SKIP() << "this desktop has a tray";
  window.show();
  window.Run(Command::kClose);
  window.Run(Command::kClose);
  EXPECT_TRUE(window.isMinimized());
  ASSERT_EQ(world_.dialogs().boxes.size(), 1u);
  EXPECT_EQ(world_.dialogs().boxes[0].text, kNoTrayNotice);
}

TEST_F(MainWindowLayoutTest, Screenshots) {
  const test_support::ScopedUtcZone utc;
  const std::uint32_t work = world_.stores().AddAccount("Work mail");
  const std::uint32_t home = world_.account();
  const std::uint32_t inbox = store::kFlagDecided | store::kFlagInbox;
  const std::uint32_t junk = store::kFlagDecided;
  const std::uint32_t trash = store::kFlagDecided | store::kFlagTrash;
  list_testing::ListWorld& stores = world_.stores();
  stores.FileFixture(home, "mailbox/trusted_dots.eml", inbox, 7);
  stores.FileFixture(work, "mailbox/trusted_quoted_printable.eml", inbox | store::kFlagRead, 12);
  stores.FileFixture(home, "mailbox/unknown_attachment.eml", inbox | store::kFlagRead, 8);
  stores.FileFixture(home, "mailbox/unknown_attachment.eml", 0, 1);
  store::MessageRecord* waiting = stores.FileFixture(work, "arrival/exchange_rfc822.eml", 0, 2);
  stores.FileFixture(home, "mailbox/no_sender.eml", junk, 4);
  stores.FileFixture(work, "arrival/exim_plain_copy.eml", junk | store::kFlagRead, 6);
  stores.FileFixture(home, "arrival/sendmail_rfc822.eml", trash, 5);
  stores.FileFixture(work, "arrival/postfix_rfc822_headers.eml", trash | store::kFlagRead, 3);
  ASSERT_NE(waiting, nullptr);
  waiting->request_sent_time = 1796000000;
  world_.messages().RefreshRecord(*waiting);

  MainWindow& window = world_.window();
  window.resize(1100, 520);
  window.panes().SetActivity("Receiving messages");
  const char* names[] = {"inbox", "quarantine", "junk_mail", "trash"};
  for (int index = 0; index < store::kFolderCount; ++index) {
    window.ShowFolder(static_cast<Folder>(index));
    window.list()->selectionModel()->select(
        world_.stores().model().index(0, 0),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_GT(world_.stores().model().rowCount(), 0) << names[index];
    EXPECT_TRUE(testing_support::SaveScreenshot(window, QString("main_window_") + names[index]));
  }

  // The transfer window as the cycle's status record drives it in the middle of a check.
  world_.cycle().ShowStatus(
      {"Checking mail for 'Work mail'", "Receiving message 3 of 12", 25, true});
  EXPECT_TRUE(
      testing_support::SaveScreenshot(window.transfer_window(), "main_window_transfer_status"));
  window.transfer_window().hide();

  world_.cycle().AddNetworkError(
      cycle::MailServerKey(home, transport::MailProtocol::kPop3),
      "Incoming mail (POP3) server 'pop.example.org': Connection refused (10061).");
  world_.cycle().AddNetworkError(
      cycle::MailServerKey(work, transport::MailProtocol::kSmtp),
      "Outgoing mail (SMTP) server 'smtp.example.com': Authentication failed.");
  auto box = MakeNetworkErrorBox(world_.cycle().TakeNetworkErrors(), &window);
  EXPECT_NE(box->text().indexOf("smtp.example.com"), -1);
  EXPECT_TRUE(testing_support::SaveScreenshot(*box, "main_window_network_errors"));
}

}  // namespace
}  // namespace pelrion::ui
