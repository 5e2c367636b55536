#include "ui/transfer_status_window.h"

#include <QVBoxLayout>
#include <algorithm>
#include <utility>

namespace pelrion::ui {

TransferStatusWindow::TransferStatusWindow(std::function<void()> on_stop, QWidget* parent)
    : QDialog(parent),
      main_(new QLabel(this)),
      sub_(new QLabel(this)),
      progress_(new QProgressBar(this)),
      stop_(new QPushButton(QStringLiteral("Stop"), this)) {
  setWindowTitle(QStringLiteral("Pelrion"));
  setMinimumWidth(360);
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(main_);
  layout->addWidget(sub_);
  layout->addWidget(progress_);
  layout->addWidget(stop_, 0, Qt::AlignRight);
  connect(stop_, &QPushButton::clicked, this, [fn = std::move(on_stop)] {
    if (fn) fn();
  });
  stop_->setEnabled(false);
}

void TransferStatusWindow::Show(const transport::StatusRecord& status) {
  main_->setText(QString::fromStdString(status.main_text));
  sub_->setText(QString::fromStdString(status.sub_text));
  // A worker's percentage is not trusted to stay in range.
  progress_->setValue(std::clamp(status.percent, 0, 100));
  stop_->setEnabled(status.busy);
}

}  // namespace pelrion::ui
