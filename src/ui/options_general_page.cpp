#include "ui/options_general_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/options_number_field.h"

namespace pelrion::ui {

OptionsGeneralPage::OptionsGeneralPage(const core::Preferences& preferences, QWidget* parent)
    : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* startup = new QGroupBox(tr("Program"), this);
  auto* startup_layout = new QVBoxLayout(startup);
  // The session's autostart entry starts the program, so the label speaks of logging in.
  autostart_ = new QCheckBox(tr("&Start Pelrion when you log in"), startup);
  trust_recipients_ = new QCheckBox(
      tr("Automatically put people I send mail to in my list of &trusted contacts"), startup);
  warn_proxy_ =
      new QCheckBox(tr("When exiting, &warn me if there are active connections"), startup);
  startup_layout->addWidget(autostart_);
  startup_layout->addWidget(trust_recipients_);
  startup_layout->addWidget(warn_proxy_);
  layout->addWidget(startup);

  auto* mail = new QGroupBox(tr("Messages"), this);
  auto* mail_layout = new QVBoxLayout(mail);
  auto* check_row = new QHBoxLayout;
  check_mail_ = new QCheckBox(tr("&Check for new messages every"), mail);
  delay_ = new OptionsNumberField(static_cast<int>(core::kCheckMailDelayMin),
                                  static_cast<int>(core::kCheckMailDelayMax), mail);
  check_row->addWidget(check_mail_);
  check_row->addWidget(delay_);
  check_row->addWidget(new QLabel(tr("minute(s)"), mail));
  check_row->addStretch();
  mail_layout->addLayout(check_row);
  empty_trash_ = new QCheckBox(tr("&Empty messages from the 'Trash' folder on exit"), mail);
  mail_layout->addWidget(empty_trash_);
  mail_layout->addWidget(new QLabel(tr("Place messages classified as spam in:"), mail));
  auto* spam_row = new QHBoxLayout;
  junk_mail_ = new QRadioButton(tr("'&Junk Mail'"), mail);
  trash_ = new QRadioButton(tr("'T&rash'"), mail);
  spam_row->addSpacing(16);
  spam_row->addWidget(junk_mail_);
  spam_row->addWidget(trash_);
  spam_row->addStretch();
  mail_layout->addLayout(spam_row);
  layout->addWidget(mail);
  layout->addStretch();

  autostart_->setChecked(preferences.autostart != 0);
  trust_recipients_->setChecked(preferences.trustrcpt != 0);
  warn_proxy_->setChecked(preferences.warnproxy != 0);
  check_mail_->setChecked(preferences.checkmail != 0);
  delay_->setValue(static_cast<int>(preferences.checkmail_delay));
  delay_->setEnabled(check_mail_->isChecked());
  connect(check_mail_, &QCheckBox::toggled, delay_, &QWidget::setEnabled);
  empty_trash_->setChecked(preferences.emptytrash != 0);
  (preferences.junk != 0 ? junk_mail_ : trash_)->setChecked(true);
}

QWidget* OptionsGeneralPage::InvalidField(QString& message) const {
  if (!check_mail_->isChecked()) return nullptr;
  const core::NumberPreference& key = *core::FindNumberPreference("checkmail_delay");
  const std::optional<long long> typed = delay_->TypedValue();
  if (typed && *typed >= key.min && *typed <= key.max) return nullptr;
  message = QString::fromStdString(core::PreferenceRangeText(key));
  return delay_;
}

void OptionsGeneralPage::Apply(core::Preferences& preferences) const {
  preferences.autostart = autostart_->isChecked() ? 1 : 0;
  preferences.trustrcpt = trust_recipients_->isChecked() ? 1 : 0;
  preferences.warnproxy = warn_proxy_->isChecked() ? 1 : 0;
  preferences.checkmail = check_mail_->isChecked() ? 1 : 0;
  // With the periodic check off the delay is not looked at, and the stored one stays.
  if (check_mail_->isChecked()) {
    preferences.checkmail_delay = static_cast<std::uint32_t>(*delay_->TypedValue());
  }
  preferences.emptytrash = empty_trash_->isChecked() ? 1 : 0;
  preferences.junk = junk_mail_->isChecked() ? 1 : 0;
}

}  // namespace pelrion::ui
