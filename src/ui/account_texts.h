// Texts and conversions the account windows share.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace pelrion::ui {

// Caption of every box the account windows show.
inline constexpr std::string_view kMailAccountsCaption = "Mail Accounts";

// Stored texts are bytes; the windows show and edit them as UTF-8.
inline QString AccountText(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
inline std::string AccountBytes(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace pelrion::ui
