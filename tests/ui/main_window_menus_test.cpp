// The main window's vocabulary: every menu, context menu and toolbar button with its label,
// access key and order, the entries that wait for their windows, and the Check Mail
// drop-down.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <string>
#include <vector>

#include "ui/main_window_test_helpers.h"
#include "ui/transfer_status_window.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using Labels = std::vector<std::string>;

// The entries of a menu in order, separators left out; a submenu shows as its title.
Labels EntriesOf(const QMenu& menu) {
  Labels labels;
  for (const QAction* entry : menu.actions()) {
    if (!entry->isSeparator()) labels.push_back(entry->text().toStdString());
  }
  return labels;
}

const QMenu* SubmenuNamed(const QMenu& menu, const std::string& title) {
  for (const QAction* entry : menu.actions()) {
    if (entry->menu() && entry->text().toStdString() == title) return entry->menu();
  }
  return nullptr;
}

const QAction* EntryNamed(const QMenu& menu, const std::string& label) {
  for (const QAction* entry : menu.actions()) {
    if (entry->text().toStdString() == label) return entry;
  }
  return nullptr;
}

const Labels kSortBy = {
    "Status", "Attachment", "Request Sent", "From", "Subject",         "Received",
    "Size",   "Account",    "Sent",         "To",   "Sort &Ascending", "Sort &Descending"};

class MainWindowMenusTest : public testing::Test {
 protected:
  QApplication* app_ = testing_support::TestApp();
  window_testing::WindowWorld world_;

  const QMenu* MainMenu(const std::string& title) {
    for (const QAction* entry : world_.window().menuBar()->actions()) {
      if (entry->text().toStdString() == title) return entry->menu();
    }
    return nullptr;
  }
};

TEST_F(MainWindowMenusTest, MainMenusCarryTheirEntriesInOrder) {
  struct Case {
    std::string title;
    Labels entries;
  };
  const Case cases[] = {
      {"&File",
       {"&Open", "&Import Addresses", "&Add Mail Account...", "P&roperties", "&Work Offline",
        "&Close"}},
      {"&Edit",
       {"Select &All", "&Move to Folder...", "&Delete", "Empt&y 'Trash' Folder", "Mar&k as Read",
        "Mark as U&nread", "Mark All R&ead"}},
      {"&View", {"&Folders Bar", "Folder &Caption", "&Status Bar", "Sort &By"}},
      {"&Tools",
       {"Chec&k Mail", "&Address Lists...", "Appro&ve", "&Blacklist Sender", "Trusted &Domains...",
        "A&ccounts...", "&Listeners...", "&Options..."}},
      {"&Help", {"&Contents", "&About Pelrion..."}},
  };
  Labels titles;
  for (const QAction* entry : world_.window().menuBar()->actions()) {
    titles.push_back(entry->text().toStdString());
  }
  EXPECT_EQ(titles, (Labels{"&File", "&Edit", "&View", "&Tools", "&Help"}));
  for (const Case& c : cases) {
    const QMenu* menu = MainMenu(c.title);
    ASSERT_NE(menu, nullptr) << c.title;
    EXPECT_EQ(EntriesOf(*menu), c.entries) << c.title;
  }
  const QMenu* sort = SubmenuNamed(*MainMenu("&View"), "Sort &By");
  ASSERT_NE(sort, nullptr);
  EXPECT_EQ(EntriesOf(*sort), kSortBy);
  EXPECT_EQ(EntryNamed(*MainMenu("&File"), "&Close")->statusTip().toStdString(),
            "Minimize to tray");
}

TEST_F(MainWindowMenusTest, ContextMenusCarryTheirEntriesInOrder) {
  MainWindow& window = world_.window();
  struct Case {
    const char* name;
    const QMenu* menu;
    Labels entries;
  };
  const Case cases[] = {
      {"message",
       window.message_menu(),
       {"&Open", "&Approve", "&Blacklist Sender", "&Move to Folder...", "&Delete",
        "Mark as U&nread", "Mar&k as Read", "P&roperties"}},
      {"list background", window.background_menu(), {"Sort &By", "Select &All"}},
      {"folder", window.folder_menu(), {"&Open Folder", "&Empt&y 'Trash' Folder", "P&roperties"}},
      {"folder bar", window.folder_bar_menu(), {"&Hide Folders Bar"}},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.menu, nullptr) << c.name;
    EXPECT_EQ(EntriesOf(*c.menu), c.entries) << c.name;
  }
  const QMenu* sort = SubmenuNamed(*window.background_menu(), "Sort &By");
  ASSERT_NE(sort, nullptr);
  EXPECT_EQ(EntriesOf(*sort), kSortBy);
}

TEST_F(MainWindowMenusTest, ToolbarButtonsInOrderWithTheirDropDowns) {
  Labels texts;
  std::vector<bool> drop_downs;
  for (QAction* entry : world_.window().toolbar()->actions()) {
    if (entry->isSeparator()) continue;
    auto* button = qobject_cast<QToolButton*>(world_.window().toolbar()->widgetForAction(entry));
    ASSERT_NE(button, nullptr);
    texts.push_back(button->text().toStdString());
    drop_downs.push_back(button->popupMode() == QToolButton::MenuButtonPopup &&
                         button->menu() != nullptr);
    EXPECT_FALSE(button->icon().isNull()) << button->text().toStdString();
  }
  EXPECT_EQ(texts, (Labels{"Folders", "Check Mail", "Move To", "Delete", "Mark Read", "Properties",
                           "Approve", "Blacklist", "Addresses", ""}));
  EXPECT_EQ(drop_downs, (std::vector<bool>{true, true, false, false, false, false, false, false,
                                           false, false}));
}

// The entries of windows the program did not supply are reachable by their labels but
// disabled; the window's own commands are not.
TEST_F(MainWindowMenusTest, EntriesWithoutTheirWindowsAreDisabled) {
  struct Case {
    const char* menu;
    const char* label;
    bool enabled;
  };
  const Case cases[] = {
      {"&File", "&Import Addresses", false},  {"&File", "&Add Mail Account...", false},
      {"&Tools", "&Address Lists...", false}, {"&Tools", "Trusted &Domains...", false},
      {"&Tools", "A&ccounts...", false},      {"&Tools", "&Listeners...", false},
      {"&Tools", "&Options...", false},       {"&Help", "&Contents", false},
      {"&File", "&Work Offline", true},       {"&File", "&Close", true},
      {"&Tools", "Chec&k Mail", true},        {"&Help", "&About Pelrion...", true},
  };
  for (const Case& c : cases) {
    const QAction* entry = EntryNamed(*MainMenu(c.menu), c.label);
    ASSERT_NE(entry, nullptr) << c.label;
    EXPECT_EQ(entry->isEnabled(), c.enabled) << c.label;
  }
  for (QAction* entry : world_.window().toolbar()->actions()) {
    auto* button = qobject_cast<QToolButton*>(world_.window().toolbar()->widgetForAction(entry));
    if (button && button->text() == "Addresses") {
      EXPECT_FALSE(button->isEnabled());
    }
  }
}

// Each settings entry opens the window the program supplied for its command, from the menu
// and from the toolbar's Addresses button; Help stays disabled while nobody supplies it.
TEST_F(MainWindowMenusTest, SettingsEntriesOpenTheWindowsTheProgramSupplies) {
  struct Case {
    const char* menu;
    const char* label;
    Command command;
  };
  const Case cases[] = {
      {"&File", "&Import Addresses", Command::kImportAddresses},
      {"&File", "&Add Mail Account...", Command::kAddMailAccount},
      {"&Tools", "&Address Lists...", Command::kAddressLists},
      {"&Tools", "Trusted &Domains...", Command::kTrustedDomains},
      {"&Tools", "A&ccounts...", Command::kAccounts},
      {"&Tools", "&Listeners...", Command::kListeners},
      {"&Tools", "&Options...", Command::kOptions},
  };
  std::vector<Command> opened;
  for (const Case& c : cases) {
    world_.windows[c.command] = [&opened, command = c.command] { opened.push_back(command); };
  }
  world_.ReopenWindow();

  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const QAction* entry = EntryNamed(*MainMenu(c.menu), c.label);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isEnabled());
    opened.clear();
    const_cast<QAction*>(entry)->trigger();
    EXPECT_EQ(opened, std::vector<Command>{c.command});
  }
  EXPECT_FALSE(EntryNamed(*MainMenu("&Help"), "&Contents")->isEnabled());
  for (QAction* entry : world_.window().toolbar()->actions()) {
    auto* button = qobject_cast<QToolButton*>(world_.window().toolbar()->widgetForAction(entry));
    if (button == nullptr || button->text() != "Addresses") continue;
    EXPECT_TRUE(button->isEnabled());
    opened.clear();
    button->click();
    EXPECT_EQ(opened, std::vector<Command>{Command::kAddressLists});
  }
}

// Receive All, then one entry per account up to sixteen; an entry checks only its account,
// included or not.
TEST_F(MainWindowMenusTest, CheckMailDropDownListsUpToSixteenAccounts) {
  std::vector<std::uint32_t> ids = {world_.account()};
  for (int i = 1; i < 18; ++i)
    ids.push_back(world_.stores().AddAccount("Account " + std::to_string(i)));
  QMenu* menu = world_.window().check_mail_menu();
  emit menu->aboutToShow();
  const Labels entries = EntriesOf(*menu);
  ASSERT_EQ(entries.size(), 17u);
  EXPECT_EQ(entries[0], "Receive All");
  EXPECT_EQ(entries[1], "Home");
  EXPECT_EQ(entries[16], "Account 15");

  const QAction* third = nullptr;
  for (const QAction* entry : menu->actions()) {
    if (entry->text() == "Account 2") third = entry;
  }
  ASSERT_NE(third, nullptr);
  const_cast<QAction*>(third)->trigger();
  ASSERT_EQ(world_.workers().checks.size(), 1u);
  EXPECT_EQ(world_.workers().checks[0], (std::vector<std::uint32_t>{ids[2]}));
  EXPECT_TRUE(world_.window().transfer_window().isVisible());

  // Receive All checks the included accounts only.
  world_.workers().FinishCheck();
  world_.workers().included = {ids[0], ids[5]};
  menu->actions()[0]->trigger();
  ASSERT_EQ(world_.workers().checks.size(), 2u);
  EXPECT_EQ(world_.workers().checks[1], (std::vector<std::uint32_t>{ids[0], ids[5]}));

  // Offline, Check Mail first asks to go online; No starts nothing and opens no window.
  world_.workers().FinishCheck();
  world_.window().transfer_window().hide();
  world_.cycle().SetOffline(true);
  world_.dialogs().answers.push_back(platform::DialogAnswer::kNo);
  world_.window().Run(Command::kCheckMail);
  EXPECT_EQ(world_.workers().checks.size(), 2u);
  EXPECT_FALSE(world_.window().transfer_window().isVisible());
  ASSERT_FALSE(world_.dialogs().boxes.empty());
  EXPECT_EQ(world_.dialogs().boxes.back().text, cycle::kGoOnlineQuestion);
}

}  // namespace
}  // namespace pelrion::ui
