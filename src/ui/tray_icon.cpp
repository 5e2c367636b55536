#include "ui/tray_icon.h"

#include <QApplication>
#include <QStyle>
#include <string>
#include <utility>

#include "cycle/network_errors.h"

namespace pelrion::ui {
namespace {

QIcon FormFor(bool has_errors, bool offline) {
  // Offline wins over errors, as in the tooltip.
  QStyle* style = QApplication::style();
  if (offline) return style->standardIcon(QStyle::SP_MediaPause);
  if (has_errors) return style->standardIcon(QStyle::SP_MessageBoxWarning);
  return style->standardIcon(QStyle::SP_DriveNetIcon);
}

}  // namespace

TrayIcon::TrayIcon(std::function<void()> on_activate, std::function<void()> on_exit) {
  QAction* open = menu_.addAction(QStringLiteral("Open"));
  QAction* exit = menu_.addAction(QStringLiteral("Exit"));
  QObject::connect(open, &QAction::triggered, [on_activate] { if (on_activate) on_activate(); });
  QObject::connect(exit, &QAction::triggered, [fn = std::move(on_exit)] { if (fn) fn(); });
  QObject::connect(&icon_, &QSystemTrayIcon::activated,
                   [fn = std::move(on_activate)](QSystemTrayIcon::ActivationReason reason) {
                     if (reason != QSystemTrayIcon::Context && fn) fn();
                   });
  icon_.setContextMenu(&menu_);
  Update(false, false);
}

void TrayIcon::Update(bool has_errors, bool offline) {
  icon_.setIcon(FormFor(has_errors, offline));
  icon_.setToolTip(QString::fromStdString(std::string(cycle::TrayTooltip(has_errors, offline))));
}

}  // namespace pelrion::ui
