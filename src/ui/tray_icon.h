// The notification-area icon: normal, error and offline forms, the matching tooltip, and
// the "Open"/"Exit" menu.
#pragma once

#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>

namespace pelrion::ui {

class TrayIcon {
 public:
  // on_activate runs on any activation (a single click too); on_exit on "Exit".
  TrayIcon(std::function<void()> on_activate, std::function<void()> on_exit);

  void Update(bool has_errors, bool offline);
  // Shown in the notification area, or taken out of it (at exit).
  void SetVisible(bool visible) { icon_.setVisible(visible); }

  const QSystemTrayIcon& icon() const { return icon_; }
  QMenu& menu() { return menu_; }

 private:
  QSystemTrayIcon icon_;
  QMenu menu_;
};

}  // namespace pelrion::ui
