#include "ui/outgoing_server_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/dialogs.h"
#include "store/account_creation.h"
#include "ui/account_texts.h"

namespace pelrion::ui {

OutgoingServerDialog::OutgoingServerDialog(const OutgoingLogon& logon, QWidget* parent)
    : QDialog(parent), logon_(logon) {
  setWindowTitle(tr("Outgoing Mail Server"));
  auto* group = new QGroupBox(tr("Logon Information"), this);
  same_ = new QRadioButton(tr("&Use same settings as my incoming mail server"), group);
  own_ = new QRadioButton(tr("L&og on using"), group);
  user_ = new QLineEdit(AccountText(logon.user), group);
  password_ = new QLineEdit(AccountText(logon.password), group);
  password_->setEchoMode(QLineEdit::Password);
  (logon.same_as_incoming ? same_ : own_)->setChecked(true);

  auto* form = new QFormLayout;
  form->setContentsMargins(24, 0, 0, 0);
  auto* user_label = new QLabel(tr("A&ccount name:"), group);
  user_label->setBuddy(user_);
  auto* password_label = new QLabel(tr("Pass&word:"), group);
  password_label->setBuddy(password_);
  form->addRow(user_label, user_);
  form->addRow(password_label, password_);
  auto* group_layout = new QVBoxLayout(group);
  group_layout->addWidget(same_);
  group_layout->addWidget(own_);
  group_layout->addLayout(form);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(own_, &QRadioButton::toggled, this, &OutgoingServerDialog::UpdateFields);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addStretch();
  layout->addWidget(buttons);
  UpdateFields();
  resize(420, sizeHint().height());
}

void OutgoingServerDialog::UpdateFields() {
  user_->setEnabled(own_->isChecked());
  password_->setEnabled(own_->isChecked());
}

void OutgoingServerDialog::accept() {
  OutgoingLogon chosen{.same_as_incoming = same_->isChecked(),
                       .user = AccountBytes(user_->text().trimmed()),
                       .password = AccountBytes(password_->text())};
  if (!chosen.same_as_incoming) {
    QLineEdit* refused = nullptr;
    std::string_view message;
    if (chosen.user.empty() || chosen.user.size() > store::kMaxNameBytes) {
      refused = user_;
      message = kOutgoingUserText;
    } else if (chosen.password.empty() || chosen.password.size() > store::kMaxPasswordBytes) {
      refused = password_;
      message = kOutgoingPasswordText;
    }
    if (refused != nullptr) {
      platform::CurrentDialogs().MessageBox(message, kMailAccountsCaption,
                                            platform::DialogIcon::kWarning,
                                            platform::DialogButtons::kOk);
      refused->setFocus();
      return;
    }
  }
  logon_ = chosen;
  QDialog::accept();
}

}  // namespace pelrion::ui
