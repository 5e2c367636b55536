// The main window's status bar: message counts (stretching), the proxy state icon, the
// offline pane, the network-error pane and the activity pane.
#pragma once

#include <QIcon>
#include <QLabel>
#include <QStatusBar>
#include <QString>
#include <string_view>

namespace pelrion::ui {

class StatusPanes {
 public:
  // Adds the five panes to bar (which keeps ownership of them).
  explicit StatusPanes(QStatusBar& bar);

  void SetCounts(int total, int unread);
  void SetProxyState(const QIcon& icon, const QString& tooltip);
  void SetOffline(bool offline);
  void SetNetworkErrors(bool has_errors);
  void SetActivity(std::string_view text);

  const QLabel& count_pane() const { return *count_; }
  const QLabel& proxy_pane() const { return *proxy_; }
  const QLabel& offline_pane() const { return *offline_; }
  const QLabel& error_pane() const { return *errors_; }
  const QLabel& activity_pane() const { return *activity_; }

  static constexpr int kActivityWidth = 230;

 private:
  QLabel* count_;
  QLabel* proxy_;
  QLabel* offline_;
  QLabel* errors_;
  QLabel* activity_;
};

// "%d message(s), %d unread".
QString CountText(int total, int unread);

}  // namespace pelrion::ui
