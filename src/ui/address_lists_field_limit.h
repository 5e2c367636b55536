// The byte limits of the text fields of the address-list windows. The stores keep fixed-size
// byte fields, so a text is measured in the bytes it is stored as (UTF-8) and refused whole
// when it is too long: nothing is ever cut short without the user seeing it.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace pelrion::ui {

inline constexpr std::size_t kMaxFieldBytes = 255;

// The bytes a field's text is stored as.
inline std::string FieldBytes(const QString& text) {
  return text.toUtf8().toStdString();
}

// "'New Domain:' holds at most 255 bytes; the text entered has 300." label without its '&'.
inline QString FieldTooLongText(QString label, std::size_t max_bytes, std::size_t bytes) {
  label.remove(QLatin1Char('&'));
  return QStringLiteral("'%1' holds at most %2 bytes; the text entered has %3.")
      .arg(label)
      .arg(max_bytes)
      .arg(bytes);
}

}  // namespace pelrion::ui
