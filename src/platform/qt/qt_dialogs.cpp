#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QColor>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMetaObject>
#include <QPixmap>
#include <QSplashScreen>
#include <QThread>

namespace pelrion::platform {
namespace {

constexpr int kSplashWidth = 400;
constexpr int kSplashHeight = 247;

bool HasWidgets() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

QString Text(std::string_view text) {
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

// Widgets exist only on the main thread; a worker's request waits for it there.
template <typename F>
void OnGuiThread(F&& fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (QThread::currentThread() == app->thread()) {
    fn();
  } else {
    QMetaObject::invokeMethod(app, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
  }
}

QMessageBox::Icon IconOf(DialogIcon icon) {
  switch (icon) {
    case DialogIcon::kNone: return QMessageBox::NoIcon;
    case DialogIcon::kStop: return QMessageBox::Critical;
    case DialogIcon::kWarning: return QMessageBox::Warning;
    case DialogIcon::kInformation: return QMessageBox::Information;
    case DialogIcon::kQuestion: return QMessageBox::Question;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::kOk: return QMessageBox::Ok;
    case DialogButtons::kOkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case DialogButtons::kYesNo:
    case DialogButtons::kYesNoDefaultNo: return QMessageBox::Yes | QMessageBox::No;
    case DialogButtons::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButton DefaultButtonOf(DialogButtons buttons) {
  switch (buttons) {
    case DialogButtons::kOk:
    case DialogButtons::kOkCancel: return QMessageBox::Ok;
    case DialogButtons::kYesNoDefaultNo: return QMessageBox::No;
    case DialogButtons::kYesNo:
    case DialogButtons::kYesNoCancel: return QMessageBox::Yes;
  }
  return QMessageBox::Ok;
}

// A box closed without a button (window manager close) answers as Escape would.
DialogAnswer AnswerOf(int clicked, DialogButtons buttons) {
  switch (clicked) {
    case QMessageBox::Ok: return DialogAnswer::kOk;
    case QMessageBox::Cancel: return DialogAnswer::kCancel;
    case QMessageBox::Yes: return DialogAnswer::kYes;
    case QMessageBox::No: return DialogAnswer::kNo;
    default: break;
  }
  switch (buttons) {
    case DialogButtons::kOk: return DialogAnswer::kOk;
    case DialogButtons::kYesNo:
    case DialogButtons::kYesNoDefaultNo: return DialogAnswer::kNo;
    case DialogButtons::kOkCancel:
    case DialogButtons::kYesNoCancel: return DialogAnswer::kCancel;
  }
  return DialogAnswer::kCancel;
}

}  // namespace

QtDialogs::QtDialogs() = default;

QtDialogs::~QtDialogs() {
  // Widgets may only be deleted while their application exists.
  if (QCoreApplication::instance() == nullptr) {
    (void)status_.release();
    (void)splash_.release();
  }
}

DialogAnswer QtDialogs::MessageBox(std::string_view text, std::string_view caption,
                                   DialogIcon icon, DialogButtons buttons) {
  if (!HasWidgets()) return headless_.MessageBox(text, caption, icon, buttons);
  DialogAnswer answer = DialogAnswer::kCancel;
  OnGuiThread([&] {
    QMessageBox box(IconOf(icon), Text(caption), Text(text), ButtonsOf(buttons));
    box.setDefaultButton(DefaultButtonOf(buttons));
    // A fatal stop is brought to the foreground above every other window.
    if (icon == DialogIcon::kStop) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    answer = AnswerOf(box.exec(), buttons);
  });
  return answer;
}

std::optional<std::string> QtDialogs::ChooseFolder(std::string_view title) {
  if (!HasWidgets()) return headless_.ChooseFolder(title);
  std::optional<std::string> chosen;
  OnGuiThread([&] {
    const QString folder = QFileDialog::getExistingDirectory(nullptr, Text(title));
    if (!folder.isEmpty()) chosen = QFile::encodeName(folder).toStdString();
  });
  return chosen;
}

void QtDialogs::ShowStatus(std::string_view text) {
  if (!HasWidgets()) return headless_.ShowStatus(text);
  OnGuiThread([&] {
    if (text.empty()) {
      status_.reset();
      return;
    }
    if (!status_) {
      status_ = std::make_unique<QLabel>();
      status_->setWindowTitle(QStringLiteral("Pelrion"));
      status_->setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
      status_->setMargin(16);
      status_->setMinimumWidth(300);
    }
    status_->setText(Text(text));
    status_->show();
    status_->raise();
    // The main thread is usually busy right after this; let the window paint now.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
}

void QtDialogs::ShowStartupStage(std::string_view text) {
  if (!HasWidgets()) return headless_.ShowStartupStage(text);
  OnGuiThread([&] {
    if (text.empty()) {
      splash_.reset();
      return;
    }
    if (!splash_) {
      QPixmap white(kSplashWidth, kSplashHeight);
      white.fill(Qt::white);
      splash_ = std::make_unique<QSplashScreen>(white);
      splash_->show();
    }
    splash_->showMessage(Text(text), Qt::AlignLeft | Qt::AlignBottom, Qt::black);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
}

}  // namespace pelrion::platform
