#include "ui/status_panes.h"

#include <QStyle>

#include "cycle/network_errors.h"

namespace pelrion::ui {

QString CountText(int total, int unread) {
  return QStringLiteral("%1 message(s), %2 unread").arg(total).arg(unread);
}

StatusPanes::StatusPanes(QStatusBar& bar)
    : count_(new QLabel(&bar)),
      proxy_(new QLabel(&bar)),
      offline_(new QLabel(&bar)),
      errors_(new QLabel(&bar)),
      activity_(new QLabel(&bar)) {
  bar.addWidget(count_, 1);
  bar.addPermanentWidget(proxy_);
  bar.addPermanentWidget(offline_);
  bar.addPermanentWidget(errors_);
  activity_->setFixedWidth(kActivityWidth);
  bar.addPermanentWidget(activity_);
  SetCounts(0, 0);
}

void StatusPanes::SetCounts(int total, int unread) { count_->setText(CountText(total, unread)); }

void StatusPanes::SetProxyState(const QIcon& icon, const QString& tooltip) {
  proxy_->setPixmap(icon.pixmap(16, 16));
  proxy_->setToolTip(tooltip);
}

void StatusPanes::SetOffline(bool offline) {
  offline_->setText(offline ? QStringLiteral("Working Offline") : QString());
}

void StatusPanes::SetNetworkErrors(bool has_errors) {
  // The pane carries a warning sign only while reports are waiting to be read.
  if (has_errors) {
    errors_->setPixmap(errors_->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(16, 16));
    errors_->setToolTip(QString::fromLatin1(cycle::kNetworkErrorText.data(),
                                            static_cast<qsizetype>(cycle::kNetworkErrorText.size())));
  } else {
    errors_->clear();
    errors_->setToolTip(QString());
  }
}

void StatusPanes::SetActivity(std::string_view text) {
  activity_->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

}  // namespace pelrion::ui
