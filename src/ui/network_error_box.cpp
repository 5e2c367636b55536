#include "ui/network_error_box.h"

namespace pelrion::ui {

std::unique_ptr<QMessageBox> MakeNetworkErrorBox(const std::string& lines, QWidget* parent) {
  // The reports name servers and quote their replies, which are bytes of unknown encoding;
  // Latin-1 shows every byte as some character.
  QString text = QString::fromLatin1(lines.data(), static_cast<qsizetype>(lines.size()));
  while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, QStringLiteral("Pelrion"), text,
                                           QMessageBox::Ok, parent);
  box->setTextFormat(Qt::PlainText);
  // Wide enough that each report stays on its one line, as it was written.
  box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: 560px; }"));
  return box;
}

}  // namespace pelrion::ui
