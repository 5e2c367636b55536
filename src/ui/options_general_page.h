// The "General" page of the Options window: start with the session, trusting recipients, the
// exit warning, the periodic check and its delay, emptying Trash and where spam goes.
#pragma once

#include <QWidget>

#include "core/preferences.h"

class QCheckBox;
class QRadioButton;

namespace pelrion::ui {

class OptionsNumberField;

class OptionsGeneralPage : public QWidget {
  Q_OBJECT

 public:
  // Shows the values of preferences.
  explicit OptionsGeneralPage(const core::Preferences& preferences, QWidget* parent = nullptr);

  // The field holding a value the page cannot accept, with the message saying why; null
  // when every field is acceptable. The delay counts only while the periodic check is on.
  QWidget* InvalidField(QString& message) const;
  // Writes the page into preferences; call only when InvalidField found nothing.
  void Apply(core::Preferences& preferences) const;

  QCheckBox* autostart() const { return autostart_; }
  QCheckBox* check_mail() const { return check_mail_; }
  OptionsNumberField* check_mail_delay() const { return delay_; }
  QRadioButton* junk_mail() const { return junk_mail_; }

 private:
  QCheckBox* autostart_ = nullptr;
  QCheckBox* trust_recipients_ = nullptr;
  QCheckBox* warn_proxy_ = nullptr;
  QCheckBox* check_mail_ = nullptr;
  OptionsNumberField* delay_ = nullptr;
  QCheckBox* empty_trash_ = nullptr;
  QRadioButton* junk_mail_ = nullptr;
  QRadioButton* trash_ = nullptr;
};

}  // namespace pelrion::ui
