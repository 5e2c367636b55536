// The small window that shows what a mail check is doing, with its Stop button.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <functional>

#include "transport/worker_reports.h"

namespace pelrion::ui {

class TransferStatusWindow : public QDialog {
 public:
  // on_stop runs when Stop is pressed (the owner stops the cycle's worker).
  TransferStatusWindow(std::function<void()> on_stop, QWidget* parent = nullptr);

  void Show(const transport::StatusRecord& status);

  const QLabel& main_text() const { return *main_; }
  const QLabel& sub_text() const { return *sub_; }
  const QProgressBar& progress() const { return *progress_; }
  QPushButton& stop_button() { return *stop_; }

 private:
  QLabel* main_;
  QLabel* sub_;
  QProgressBar* progress_;
  QPushButton* stop_;
};

}  // namespace pelrion::ui
