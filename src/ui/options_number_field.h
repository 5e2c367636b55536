// A number field of the Options pages: its arrows step within the key's range, but what the
// user types is kept exactly as typed (only digits are accepted), so a value outside the range
// reaches the page's check and its message instead of being bent into range unseen.
#pragma once

#include <QSpinBox>
#include <optional>

namespace pelrion::ui {

class OptionsNumberField : public QSpinBox {
  Q_OBJECT

 public:
  OptionsNumberField(int step_min, int step_max, QWidget* parent = nullptr);

  // The typed number, or nullopt when the field is empty.
  std::optional<long long> TypedValue() const;
  // As if the user typed text (digits only) and left the field.
  void SetTypedText(const QString& text);

 protected:
  void stepBy(int steps) override;
  StepEnabled stepEnabled() const override;
  QValidator::State validate(QString& text, int& pos) const override;
  void fixup(QString& text) const override;

 private:
  int step_min_;
  int step_max_;
};

}  // namespace pelrion::ui
