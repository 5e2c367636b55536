#include "ui/options_number_field.h"

#include <QLineEdit>
#include <algorithm>

namespace pelrion::ui {
namespace {

// Seven digits are more than any range here needs, and few enough to stay an int.
constexpr int kTypedMax = 9999999;

}  // namespace

OptionsNumberField::OptionsNumberField(int step_min, int step_max, QWidget* parent)
    : QSpinBox(parent), step_min_(step_min), step_max_(step_max) {
  setRange(0, kTypedMax);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(false);
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  // Wide enough for the range's own numbers, not for the typing allowance.
  setMaximumWidth(fontMetrics().horizontalAdvance(QString::number(step_max) + "0000") + 24);
}

std::optional<long long> OptionsNumberField::TypedValue() const {
  const QString text = lineEdit()->text().trimmed();
  bool ok = false;
  const long long value = text.toLongLong(&ok);
  if (text.isEmpty() || !ok) return std::nullopt;
  return value;
}

void OptionsNumberField::SetTypedText(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok);
  if (ok && value >= minimum() && value <= maximum()) setValue(value);
}

void OptionsNumberField::stepBy(int steps) {
  const long long typed = TypedValue().value_or(step_min_);
  const long long next = std::clamp<long long>(typed + steps, step_min_, step_max_);
  setValue(static_cast<int>(next));
  selectAll();
}

QAbstractSpinBox::StepEnabled OptionsNumberField::stepEnabled() const {
  const long long typed = TypedValue().value_or(step_min_);
  StepEnabled enabled = StepNone;
  if (typed < step_max_) enabled |= StepUpEnabled;
  if (typed > step_min_) enabled |= StepDownEnabled;
  return enabled;
}

// Digits only; an empty field is allowed while typing and left for the page to refuse.
QValidator::State OptionsNumberField::validate(QString& text, int&) const {
  if (text.size() > 7) return QValidator::Invalid;
  for (const QChar c : text) {
    if (!c.isDigit()) return QValidator::Invalid;
  }
  return QValidator::Acceptable;
}

void OptionsNumberField::fixup(QString&) const {}

}  // namespace pelrion::ui
