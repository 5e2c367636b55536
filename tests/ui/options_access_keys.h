// The access keys (the letter after '&') of every label, button and check box of a window or
// page, for the tests that check no two controls of one page share a key.
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QString>
#include <QWidget>
#include <map>

namespace pelrion::ui::testing_support {

inline QChar AccessKeyOf(const QString& text) {
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) continue;
    if (text[i + 1] == QLatin1Char('&')) {
      ++i;
      continue;
    }
    return text[i + 1].toLower();
  }
  return {};
}

// Key -> the texts that use it, for the widgets under root.
inline std::map<QChar, QStringList> AccessKeys(const QWidget& root) {
  std::map<QChar, QStringList> keys;
  auto note = [&](const QString& text) {
    const QChar key = AccessKeyOf(text);
    if (!key.isNull()) keys[key].push_back(text);
  };
  for (const QLabel* label : root.findChildren<QLabel*>()) note(label->text());
  for (const QAbstractButton* button : root.findChildren<QAbstractButton*>()) note(button->text());
  return keys;
}

// The texts that share a key with another, joined for a failure message; empty when none.
inline QString SharedAccessKeys(const QWidget& root) {
  QStringList shared;
  for (const auto& [key, texts] : AccessKeys(root)) {
    if (texts.size() > 1) shared.push_back(texts.join(" / "));
  }
  return shared.join("; ");
}

}  // namespace pelrion::ui::testing_support
