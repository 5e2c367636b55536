#include "ui/trusted_domains_add_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pelrion::ui {

TrustedDomainsAddDialog::TrustedDomainsAddDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Add"));
  auto* label = new QLabel(tr("&New Domain:"), this);
  field_ = new QLineEdit(this);
  field_->setMinimumWidth(280);
  label->setBuddy(field_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setEnabled(false);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(field_, &QLineEdit::textChanged, this, [this] { ok_->setEnabled(!Domain().isEmpty()); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(field_);
  layout->addWidget(buttons);
}

QString TrustedDomainsAddDialog::Domain() const {
  return field_->text().trimmed();
}

}  // namespace pelrion::ui
