// The main window's status bar panes and the transfer status window.
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QStatusBar>
#include <string>
#include <vector>

#include "cycle/network_errors.h"
#include "ui/move_to_folder_dialog.h"
#include "ui/status_panes.h"
#include "ui/transfer_status_window.h"
#include "ui/tray_icon.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using testing_support::SaveScreenshot;
using testing_support::TestApp;

class StatusPanesTest : public ::testing::Test {
 protected:
  QApplication* app_ = TestApp();  // before any widget member
  QMainWindow window_;
  StatusPanes panes_{*window_.statusBar()};
};

TEST_F(StatusPanesTest, CountTextFollowsTheCounts) {
  struct Case {
    int total, unread;
    const char* text;
  };
  const Case cases[] = {{0, 0, "0 message(s), 0 unread"},
                        {1, 1, "1 message(s), 1 unread"},
                        {1234, 7, "1234 message(s), 7 unread"}};
  for (const Case& c : cases) {
    panes_.SetCounts(c.total, c.unread);
    EXPECT_EQ(panes_.count_pane().text().toStdString(), c.text) << c.total;
  }
}

TEST_F(StatusPanesTest, OfflineAndErrorPanesFlipBothWays) {
  panes_.SetOffline(true);
  EXPECT_EQ(panes_.offline_pane().text().toStdString(), "Working Offline");
  panes_.SetOffline(false);
  EXPECT_TRUE(panes_.offline_pane().text().isEmpty());

  panes_.SetNetworkErrors(true);
  EXPECT_FALSE(panes_.error_pane().pixmap().isNull());
  panes_.SetNetworkErrors(false);
  EXPECT_TRUE(panes_.error_pane().pixmap().isNull());
}

TEST_F(StatusPanesTest, ActivityPaneIsFixedWidthAndShowsTheText) {
  panes_.SetActivity("Checking mail");
  EXPECT_EQ(panes_.activity_pane().text().toStdString(), "Checking mail");
  EXPECT_EQ(panes_.activity_pane().width(), StatusPanes::kActivityWidth);
  panes_.SetActivity("");
  EXPECT_TRUE(panes_.activity_pane().text().isEmpty());
}

TEST(TransferStatusWindowTest, ShowsTheStatusAndStopFollowsBusy) {
  TestApp();
  int stops = 0;
  TransferStatusWindow window([&stops] { ++stops; });
  EXPECT_EQ(window.windowTitle().toStdString(), "Pelrion");

  struct Case {
    transport::StatusRecord status;
    int shown_percent;
  };
  const Case cases[] = {{{"Checking account 'Home'", "Receiving message 3 of 10", 30, true}, 30},
                        {{"Done", "", 100, false}, 100},
                        {{"Odd", "worker sent too much", 250, true}, 100},
                        {{"Odd", "worker sent too little", -5, true}, 0}};
  for (const Case& c : cases) {
    window.Show(c.status);
    EXPECT_EQ(window.main_text().text().toStdString(), c.status.main_text);
    EXPECT_EQ(window.sub_text().text().toStdString(), c.status.sub_text);
    EXPECT_EQ(window.progress().value(), c.shown_percent) << c.status.percent;
    EXPECT_EQ(window.stop_button().isEnabled(), c.status.busy) << c.status.main_text;
  }

  window.Show({"Checking account 'Home'", "Receiving message 3 of 10", 30, true});
  window.stop_button().click();
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(SaveScreenshot(window, "transfer_status_mid_check"));
}

}  // namespace
}  // namespace pelrion::ui

namespace pelrion::ui {
namespace {

TEST(TrayIconTest, TooltipAndIconFollowTheIndicators) {
  testing_support::TestApp();
  int opens = 0, exits = 0;
  TrayIcon tray([&opens] { ++opens; }, [&exits] { ++exits; });
  struct Case {
    bool errors, offline;
  };
  const Case cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  std::vector<qint64> forms;
  for (const Case& c : cases) {
    tray.Update(c.errors, c.offline);
    EXPECT_EQ(tray.icon().toolTip().toStdString(),
              std::string(cycle::TrayTooltip(c.errors, c.offline)));
    forms.push_back(tray.icon().icon().cacheKey());
  }
  // Three distinct forms; offline with errors looks like offline.
  EXPECT_NE(forms[0], forms[1]);
  EXPECT_NE(forms[0], forms[2]);
  EXPECT_NE(forms[1], forms[2]);

  ASSERT_EQ(tray.menu().actions().size(), 2);
  EXPECT_EQ(tray.menu().actions()[0]->text().toStdString(), "Open");
  EXPECT_EQ(tray.menu().actions()[1]->text().toStdString(), "Exit");
  tray.menu().actions()[0]->trigger();
  tray.menu().actions()[1]->trigger();
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(exits, 1);
}

}  // namespace
}  // namespace pelrion::ui

namespace pelrion::ui {
namespace {

TEST(MoveToFolderDialogTest, MoveOnlyToAnotherFolderAndOnlyWhenAccepted) {
  testing_support::TestApp();
  for (int from = 0; from < store::kFolderCount; ++from) {
    MoveToFolderDialog dialog(static_cast<store::Folder>(from));
    EXPECT_FALSE(dialog.move_button().isEnabled()) << from;
    const int to = (from + 1) % store::kFolderCount;
    dialog.folders().setCurrentRow(to);
    EXPECT_TRUE(dialog.move_button().isEnabled()) << from;
    EXPECT_FALSE(dialog.Chosen().has_value());
    dialog.move_button().click();
    ASSERT_TRUE(dialog.Chosen().has_value());
    EXPECT_EQ(static_cast<int>(*dialog.Chosen()), to);
  }
}

}  // namespace
}  // namespace pelrion::ui
