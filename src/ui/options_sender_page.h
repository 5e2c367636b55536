// The "Sender Validation" page of the Options window: the quarantine limit, whether unknown
// senders are asked at all, and for the chosen method its From field, its two template files
// and its charset. The template choices act on the window's working copy of the settings at
// once (a file that fails to load leaves the previous template); the limit is checked on OK.
#pragma once

#include <QWidget>
#include <array>

#include "core/preferences.h"
#include "ui/options_desktop.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pelrion::ui {

class OptionsNumberField;

class OptionsSenderPage : public QWidget {
  Q_OBJECT

 public:
  // working must outlive the page; the page shows it and writes the choices into it.
  OptionsSenderPage(core::Preferences& working, OptionsDesktop desktop, QWidget* parent = nullptr);

  // The field holding a value the page cannot accept, with the message; null when none.
  QWidget* InvalidField(QString& message) const;
  // Writes the checked fields into the working copy; only after InvalidField found nothing.
  void Apply() const;

  OptionsNumberField* expire() const { return expire_; }
  QCheckBox* trusted_only() const { return trusted_only_; }
  QComboBox* from() const { return from_; }
  QComboBox* method() const { return method_; }
  QComboBox* charset() const { return charset_; }
  QLineEdit* file_name(core::TemplateKind kind) const { return rows_[Index(kind)].file; }
  QPushButton* browse(core::TemplateKind kind) const { return rows_[Index(kind)].browse; }
  QPushButton* reload(core::TemplateKind kind) const { return rows_[Index(kind)].reload; }
  QPushButton* preview() const { return preview_; }

 signals:
  void PreviewRequested();

 private:
  struct TemplateRow {
    QLabel* label = nullptr;
    QLineEdit* file = nullptr;
    QPushButton* browse = nullptr;
    QPushButton* reload = nullptr;
  };
  static std::size_t Index(core::TemplateKind kind) { return static_cast<std::size_t>(kind); }

  core::ValidationMethod Method() const;
  // Shows the chosen method's file names and charset.
  void ShowMethod();
  void ShowFileName(core::TemplateKind kind);
  void EnableChoices();
  void Browse(core::TemplateKind kind);
  void Reload(core::TemplateKind kind);

  core::Preferences& working_;
  OptionsDesktop desktop_;
  OptionsNumberField* expire_ = nullptr;
  QCheckBox* trusted_only_ = nullptr;
  QComboBox* from_ = nullptr;
  QComboBox* method_ = nullptr;
  std::array<TemplateRow, 2> rows_{};
  QComboBox* charset_ = nullptr;
  QPushButton* preview_ = nullptr;
};

}  // namespace pelrion::ui
