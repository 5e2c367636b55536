#include "ui/trusted_domains_window.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "mailformat/ascii.h"
#include "platform/dialogs.h"
#include "ui/address_lists_field_limit.h"
#include "ui/trusted_domains_add_dialog.h"

namespace pelrion::ui {
namespace {

void Warn(const QString& text) {
  platform::CurrentDialogs().MessageBox(FieldBytes(text), store::kTrustedDomainsCaption,
                                        platform::DialogIcon::kWarning,
                                        platform::DialogButtons::kOk);
}

}  // namespace

TrustedDomainsWindow::TrustedDomainsWindow(store::TrustedDomainList& domains, QWidget* parent)
    : QDialog(parent), domains_(domains) {
  setWindowTitle(QString::fromLatin1(store::kTrustedDomainsCaption.data(),
                                     static_cast<qsizetype>(store::kTrustedDomainsCaption.size())));
  list_ = new QListWidget(this);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  add_ = new QPushButton(tr("&Add"), this);
  remove_ = new QPushButton(tr("&Remove"), this);
  auto* side = new QVBoxLayout;
  side->addWidget(add_);
  side->addWidget(remove_);
  side->addStretch();
  auto* body = new QHBoxLayout;
  body->addWidget(list_, 1);
  body->addLayout(side);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addWidget(buttons);

  connect(add_, &QPushButton::clicked, this, &TrustedDomainsWindow::AskAndAdd);
  connect(remove_, &QPushButton::clicked, this, &TrustedDomainsWindow::RemoveSelected);
  connect(list_, &QListWidget::itemSelectionChanged, this,
          [this] { remove_->setEnabled(!list_->selectedItems().isEmpty()); });
  Refresh();
  resize(420, 320);
}

void TrustedDomainsWindow::Refresh() {
  list_->clear();
  for (const std::string& domain : domains_.Domains()) {
    list_->addItem(QString::fromStdString(domain));
  }
  remove_->setEnabled(false);
}

void TrustedDomainsWindow::AskAndAdd() {
  TrustedDomainsAddDialog dialog(this);
  if (dialog.exec() == QDialog::Accepted) AddDomain(dialog.Domain());
}

bool TrustedDomainsWindow::AddDomain(const QString& text) {
  const std::string bytes = FieldBytes(text.trimmed());
  if (bytes.size() > store::kMaxDomainLength) {
    Warn(FieldTooLongText(tr("New Domain:"), store::kMaxDomainLength, bytes.size()));
    return false;
  }
  switch (domains_.AddTrustedDomain(bytes)) {
    case store::AddDomainResult::kAdded:
      break;
    case store::AddDomainResult::kDuplicate:
      Warn(QString::fromStdString(
          store::DuplicateDomainText(mailformat::ascii::ToLowerCopy(bytes))));
      return false;
    case store::AddDomainResult::kEmpty:  // the input window never offers an empty text
    case store::AddDomainResult::kTooLong:
      return false;
  }
  Refresh();
  Select(QString::fromStdString(mailformat::ascii::ToLowerCopy(bytes)));
  return true;
}

void TrustedDomainsWindow::Select(const QString& domain) {
  const QList<QListWidgetItem*> found = list_->findItems(domain, Qt::MatchExactly);
  if (found.isEmpty()) return;
  list_->setCurrentItem(found.front());
  list_->scrollToItem(found.front());
}

void TrustedDomainsWindow::RemoveSelected() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  const int row = list_->row(selected.front());
  domains_.RemoveTrustedDomain(FieldBytes(selected.front()->text()));
  Refresh();
  if (list_->count() > 0) list_->setCurrentRow(std::min(row, list_->count() - 1));
}

}  // namespace pelrion::ui
