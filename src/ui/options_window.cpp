#include "ui/options_window.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/autostart.h"
#include "platform/dialogs.h"
#include "ui/options_general_page.h"
#include "ui/options_number_field.h"
#include "ui/options_sender_page.h"
#include "validation/preview_request.h"
#include "validation/quarantine.h"

namespace pelrion::ui {
namespace {

constexpr std::string_view kCaption = "Pelrion";

}  // namespace

OptionsWindow::OptionsWindow(OptionsServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), working_(services_.preferences) {
  setWindowTitle(tr("Options"));

  tree_ = new QTreeWidget(this);
  tree_->setHeaderHidden(true);
  tree_->setRootIsDecorated(false);
  tree_->addTopLevelItem(new QTreeWidgetItem(QStringList{tr("General")}));
  tree_->addTopLevelItem(new QTreeWidgetItem(QStringList{tr("Sender Validation")}));
  tree_->setFixedWidth(tree_->fontMetrics().horizontalAdvance(tr("Sender Validation")) + 40);

  stack_ = new QStackedWidget(this);
  general_ = new OptionsGeneralPage(working_, stack_);
  sender_ = new OptionsSenderPage(working_, services_.desktop, stack_);
  stack_->addWidget(general_);
  stack_->addWidget(sender_);
  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (item) stack_->setCurrentIndex(tree_->indexOfTopLevelItem(item));
  });
  connect(sender_, &OptionsSenderPage::PreviewRequested, this, &OptionsWindow::Preview);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &OptionsWindow::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* pages = new QHBoxLayout;
  pages->addWidget(tree_);
  pages->addWidget(stack_, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(pages);
  layout->addWidget(buttons);

  // The tree first, then the page's fields, then OK/Cancel.
  setTabOrder(tree_, general_->autostart());
  ShowPage(Page::kGeneral);
}

void OptionsWindow::ShowPage(Page page) {
  tree_->setCurrentItem(tree_->topLevelItem(static_cast<int>(page)));
  stack_->setCurrentIndex(static_cast<int>(page));
}

OptionsWindow::Page OptionsWindow::CurrentPage() const {
  return static_cast<Page>(stack_->currentIndex());
}

bool OptionsWindow::CheckPages() {
  const struct {
    Page page;
    std::function<QWidget*(QString&)> invalid_field;
  } checks[] = {
      {Page::kGeneral, [this](QString& m) { return general_->InvalidField(m); }},
      {Page::kSenderValidation, [this](QString& m) { return sender_->InvalidField(m); }},
  };
  for (const auto& check : checks) {
    QString message;
    QWidget* field = check.invalid_field(message);
    if (field == nullptr) continue;
    ShowPage(check.page);
    platform::CurrentDialogs().MessageBox(message.toStdString(), kCaption,
                                          platform::DialogIcon::kWarning,
                                          platform::DialogButtons::kOk);
    field->setFocus(Qt::OtherFocusReason);
    if (auto* number = qobject_cast<OptionsNumberField*>(field)) number->selectAll();
    return false;
  }
  return true;
}

void OptionsWindow::accept() {
  if (!CheckPages()) return;
  general_->Apply(working_);
  sender_->Apply();
  services_.preferences = working_;
  core::SavePreferences(services_.registry, services_.preferences);
  core::ApplyAutostart(services_.preferences.autostart != 0, services_.executable_path);
  services_.quarantine.ExpireQuarantine();
  if (services_.rearm_mail_check) services_.rearm_mail_check();
  QDialog::accept();
}

// The sample uses the page as it stands, saved or not.
void OptionsWindow::Preview() {
  const std::optional<std::string> path =
      validation::PreviewAuthorizationRequest(working_, services_.temp_folder);
  if (!path) return;
  if (!services_.desktop.open_message_file(*path)) {
    platform::CurrentDialogs().MessageBox(
        "There is no program on this desktop that opens '" + *path + "'.", kCaption,
        platform::DialogIcon::kWarning, platform::DialogButtons::kOk);
  }
}

}  // namespace pelrion::ui
