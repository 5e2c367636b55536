#include "ui/proxy_pane_icons.h"

#include <QPainter>
#include <QPixmap>
#include <array>

#include "transport/listener_threads.h"

namespace pelrion::ui {
namespace {

// Small drawings of our own: a round lamp, grey when down, green when listening; while
// serving, a quarter of its ring is lit and moves one quarter per step.
QIcon Lamp(const QColor& fill, int lit_quarter) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(60, 60, 60), 1));
  painter.setBrush(fill);
  painter.drawEllipse(QRectF(3.5, 3.5, 9, 9));
  if (lit_quarter >= 0) {
    painter.setPen(QPen(QColor(30, 110, 220), 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(1.5, 1.5, 13, 13), (90 - 90 * lit_quarter) * 16, -90 * 16);
  }
  return QIcon(pixmap);
}

}  // namespace

QIcon ProxyStateIcon(std::string_view state, int step) {
  static const QIcon down = Lamp(QColor(170, 170, 170), -1);
  static const QIcon listening = Lamp(QColor(60, 190, 80), -1);
  static const std::array<QIcon, kServingSteps> serving = {
      Lamp(QColor(60, 190, 80), 0), Lamp(QColor(60, 190, 80), 1), Lamp(QColor(60, 190, 80), 2),
      Lamp(QColor(60, 190, 80), 3)};
  if (state == transport::kProxyServing) {
    return serving[static_cast<std::size_t>(((step % kServingSteps) + kServingSteps) %
                                            kServingSteps)];
  }
  if (state == transport::kProxyListening) return listening;
  return down;
}

}  // namespace pelrion::ui
