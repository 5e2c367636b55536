#include "ui/open_with_dialog.h"

#include <gtest/gtest.h>

#include <QListWidgetItem>
#include <string>
#include <vector>

#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

std::vector<platform::DesktopApplication> TwoApplications() {
  return {{"Image Viewer", {"viewer %f", "/apps/viewer.desktop"}},
          {"Paint", {"paint --open %U", "/apps/paint.desktop"}}};
}

QString NoProgram(QWidget*) { return {}; }

TEST(OpenWithDialogTest, OffersTheApplicationsWithTheDefaultSelected) {
  testing_support::TestApp();
  OpenWithDialog dialog("photo.gif", TwoApplications(), NoProgram);
  ASSERT_EQ(dialog.list().count(), 2);
  EXPECT_EQ(dialog.list().item(0)->text(), "Image Viewer");
  EXPECT_EQ(dialog.list().item(1)->text(), "Paint");
  EXPECT_EQ(dialog.list().currentRow(), 0);
  EXPECT_TRUE(dialog.open_button().isEnabled());
  EXPECT_TRUE(testing_support::SaveScreenshot(dialog, "open_with_dialog"));

  // Nothing is chosen before the dialog is accepted.
  dialog.list().setCurrentRow(1);
  EXPECT_FALSE(dialog.Chosen().has_value());
  dialog.open_button().click();
  ASSERT_TRUE(dialog.Chosen().has_value());
  EXPECT_EQ(dialog.Chosen()->application.desktop_file, "/apps/paint.desktop");
  EXPECT_EQ(dialog.Chosen()->program, "");
}

TEST(OpenWithDialogTest, OtherProgramChoosesAProgramFileOrStaysOpenWhenCancelled) {
  testing_support::TestApp();
  QString picked;
  OpenWithDialog dialog("notes.xyz", {}, [&picked](QWidget*) { return picked; });
  // No application for the type: only another program can open it.
  EXPECT_EQ(dialog.list().count(), 0);
  EXPECT_FALSE(dialog.open_button().isEnabled());

  dialog.show();
  dialog.other_button().click();  // cancelled
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_FALSE(dialog.Chosen().has_value());

  picked = "/usr/bin/editor";
  dialog.other_button().click();
  EXPECT_FALSE(dialog.isVisible());
  ASSERT_TRUE(dialog.Chosen().has_value());
  EXPECT_TRUE(dialog.Chosen()->application.empty());
  EXPECT_EQ(dialog.Chosen()->program, "/usr/bin/editor");
}

TEST(OpenWithDialogTest, CancelChoosesNothing) {
  testing_support::TestApp();
  OpenWithDialog dialog("photo.gif", TwoApplications(), NoProgram);
  dialog.reject();
  EXPECT_FALSE(dialog.Chosen().has_value());
}

TEST(LaunchChoiceThreadTest, NothingToStartIsAFailure) {
  EXPECT_FALSE(LaunchChoice({}, "/tmp/x.txt"));
  EXPECT_FALSE(LaunchChoice({{}, "/nonexistent/program"}, "/tmp/x.txt"));
  EXPECT_FALSE(LaunchChoice({{"/nonexistent/viewer %f", "v.desktop"}, ""}, "/tmp/x.txt"));
}

}  // namespace
}  // namespace pelrion::ui
