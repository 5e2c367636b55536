#include "ui/proxy_warning_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

namespace pelrion::ui {

ProxyWarningDialog::ProxyWarningDialog(std::function<std::size_t()> active_connections,
                                       QWidget* parent)
    : QDialog(parent), active_connections_(std::move(active_connections)) {
  setWindowTitle(QStringLiteral("Pelrion"));
  auto* icon = new QLabel(this);
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  auto* text = new QLabel(QString::fromLatin1(kActiveConnectionsQuestion), this);
  text->setWordWrap(true);
  text->setMinimumWidth(320);
  countdown_ = new QLabel(this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  cancel_ = buttons->button(QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* row = new QHBoxLayout;
  row->addWidget(icon, 0, Qt::AlignTop);
  auto* texts = new QVBoxLayout;
  texts->addWidget(text);
  texts->addWidget(countdown_);
  row->addLayout(texts, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  ShowCountdown();

  auto* second = new QTimer(this);
  connect(second, &QTimer::timeout, this, &ProxyWarningDialog::CountDown);
  second->start(1000);
  auto* check = new QTimer(this);
  connect(check, &QTimer::timeout, this, &ProxyWarningDialog::CheckConnections);
  check->start(kConnectionCheckMs);
}

QString ProxyWarningDialog::countdown_text() const {
  return countdown_->text();
}

void ProxyWarningDialog::ShowCountdown() {
  countdown_->setText(
      QStringLiteral("The transfers will be aborted in %1 second(s).").arg(seconds_left_));
}

void ProxyWarningDialog::CountDown() {
  if (seconds_left_ > 0) --seconds_left_;
  ShowCountdown();
  if (seconds_left_ == 0) accept();
}

void ProxyWarningDialog::CheckConnections() {
  if (active_connections_ && active_connections_() == 0) accept();
}

}  // namespace pelrion::ui
