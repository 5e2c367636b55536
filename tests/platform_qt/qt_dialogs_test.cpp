#include "platform/qt/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QPushButton>
#include <QLabel>
#include <QMessageBox>
#include <QSplashScreen>
#include <QTimer>

#include <cstdlib>

#include "qt_test_app.h"

namespace pelrion::platform {
namespace {

using testing_support::TestApp;

// Runs fn on the next modal widget once it is shown.
void OnNextModal(std::function<void(QWidget*)> fn) {
  auto* timer = new QTimer;
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, [timer, fn] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      fn(modal);
    }
  });
  timer->start();
}

struct BoxCase {
  const char* name;
  DialogIcon icon;
  DialogButtons buttons;
  QMessageBox::Icon want_icon;
  QMessageBox::StandardButton click;  // NoButton: close the box without a button
  DialogAnswer want;
  QMessageBox::StandardButton want_default;  // what Enter would press
};

const BoxCase kBoxes[] = {
    {"StopOk", DialogIcon::kStop, DialogButtons::kOk, QMessageBox::Critical, QMessageBox::Ok,
     DialogAnswer::kOk, QMessageBox::Ok},
    {"WarningOkCancel", DialogIcon::kWarning, DialogButtons::kOkCancel, QMessageBox::Warning,
     QMessageBox::Cancel, DialogAnswer::kCancel, QMessageBox::Ok},
    {"QuestionYes", DialogIcon::kQuestion, DialogButtons::kYesNo, QMessageBox::Question,
     QMessageBox::Yes, DialogAnswer::kYes, QMessageBox::Yes},
    {"QuestionYesWhereNoIsTheDefault", DialogIcon::kQuestion, DialogButtons::kYesNoDefaultNo,
     QMessageBox::Question, QMessageBox::Yes, DialogAnswer::kYes, QMessageBox::No},
    {"InformationNo", DialogIcon::kInformation, DialogButtons::kYesNoCancel,
     QMessageBox::Information, QMessageBox::No, DialogAnswer::kNo, QMessageBox::Yes},
    {"PlainClosedYesNo", DialogIcon::kNone, DialogButtons::kYesNo, QMessageBox::NoIcon,
     QMessageBox::NoButton, DialogAnswer::kNo, QMessageBox::Yes},
    {"PlainClosedDefaultNo", DialogIcon::kNone, DialogButtons::kYesNoDefaultNo,
     QMessageBox::NoIcon, QMessageBox::NoButton, DialogAnswer::kNo, QMessageBox::No},
    {"PlainClosedOkCancel", DialogIcon::kNone, DialogButtons::kOkCancel, QMessageBox::NoIcon,
     QMessageBox::NoButton, DialogAnswer::kCancel, QMessageBox::Ok},
};

class QtDialogsBoxTest : public testing::TestWithParam<BoxCase> {};

TEST_P(QtDialogsBoxTest, ShowsTheBoxAndMapsTheAnswer) {
  TestApp();
  QtDialogs dialogs;
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool default_as_wanted = false;
  const BoxCase row = GetParam();
  OnNextModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      modal->close();
      return;
    }
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    default_as_wanted = box->defaultButton() == box->button(row.want_default);
    if (row.click == QMessageBox::NoButton) {
      box->done(-1);
    } else {
      box->button(row.click)->click();
    }
  });
  const DialogAnswer answer =
      dialogs.MessageBox("Failed to locate database.", "Pelrion", row.icon, row.buttons);
  EXPECT_EQ(answer, row.want);
  EXPECT_EQ(title, "Pelrion");
  EXPECT_EQ(text, "Failed to locate database.");
  EXPECT_EQ(icon, row.want_icon);
  EXPECT_TRUE(default_as_wanted);
}

INSTANTIATE_TEST_SUITE_P(Boxes, QtDialogsBoxTest, testing::ValuesIn(kBoxes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QtDialogsTest, CancelledChooserGivesNothing) {
  TestApp();
  QtDialogs dialogs;
  QString title;
  OnNextModal([&](QWidget* modal) {
    title = modal->windowTitle();
    if (auto* chooser = qobject_cast<QFileDialog*>(modal)) chooser->reject();
    else modal->close();
  });
  EXPECT_EQ(dialogs.ChooseFolder("Locate Database Folder:"), std::nullopt);
  EXPECT_EQ(title, "Locate Database Folder:");
}

QLabel* VisibleLabelWith(const QString& text) {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* label = qobject_cast<QLabel*>(widget);
    if (label != nullptr && label->isVisible() && label->text() == text) return label;
  }
  return nullptr;
}

TEST(QtDialogsTest, StatusWindowShowsOneLineAndClosesOnEmptyText) {
  TestApp();
  QtDialogs dialogs;
  dialogs.ShowStatus("Emptying the Trash folder...");
  EXPECT_NE(VisibleLabelWith("Emptying the Trash folder..."), nullptr);
  dialogs.ShowStatus("Pelrion is shutting down...");
  EXPECT_EQ(VisibleLabelWith("Emptying the Trash folder..."), nullptr);
  EXPECT_NE(VisibleLabelWith("Pelrion is shutting down..."), nullptr);
  dialogs.ShowStatus("");
  EXPECT_EQ(VisibleLabelWith("Pelrion is shutting down..."), nullptr);
}

QSplashScreen* VisibleSplash() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* splash = qobject_cast<QSplashScreen*>(widget);
    if (splash != nullptr && splash->isVisible()) return splash;
  }
  return nullptr;
}

TEST(QtDialogsTest, StartupStagesShowOnTheSplashUntilEmptyText) {
  TestApp();
  QtDialogs dialogs;
  dialogs.ShowStartupStage("Initializing directories...");
  dialogs.ShowStartupStage("Loading settings...");
  QSplashScreen* splash = VisibleSplash();
  ASSERT_NE(splash, nullptr);
  EXPECT_EQ(splash->message(), "Loading settings...");
  dialogs.ShowStartupStage("");
  EXPECT_EQ(VisibleSplash(), nullptr);
}

// Headless mode has only a QCoreApplication: the dialogs fall back to standard error and
// the default answers. Runs in a fresh process, which cannot hold a QApplication.
[[noreturn]] void RunWithCoreApplicationOnly() {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "core";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  QtDialogs dialogs;
  dialogs.ShowStartupStage("Loading settings...");
  const bool ok = dialogs.MessageBox("Windows sockets initialization failed.", "Pelrion",
                                     DialogIcon::kStop, DialogButtons::kYesNo) == DialogAnswer::kNo &&
                  !dialogs.ChooseFolder("Locate Database Folder:").has_value();
  std::exit(ok ? 7 : 1);
}

TEST(QtDialogsDeathTest, WithoutWidgetsFallsBackToHeadless) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RunWithCoreApplicationOnly(), testing::ExitedWithCode(7),
              "Loading settings\\.\\.\\.(.|\n)*Windows sockets initialization failed\\.");
}

}  // namespace
}  // namespace pelrion::platform
