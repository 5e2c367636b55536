#include "ui/options_sender_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/templates.h"
#include "platform/dialogs.h"
#include "ui/address_lists_field_limit.h"
#include "ui/options_number_field.h"

namespace pelrion::ui {
namespace {

constexpr std::string_view kOptionsCaption = "Options";

QString Local(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes);
}

QString FiltersOf(core::TemplateKind kind) {
  return kind == core::TemplateKind::kHtml ? QObject::tr("HTML Files (*.htm *.html);;All Files (*)")
                                           : QObject::tr("Text Files (*.txt);;All Files (*)");
}

}  // namespace

OptionsSenderPage::OptionsSenderPage(core::Preferences& working, OptionsDesktop desktop,
                                     QWidget* parent)
    : QWidget(parent), working_(working), desktop_(std::move(desktop)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* quarantine = new QGroupBox(tr("Quarantine"), this);
  auto* quarantine_layout = new QVBoxLayout(quarantine);
  auto* expire_row = new QHBoxLayout;
  auto* expire_label = new QLabel(tr("Quarantined message e&xpires in:"), quarantine);
  expire_ = new OptionsNumberField(static_cast<int>(core::kExpireMin),
                                   static_cast<int>(core::kExpireMax), quarantine);
  expire_label->setBuddy(expire_);
  expire_row->addWidget(expire_label);
  expire_row->addWidget(expire_);
  expire_row->addWidget(new QLabel(tr("day(s)"), quarantine));
  expire_row->addStretch();
  quarantine_layout->addLayout(expire_row);
  trusted_only_ = new QCheckBox(
      tr("&Accept messages only from people on my list of trusted contacts"), quarantine);
  quarantine_layout->addWidget(trusted_only_);
  layout->addWidget(quarantine);

  auto* requests = new QGroupBox(tr("Authorization Requests"), this);
  auto* grid = new QGridLayout(requests);
  from_ = new QComboBox(requests);
  from_->addItems({tr("Pelrion"), tr("<Your Name>"), tr("Pelrion on behalf of <Your Name>")});
  method_ = new QComboBox(requests);
  method_->addItems({tr("Reply"), tr("CAPTCHA")});
  const std::array<QString, 2> template_labels = {tr("&Plain text template:"),
                                                  tr("&HTML template:")};
  const std::array<QString, 2> browse_texts = {tr("&Browse..."), tr("Br&owse...")};
  const std::array<QString, 2> reload_texts = {tr("&Reload"), tr("Re&load")};
  charset_ = new QComboBox(requests);
  for (const mailformat::CharsetRow& row : mailformat::kCharsetTable) {
    charset_->addItem(QString::fromLatin1(row.display_name.data(),
                                          static_cast<qsizetype>(row.display_name.size())));
  }

  auto add_labelled = [&](int row, const QString& text, QWidget* field) {
    auto* label = new QLabel(text, requests);
    label->setBuddy(field);
    grid->addWidget(label, row, 0);
    grid->addWidget(field, row, 1, 1, 3);
  };
  add_labelled(0, tr("E-mail &From Field:"), from_);
  add_labelled(1, tr("Sender Validation &Method:"), method_);
  for (const auto kind : {core::TemplateKind::kPlainText, core::TemplateKind::kHtml}) {
    TemplateRow& row = rows_[Index(kind)];
    row.file = new QLineEdit(requests);
    row.file->setReadOnly(true);
    row.browse = new QPushButton(browse_texts[Index(kind)], requests);
    row.reload = new QPushButton(reload_texts[Index(kind)], requests);
    const int grid_row = 2 + static_cast<int>(Index(kind));
    row.label = new QLabel(template_labels[Index(kind)], requests);
    row.label->setBuddy(row.file);
    grid->addWidget(row.label, grid_row, 0);
    grid->addWidget(row.file, grid_row, 1);
    grid->addWidget(row.browse, grid_row, 2);
    grid->addWidget(row.reload, grid_row, 3);
    connect(row.browse, &QPushButton::clicked, this, [this, kind] { Browse(kind); });
    connect(row.reload, &QPushButton::clicked, this, [this, kind] { Reload(kind); });
  }
  add_labelled(4, tr("Language &Encoding:"), charset_);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(1, 300);
  layout->addWidget(requests);

  auto* preview_row = new QHBoxLayout;
  preview_ = new QPushButton(tr("Pre&view..."), this);
  preview_row->addStretch();
  preview_row->addWidget(preview_);
  layout->addLayout(preview_row);
  layout->addStretch();

  expire_->setValue(static_cast<int>(working_.expire));
  trusted_only_->setChecked(working_.challenge == 0);
  from_->setCurrentIndex(static_cast<int>(working_.from));
  method_->setCurrentIndex(static_cast<int>(core::SelectedMethod(working_)));
  ShowMethod();
  EnableChoices();

  connect(trusted_only_, &QCheckBox::toggled, this, [this](bool checked) {
    working_.challenge = checked ? 0 : 1;
    EnableChoices();
  });
  connect(from_, &QComboBox::currentIndexChanged, this,
          [this](int index) { working_.from = static_cast<std::uint32_t>(index); });
  connect(method_, &QComboBox::currentIndexChanged, this, [this](int index) {
    working_.method = static_cast<std::uint32_t>(index);
    ShowMethod();
  });
  connect(charset_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) core::CharsetIndex(working_, Method()) = static_cast<std::uint32_t>(index);
  });
  connect(preview_, &QPushButton::clicked, this, &OptionsSenderPage::PreviewRequested);
}

core::ValidationMethod OptionsSenderPage::Method() const {
  return method_->currentIndex() == 1 ? core::ValidationMethod::kCaptcha
                                      : core::ValidationMethod::kReply;
}

void OptionsSenderPage::ShowMethod() {
  for (const auto kind : {core::TemplateKind::kPlainText, core::TemplateKind::kHtml}) {
    ShowFileName(kind);
  }
  const QSignalBlocker quiet(charset_);
  charset_->setCurrentIndex(static_cast<int>(core::CharsetIndex(working_, Method())));
}

// Without requests there is nothing to address, word or encode.
void OptionsSenderPage::EnableChoices() {
  const bool requests = !trusted_only_->isChecked();
  for (QWidget* widget : std::initializer_list<QWidget*>{from_, method_, charset_}) {
    widget->setEnabled(requests);
  }
  for (const TemplateRow& row : rows_) {
    row.file->setEnabled(requests);
    row.browse->setEnabled(requests);
    row.reload->setEnabled(requests);
  }
}

void OptionsSenderPage::Browse(core::TemplateKind kind) {
  const std::optional<std::string> path = desktop_.choose_template_file(this, FiltersOf(kind));
  if (!path) return;
  // The setting holds a path of limited length; a longer one is refused, never cut.
  if (path->size() > core::kMaxTemplateFileName) {
    platform::CurrentDialogs().MessageBox(
        FieldBytes(FieldTooLongText(rows_[Index(kind)].label->text(), core::kMaxTemplateFileName,
                                    path->size())),
        kOptionsCaption, platform::DialogIcon::kWarning, platform::DialogButtons::kOk);
    return;
  }
  std::optional<std::string> text = core::LoadTemplateFile(*path);
  if (!text) return;
  core::MutableTemplateText(working_, Method(), kind) = std::move(*text);
  core::TemplateFileName(working_, Method(), kind) = *path;
  ShowFileName(kind);
}

// A long path shows its end, the file's own name; the whole of it is in the tool tip.
void OptionsSenderPage::ShowFileName(core::TemplateKind kind) {
  QLineEdit& field = *rows_[Index(kind)].file;
  field.setText(Local(core::TemplateFileName(working_, Method(), kind)));
  field.setToolTip(field.text());
  field.end(false);
}

void OptionsSenderPage::Reload(core::TemplateKind kind) {
  const std::string path = core::TemplateFileName(working_, Method(), kind);
  std::optional<std::string> text = core::LoadTemplateFile(path);
  if (!text) return;
  core::MutableTemplateText(working_, Method(), kind) = std::move(*text);
  platform::CurrentDialogs().MessageBox("Reloaded.", kOptionsCaption,
                                        platform::DialogIcon::kInformation,
                                        platform::DialogButtons::kOk);
}

QWidget* OptionsSenderPage::InvalidField(QString& message) const {
  const core::NumberPreference& key = *core::FindNumberPreference("expire");
  const std::optional<long long> typed = expire_->TypedValue();
  if (typed && *typed >= key.min && *typed <= key.max) return nullptr;
  message = QString::fromStdString(core::PreferenceRangeText(key));
  return expire_;
}

void OptionsSenderPage::Apply() const {
  working_.expire = static_cast<std::uint32_t>(*expire_->TypedValue());
}

}  // namespace pelrion::ui
