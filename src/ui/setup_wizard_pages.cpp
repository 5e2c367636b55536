#include "ui/setup_wizard_pages.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/dialogs.h"
#include "ui/account_texts.h"

namespace pelrion::ui {
namespace {

QLabel* Explanation(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

void Refuse(std::string_view message, QWidget* field) {
  platform::CurrentDialogs().MessageBox(
      message, kMailAccountsCaption, platform::DialogIcon::kWarning, platform::DialogButtons::kOk);
  field->setFocus();
}

}  // namespace

WizardStartPage::WizardStartPage(QWidget* parent) : QWizardPage(parent) {
  setTitle(tr("Welcome to the Mail Account Setup Wizard"));
  setSubTitle(tr("This wizard sets up a mail account whose mail Pelrion checks for you."));
  import_ =
      new QRadioButton(tr("I want to &import mail account settings from another program"), this);
  manual_ = new QRadioButton(tr("I want to set up my mail account &manually"), this);
  import_->setChecked(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(import_);
  layout->addWidget(manual_);
  layout->addStretch();
}

int WizardStartPage::nextId() const {
  return import_->isChecked() ? kSelectClientPage : kNamePage;
}

WizardTextPage::WizardTextPage(const QString& heading, const QString& explanation, int next_id,
                               QWidget* parent)
    : QWizardPage(parent), next_id_(next_id) {
  setTitle(heading);
  setSubTitle(explanation);
  form_ = new QFormLayout;
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form_);
  layout->addStretch();
}

QLineEdit* WizardTextPage::AddField(const QString& label, std::string* target,
                                    std::string_view message, std::size_t max_bytes,
                                    bool password) {
  auto* edit = new QLineEdit(this);
  if (password) edit->setEchoMode(QLineEdit::Password);
  auto* shown = new QLabel(label, this);
  shown->setBuddy(edit);
  form_->addRow(shown, edit);
  connect(edit, &QLineEdit::textChanged, this, &QWizardPage::completeChanged);
  fields_.push_back({edit, target, message, max_bytes, password});
  return edit;
}

// A password is taken as typed, so only an empty one holds Next back.
bool WizardTextPage::isComplete() const {
  for (const Field& field : fields_) {
    const QString text = field.password ? field.edit->text() : field.edit->text().trimmed();
    if (text.isEmpty()) return false;
  }
  return true;
}

bool WizardTextPage::validatePage() {
  for (const Field& field : fields_) {
    const std::string bytes =
        AccountBytes(field.password ? field.edit->text() : field.edit->text().trimmed());
    if (bytes.size() > field.max_bytes) {
      Refuse(field.message, field.edit);
      return false;
    }
  }
  for (const Field& field : fields_) {
    *field.target =
        AccountBytes(field.password ? field.edit->text() : field.edit->text().trimmed());
  }
  return true;
}

WizardClientPage::WizardClientPage(WizardData& data, MailClientImport& import, QWidget* parent)
    : QWizardPage(parent), data_(data), import_(import) {
  setTitle(tr("Select Mail Client"));
  setSubTitle(tr("Choose the e-mail program whose account settings you want to import."));
  list_ = new QListWidget(this);
  notice_ = new QLabel(tr("No mail clients could be found."), this);
  notice_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(notice_);
  connect(list_, &QListWidget::currentRowChanged, this, &QWizardPage::completeChanged);
}

void WizardClientPage::initializePage() {
  data_.clients = import_.ListInstalled();
  list_->clear();
  for (const std::string& name : data_.clients) list_->addItem(AccountText(name));
  const bool none = data_.clients.empty();
  list_->setVisible(!none);
  notice_->setText(none ? tr("No mail clients could be found.") +
                              tr("\n\nClick Next to type your account settings instead.")
                        : QString());
  notice_->setVisible(none);
  if (!none) list_->setCurrentRow(0);
}

bool WizardClientPage::isComplete() const {
  return data_.clients.empty() || list_->currentRow() >= 0;
}

bool WizardClientPage::validatePage() {
  if (!data_.clients.empty()) data_.client = static_cast<std::size_t>(list_->currentRow());
  return true;
}

int WizardClientPage::nextId() const {
  return data_.clients.empty() ? kNamePage : kSelectAccountPage;
}

WizardCandidatePage::WizardCandidatePage(WizardData& data, MailClientImport& import,
                                         QWidget* parent)
    : QWizardPage(parent), data_(data), import_(import) {
  setTitle(tr("Select Mail Account"));
  setSubTitle(tr("Choose the account you want Pelrion to check."));
  list_ = new QListWidget(this);
  notice_ = new QLabel(this);
  notice_->setWordWrap(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(notice_);
  connect(list_, &QListWidget::currentRowChanged, this, &QWizardPage::completeChanged);
}

void WizardCandidatePage::initializePage() {
  data_.candidates = data_.client < data_.clients.size() ? import_.ReadAccounts(data_.client)
                                                         : std::vector<store::NewAccount>{};
  list_->clear();
  for (const store::NewAccount& candidate : data_.candidates) {
    list_->addItem(AccountText(candidate.friendly_name) + " (" +
                   AccountText(candidate.email_address) + ")");
  }
  const bool none = data_.candidates.empty();
  list_->setVisible(!none);
  notice_->setVisible(none);
  if (none) {
    const std::string program =
        data_.client < data_.clients.size() ? data_.clients[data_.client] : std::string();
    notice_->setText(tr("No mail account data could be found for %1.").arg(AccountText(program)) +
                     tr("\n\nClick Next to type your account settings instead."));
  } else {
    list_->setCurrentRow(0);
  }
}

bool WizardCandidatePage::isComplete() const {
  return data_.candidates.empty() || list_->currentRow() >= 0;
}

bool WizardCandidatePage::validatePage() {
  data_.imported = !data_.candidates.empty();
  if (data_.imported) {
    data_.account = data_.candidates[static_cast<std::size_t>(list_->currentRow())];
  }
  return true;
}

int WizardCandidatePage::nextId() const {
  return data_.candidates.empty() ? kNamePage : kImportPasswordPage;
}

WizardImportPasswordPage::WizardImportPasswordPage(WizardData& data, QWidget* parent)
    : WizardTextPage(tr("Enter Account Password"),
                     tr("Type the password of this account. Pelrion uses it to collect your "
                        "mail, and your e-mail program gives it to Pelrion."),
                     kImportDonePage, parent),
      data_(data) {
  account_name_ = new QLabel(this);
  account_name_->setObjectName("account_name");
  account_name_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form()->addRow(tr("Account name:"), account_name_);
  AddField(tr("&Password:"), &data_.account.pop3_password, store::kPasswordText,
           store::kMaxPasswordBytes, /*password=*/true);
}

void WizardImportPasswordPage::initializePage() {
  account_name_->setText(AccountText(data_.account.pop3_user));
}

WizardDonePage::WizardDonePage(const QString& text, QWidget* parent) : QWizardPage(parent) {
  setTitle(tr("Congratulations"));
  setSubTitle(tr("The account is ready to be set up."));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Explanation(text, this));
  layout->addStretch();
}

}  // namespace pelrion::ui
