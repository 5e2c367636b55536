// The "Add" input window of the Trusted Domains window: one "New Domain:" field whose OK stays
// disabled while the text, trimmed at both ends, is empty.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace pelrion::ui {

class TrustedDomainsAddDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TrustedDomainsAddDialog(QWidget* parent = nullptr);

  // The text trimmed at both ends.
  QString Domain() const;
  QLineEdit* field() const { return field_; }
  QPushButton* ok_button() const { return ok_; }

 private:
  QLineEdit* field_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace pelrion::ui
