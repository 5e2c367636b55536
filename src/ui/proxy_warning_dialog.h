// The question asked before exiting while a mail client is still being served: OK aborts
// the transfers, Cancel keeps the program running. Nobody may be at the screen, so the
// dialog answers OK by itself when its countdown runs out, and also as soon as the last
// connection has closed.
#pragma once

#include <QDialog>
#include <QString>
#include <cstddef>
#include <functional>

class QLabel;
class QPushButton;
class QTimer;

namespace pelrion::ui {

inline constexpr const char* kActiveConnectionsQuestion =
    "There are one or more active incoming connections. Do you want to abort the transfers?";
inline constexpr int kProxyWarningSeconds = 10;
inline constexpr int kConnectionCheckMs = 500;

class ProxyWarningDialog : public QDialog {
  Q_OBJECT

 public:
  // active_connections tells how many mail-client connections are open now.
  explicit ProxyWarningDialog(std::function<std::size_t()> active_connections,
                              QWidget* parent = nullptr);

  int seconds_left() const { return seconds_left_; }
  QString countdown_text() const;
  QPushButton* ok_button() const { return ok_; }
  QPushButton* cancel_button() const { return cancel_; }

  // One second of the countdown; answers OK when it reaches 0.
  void CountDown();
  // Answers OK when no connection is left.
  void CheckConnections();

 private:
  void ShowCountdown();

  std::function<std::size_t()> active_connections_;
  int seconds_left_ = kProxyWarningSeconds;
  QLabel* countdown_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace pelrion::ui
