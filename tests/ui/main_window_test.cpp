// The main window's commands over real stores: what each one does to the messages and the
// address lists, what it asks first, and what the window shows afterwards.
#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <filesystem>
#include <fstream>
#include <string>

#include "store/message_record.h"
#include "ui/folder_bar.h"
#include "ui/main_window_test_helpers.h"
#include "ui/message_list_view.h"
#include "ui/status_panes.h"
#include "ui/tray_icon.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using platform::DialogAnswer;
using store::Folder;

constexpr std::uint32_t kTrusted = 1;      // list 0's bit
constexpr std::uint32_t kBlacklisted = 2;  // list 1's bit

class MainWindowTest : public testing::Test {
 protected:
  QApplication* app_ = testing_support::TestApp();
  window_testing::WindowWorld world_;

  bool Exists(std::uint32_t id) { return world_.messages().Find(id) != nullptr; }
  std::string CountText() { return world_.window().panes().count_pane().text().toStdString(); }
};

TEST_F(MainWindowTest, DeleteAsksOnlyWhereItDeletesForGood) {
  struct Case {
    Folder folder;
    std::optional<DialogAnswer> answer;  // nullopt: no question expected
    bool kept;                           // still in the store
    Folder ends_in;
  };
  const Case cases[] = {
      {Folder::kInbox, std::nullopt, true, Folder::kTrash},
      {Folder::kJunkMail, std::nullopt, true, Folder::kTrash},
      {Folder::kTrash, DialogAnswer::kNo, true, Folder::kTrash},
      {Folder::kTrash, DialogAnswer::kYes, false, Folder::kTrash},
  };
  for (const Case& c : cases) {
    world_.dialogs().boxes.clear();
    store::MessageRecord* record = world_.FileInto(c.folder);
    const std::uint32_t id = record->id;
    const std::string path = world_.messages().MessageFilePath(*record);
    world_.SelectOnly(*record);
    if (c.answer) world_.dialogs().answers.push_back(*c.answer);
    world_.window().Run(Command::kDelete);

    const int folder = static_cast<int>(c.folder);
    if (c.answer) {
      ASSERT_EQ(world_.dialogs().boxes.size(), 1u) << folder;
      const auto& box = world_.dialogs().boxes[0];
      EXPECT_EQ(box.text, "Are you sure you want to permanently delete these message(s)?");
      EXPECT_EQ(box.caption, "Pelrion");
      EXPECT_EQ(box.buttons, platform::DialogButtons::kYesNo);
      EXPECT_EQ(box.icon, platform::DialogIcon::kWarning);
    } else {
      EXPECT_TRUE(world_.dialogs().boxes.empty()) << folder;
    }
    ASSERT_EQ(Exists(id), c.kept) << folder;
    EXPECT_EQ(std::filesystem::exists(path), c.kept) << folder;
    if (c.kept) {
      EXPECT_EQ(world_.messages().Find(id)->folder(), c.ends_in) << folder;
    }
  }
}

// Approve and Blacklist always change the lists; they move only what is not in their
// folder already.
TEST_F(MainWindowTest, ApproveAndBlacklistMoveOnlyFromOtherFolders) {
  struct Case {
    Command command;
    Folder folder;
    std::uint32_t list_bit;
    Folder ends_in;
  };
  const Case cases[] = {
      {Command::kApprove, Folder::kInbox, kTrusted, Folder::kInbox},
      {Command::kApprove, Folder::kJunkMail, kTrusted, Folder::kInbox},
      {Command::kBlacklist, Folder::kTrash, kBlacklisted, Folder::kTrash},
      {Command::kBlacklist, Folder::kInbox, kBlacklisted, Folder::kTrash},
  };
  store::AddressListTable& lists = *world_.stores().stores().address_lists;
  for (const Case& c : cases) {
    // Each case has a sender of its own, so the lists start without it.
    store::MessageRecord* record = world_.FileInto(
        c.folder, c.command == Command::kApprove ? "mailbox/trusted_dots.eml"
                                                 : "mailbox/unknown_attachment.eml");
    const std::string sender(record->summary.sender_address());
    ASSERT_FALSE(sender.empty());
    if (store::Contact* known = lists.FindByAddress(sender)) {
      store::Contact* const one[] = {known};
      lists.DeleteContacts(one);
    }
    world_.SelectOnly(*record);
    world_.window().Run(c.command);
    EXPECT_EQ(lists.LookupAddress(sender, kTrusted | kBlacklisted), c.list_bit)
        << static_cast<int>(c.folder);
    EXPECT_EQ(record->folder(), c.ends_in) << static_cast<int>(c.folder);
    EXPECT_TRUE(world_.dialogs().boxes.empty());
  }
}

// Open shows a copy with the mail viewer and marks the message read; damaged stored data or
// no viewer opens nothing and leaves the message unread.
TEST_F(MainWindowTest, OpenChecksTheDataAndNeedsAViewer) {
  struct Case {
    const char* name;
    bool damage;
    bool viewer;
    bool launch_succeeds;
    const char* box_start;  // nullptr: no box
    std::size_t launched;
    bool read;
  };
  const Case cases[] = {
      {"opens", false, true, true, nullptr, 1, true},
      {"damaged", true, true, true, "Data check failed: ", 0, false},
      {"no viewer", false, false, true, "There are no e-mail viewers registered", 0, false},
      {"viewer fails", false, true, false, "There are no e-mail viewers registered", 1, false},
  };
  for (const Case& c : cases) {
    world_.launched.clear();
    world_.dialogs().boxes.clear();
    world_.launch_succeeds = c.launch_succeeds;
    world_.eml_viewer.exec = c.viewer ? "mail-viewer %f" : "";
    world_.ReopenWindow();
    store::MessageRecord* record = world_.FileInto(Folder::kInbox);
    const std::string path = world_.messages().MessageFilePath(*record);
    if (c.damage) {
      std::ofstream(path, std::ios::binary | std::ios::in) << "X";
    }
    world_.SelectOnly(*record);
    world_.window().Run(Command::kOpen);

    if (c.box_start) {
      ASSERT_EQ(world_.dialogs().boxes.size(), 1u) << c.name;
      EXPECT_EQ(world_.dialogs().boxes[0].text.rfind(c.box_start, 0), 0u) << c.name;
      if (c.damage) {
        EXPECT_EQ(world_.dialogs().boxes[0].text, "Data check failed: " + path);
        EXPECT_EQ(world_.dialogs().boxes[0].caption, "Warning");
      }
    } else {
      EXPECT_TRUE(world_.dialogs().boxes.empty()) << c.name;
    }
    ASSERT_EQ(world_.launched.size(), c.launched) << c.name;
    if (c.launched > 0) {
      const std::string& copy = world_.launched[0];
      EXPECT_EQ(copy.rfind(world_.temp_folder() + "O", 0), 0u) << copy;
      EXPECT_TRUE(copy.ends_with(".eml")) << copy;
    }
    if (c.launch_succeeds && c.launched > 0) {
      std::ifstream original(path, std::ios::binary), shown(world_.launched[0], std::ios::binary);
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(original), {}),
                std::string(std::istreambuf_iterator<char>(shown), {}));
    }
    EXPECT_EQ(record->read(), c.read) << c.name;
  }
}

// The list follows the store: a message filed while the window is open appears at once, and
// the counts, the folder bar and the title follow the folder and the read flags.
TEST_F(MainWindowTest, FiledMessageAppearsAndTheCountsFollow) {
  MainWindow& window = world_.window();
  window.ShowFolder(Folder::kInbox);
  EXPECT_EQ(window.windowTitle().toStdString(), "Inbox - Pelrion");
  EXPECT_EQ(CountText(), "0 message(s), 0 unread");

  store::MessageRecord* first = world_.FileInto(Folder::kInbox);
  world_.FileInto(Folder::kInbox, "mailbox/trusted_quoted_printable.eml");
  world_.FileInto(Folder::kTrash);
  EXPECT_EQ(world_.stores().model().rowCount(), 2);
  EXPECT_EQ(CountText(), "2 message(s), 2 unread");
  EXPECT_EQ(window.folder_bar()->item(0)->text().toStdString(), "Inbox (2)");

  world_.SelectOnly(*first);
  window.Run(Command::kMarkRead);
  EXPECT_EQ(CountText(), "2 message(s), 1 unread");
  window.Run(Command::kMarkUnread);
  EXPECT_EQ(CountText(), "2 message(s), 2 unread");
  window.Run(Command::kMarkAllRead);
  EXPECT_EQ(CountText(), "2 message(s), 0 unread");
  EXPECT_EQ(window.folder_bar()->item(0)->text().toStdString(), "Inbox");

  window.ShowFolder(Folder::kTrash);
  EXPECT_EQ(window.windowTitle().toStdString(), "Trash - Pelrion");
  EXPECT_EQ(CountText(), "1 message(s), 1 unread");
  window.Run(Command::kEmptyTrash);
  EXPECT_EQ(CountText(), "0 message(s), 0 unread");
  EXPECT_FALSE(window.action(Command::kEmptyTrash)->isEnabled());
}

TEST_F(MainWindowTest, SelectionCommandsNeedASelection) {
  MainWindow& window = world_.window();
  store::MessageRecord* record = world_.FileInto(Folder::kInbox);
  window.ShowFolder(Folder::kInbox);
  window.list()->clearSelection();
  for (const Command command : kSelectionCommands) {
    EXPECT_FALSE(window.action(command)->isEnabled()) << static_cast<int>(command);
  }
  window.Run(Command::kDelete);
  window.Run(Command::kApprove);
  EXPECT_EQ(record->folder(), Folder::kInbox);
  window.Run(Command::kSelectAll);
  for (const Command command : kSelectionCommands) {
    EXPECT_TRUE(window.action(command)->isEnabled()) << static_cast<int>(command);
  }
}

TEST_F(MainWindowTest, MoveToFolderMovesToTheChosenFolderButNeverIntoQuarantine) {
  MainWindow& window = world_.window();
  store::MessageRecord* record = world_.FileInto(Folder::kInbox);
  struct Case {
    std::optional<Folder> chosen;  // nullopt: cancelled
    Folder ends_in;
    std::size_t boxes;
  };
  const Case cases[] = {{std::nullopt, Folder::kInbox, 0},
                        {Folder::kQuarantine, Folder::kInbox, 1},
                        {Folder::kJunkMail, Folder::kJunkMail, 1},
                        {Folder::kTrash, Folder::kTrash, 1}};
  for (const Case& c : cases) {
    world_.SelectOnly(*record);
    std::optional<Folder> offered_from;
    window.choose_folder = [&](Folder current) {
      offered_from = current;
      return c.chosen;
    };
    const Folder before = record->folder();
    window.Run(Command::kMoveToFolder);
    EXPECT_EQ(offered_from, before);
    EXPECT_EQ(record->folder(), c.ends_in);
    EXPECT_EQ(world_.dialogs().boxes.size(), c.boxes);
  }
}

TEST_F(MainWindowTest, WorkOfflineFlipsThePaneTheTrayAndTheCheckMark) {
  MainWindow& window = world_.window();
  for (const bool offline : {true, false, true}) {
    window.Run(Command::kWorkOffline);
    EXPECT_EQ(world_.cycle().offline(), offline);
    EXPECT_EQ(window.panes().offline_pane().text().toStdString(), offline ? "Working Offline" : "");
    EXPECT_EQ(window.tray().icon().toolTip().toStdString(),
              offline ? "Pelrion - Working Offline" : "Pelrion");
    EXPECT_EQ(window.action(Command::kWorkOffline)->isChecked(), offline);
  }
  // The switch is kept for the next run, whose window shows it from the start.
  world_.ReopenWindow();
  EXPECT_TRUE(world_.window().action(Command::kWorkOffline)->isChecked());
  EXPECT_EQ(world_.window().tray().icon().toolTip().toStdString(), "Pelrion - Working Offline");
}

TEST_F(MainWindowTest, NetworkErrorsShowOnTheTrayAndAreReadOnce) {
  MainWindow& window = world_.window();
  world_.cycle().AddNetworkError(
      cycle::MailServerKey(world_.account(), transport::MailProtocol::kPop3),
      "Incoming mail (POP3) server 'pop.example.org': Connection refused (10061).");
  EXPECT_EQ(window.tray().icon().toolTip().toStdString(),
            "A network error has occured. Please, double-click the icon.");
  EXPECT_FALSE(window.panes().error_pane().pixmap().isNull());

  std::string shown;
  window.run_dialog = [&shown](QDialog& dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) shown = box->text().toStdString();
    return static_cast<int>(QDialog::Accepted);
  };
  window.OnTrayActivated();
  EXPECT_NE(shown.find("   Incoming mail (POP3) server 'pop.example.org': Connection refused"),
            std::string::npos)
      << shown;
  EXPECT_EQ(window.tray().icon().toolTip().toStdString(), "Pelrion");
  EXPECT_TRUE(window.panes().error_pane().pixmap().isNull());
  // Nothing left to read: the activation shows the window instead.
  shown.clear();
  window.OnTrayActivated();
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(window.isVisible());

  // The error pane's double click reads them too.
  world_.cycle().AddNetworkError(
      cycle::MailServerKey(world_.account(), transport::MailProtocol::kSmtp),
      "Outgoing mail (SMTP) server 'smtp.example.org': refused.");
  QApplication::processEvents();
  auto& pane = const_cast<QLabel&>(window.panes().error_pane());
  const QPointF middle(pane.width() / 2.0, pane.height() / 2.0);
  QMouseEvent double_click(QEvent::MouseButtonDblClick, middle, pane.mapToGlobal(middle),
                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&pane, &double_click);
  EXPECT_NE(shown.find("smtp.example.org"), std::string::npos) << shown;
  EXPECT_TRUE(world_.cycle().errors().empty());
}

// A report of a refused certificate asks, after the errors were read, whether to trust it
// for that server; only Yes pins it, on the listener of the account's server it was about.
TEST_F(MainWindowTest, ARefusedCertificateIsOfferedForPinningAfterTheErrorsAreRead) {
  struct Case {
    const char* name;
    transport::MailProtocol protocol;
    DialogAnswer answer;
    bool pin_succeeds;
    bool pinned;
  };
  const Case cases[] = {
      {"POP3, yes", transport::MailProtocol::kPop3, DialogAnswer::kYes, true, true},
      {"SMTP, yes", transport::MailProtocol::kSmtp, DialogAnswer::kYes, true, true},
      {"no", transport::MailProtocol::kPop3, DialogAnswer::kNo, true, false},
      {"yes, not stored", transport::MailProtocol::kPop3, DialogAnswer::kYes, false, true},
  };
  const std::string fingerprint = "AB:CD:EF";
  const auto account = world_.stores().stores().accounts->CopyOf(world_.account());
  ASSERT_TRUE(account.has_value());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::pair<std::uint32_t, std::string>> pins;
    world_.pin_certificate = [&](std::uint32_t listener_id, const std::string& pinned) {
      pins.emplace_back(listener_id, pinned);
      return c.pin_succeeds;
    };
    world_.ReopenWindow();
    MainWindow& window = world_.window();
    window.run_dialog = [](QDialog&) { return static_cast<int>(QDialog::Accepted); };
    world_.dialogs().boxes.clear();
    world_.dialogs().answers = {c.answer};
    // A plain failure of the other server asks nothing.
    const auto other = c.protocol == transport::MailProtocol::kPop3
                           ? transport::MailProtocol::kSmtp
                           : transport::MailProtocol::kPop3;
    world_.cycle().AddNetworkError(cycle::MailServerKey(world_.account(), other), "refused.");
    world_.cycle().AddNetworkError(cycle::MailServerKey(world_.account(), c.protocol),
                                   "certificate could not be verified.", fingerprint);

    window.ShowNetworkErrors();

    ASSERT_FALSE(world_.dialogs().boxes.empty());
    const testing_support::ShownBox& question = world_.dialogs().boxes[0];
    const bool pop3 = c.protocol == transport::MailProtocol::kPop3;
    EXPECT_NE(question.text.find(pop3 ? "server 'pop.example.org'" : "server 'smtp.example.org'"),
              std::string::npos)
        << question.text;
    EXPECT_NE(question.text.find(fingerprint), std::string::npos);
    EXPECT_EQ(question.buttons, platform::DialogButtons::kYesNoDefaultNo);
    const std::uint32_t listener = pop3 ? account->pop3_listener_id : account->smtp_listener_id;
    using Pins = std::vector<std::pair<std::uint32_t, std::string>>;
    const Pins want = c.pinned ? Pins{{listener, fingerprint}} : Pins{};
    EXPECT_EQ(pins, want);
    // A pin that could not be stored is said so; otherwise nothing follows the question.
    ASSERT_EQ(world_.dialogs().boxes.size(), c.pin_succeeds ? 1u : 2u);
    if (!c.pin_succeeds) {
      EXPECT_EQ(world_.dialogs().boxes[1].icon, platform::DialogIcon::kStop);
    }
    EXPECT_TRUE(world_.cycle().errors().empty());
  }
}

TEST_F(MainWindowTest, ProxyPaneStepsWhileAMailClientIsServed) {
  MainWindow& window = world_.window();
  std::string state = "Mail Proxy: Listening...";
  window.Detach();
  // A window attached with a proxy whose state the test sets.
  window.Attach({.messages = &world_.messages(),
                 .accounts = world_.stores().stores().accounts.get(),
                 .address_lists = world_.stores().stores().address_lists.get(),
                 .cycle = &world_.cycle(),
                 .proxy_state = [&state] { return state; },
                 .active_connections = {},
                 .temp_folder = world_.temp_folder(),
                 .eml_viewer = {},
                 .launch = {},
                 .desktop = {},
                 .windows = {},
                 .pin_certificate = {}});
  ASSERT_EQ(world_.main_thread().TimerPeriod(kProxyPaneTimer), kProxyPaneMs);
  world_.main_thread().FireTimer(kProxyPaneTimer);
  EXPECT_EQ(window.panes().proxy_pane().toolTip().toStdString(), "Mail Proxy: Listening...");
  const qint64 listening = window.panes().proxy_pane().pixmap().cacheKey();

  state = "Mail Proxy: Serving Mail Client...";
  std::vector<QImage> steps;
  for (int update = 0; update < 8; ++update) {
    world_.main_thread().FireTimer(kProxyPaneTimer);
    EXPECT_EQ(window.panes().proxy_pane().toolTip().toStdString(), state);
    steps.push_back(window.panes().proxy_pane().pixmap().toImage());
  }
  // One step every second update, four different pictures, then round again.
  EXPECT_EQ(steps[1], steps[2]);
  EXPECT_NE(steps[0], steps[1]);
  EXPECT_NE(steps[2], steps[4]);
  EXPECT_NE(steps[4], steps[6]);
  EXPECT_NE(steps[0], steps[6]);
  EXPECT_EQ(steps[0], steps[7]);
  EXPECT_NE(window.panes().proxy_pane().pixmap().cacheKey(), listening);

  state = "Mail Proxy: Down";
  world_.main_thread().FireTimer(kProxyPaneTimer);
  EXPECT_EQ(window.panes().proxy_pane().toolTip().toStdString(), "Mail Proxy: Down");
}

}  // namespace
}  // namespace pelrion::ui

namespace pelrion::ui {
namespace {

// Properties opens the sheet of what has focus: the folder bar's folder, or the selected
// message.
TEST(MainWindowPropertiesTest, OpensTheSheetOfWhatHasFocus) {
  testing_support::TestApp();
  window_testing::WindowWorld world;
  MainWindow& window = world.window();
  store::MessageRecord* record = world.FileInto(store::Folder::kJunkMail);
  world.SelectOnly(*record);
  window.show();
  std::vector<std::string> titles;
  window.run_dialog = [&titles](QDialog& dialog) {
    titles.push_back(dialog.windowTitle().toStdString());
    return static_cast<int>(QDialog::Rejected);
  };
  window.list()->setFocus();
  QApplication::processEvents();
  window.Run(Command::kProperties);
  window.folder_bar()->setFocus();
  QApplication::processEvents();
  window.Run(Command::kProperties);
  window.Run(Command::kFolderProperties);
  ASSERT_EQ(titles.size(), 3u);
  EXPECT_EQ(titles[0], std::string(record->summary.subject_decoded()));
  EXPECT_EQ(titles[1], "Junk Mail Properties");
  EXPECT_EQ(titles[2], "Junk Mail Properties");
}

}  // namespace
}  // namespace pelrion::ui
