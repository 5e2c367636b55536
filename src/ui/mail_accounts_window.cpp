#include "ui/mail_accounts_window.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "ui/account_properties.h"
#include "ui/account_texts.h"
#include "ui/setup_wizard.h"

namespace pelrion::ui {
namespace {

// Passes a removal's requests on to the message store, and has the list redraw as soon as
// messages were marked, so the user sees them in red while reading why.
class HighlightingPeers : public store::AccountRemovalPeers {
 public:
  HighlightingPeers(store::AccountRemovalPeers& store, const std::function<void()>& redraw)
      : store_(store), redraw_(redraw) {}
  void HighlightAccountMessages(std::uint32_t account_id) override {
    store_.HighlightAccountMessages(account_id);
    if (redraw_) redraw_();
  }
  void ForgetDigests(std::uint32_t account_id) override { store_.ForgetDigests(account_id); }

 private:
  store::AccountRemovalPeers& store_;
  const std::function<void()>& redraw_;
};

}  // namespace

MailAccountsWindow::MailAccountsWindow(AccountWindowPorts ports, QWidget* parent)
    : QDialog(parent), ports_(std::move(ports)) {
  setWindowTitle(tr("Mail Accounts"));
  list_ = new QListWidget(this);
  add_ = new QPushButton(tr("&Add"), this);
  remove_ = new QPushButton(tr("&Remove"), this);
  properties_ = new QPushButton(tr("&Properties"), this);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);

  auto* side = new QVBoxLayout;
  side->addWidget(add_);
  side->addWidget(remove_);
  side->addWidget(properties_);
  side->addStretch();
  auto* body = new QHBoxLayout;
  body->addWidget(list_, 1);
  body->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body);
  layout->addWidget(close);

  connect(add_, &QPushButton::clicked, this, &MailAccountsWindow::AddAccount);
  connect(remove_, &QPushButton::clicked, this, &MailAccountsWindow::RemoveSelected);
  connect(properties_, &QPushButton::clicked, this, &MailAccountsWindow::EditSelected);
  connect(list_, &QListWidget::itemActivated, this, &MailAccountsWindow::EditSelected);
  connect(list_, &QListWidget::currentRowChanged, this, &MailAccountsWindow::UpdateButtons);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Refresh();
  resize(440, 300);
}

std::uint32_t MailAccountsWindow::SelectedAccount() const {
  const QListWidgetItem* item = list_->currentItem();
  return item != nullptr ? item->data(Qt::UserRole).toUInt() : 0;
}

void MailAccountsWindow::Refresh() {
  const std::uint32_t selected = SelectedAccount();
  std::vector<std::uint32_t> ids = ports_.accounts.Ids();
  std::sort(ids.begin(), ids.end(), [this](std::uint32_t a, std::uint32_t b) {
    return ports_.accounts.CompareAccountNames(a, b) < 0;
  });
  list_->clear();
  for (const std::uint32_t id : ids) {
    const std::optional<store::MailAccount> account = ports_.accounts.CopyOf(id);
    if (!account) continue;
    auto* item = new QListWidgetItem(AccountText(account->friendly_name.Text()), list_);
    item->setData(Qt::UserRole, id);
    if (id == selected) list_->setCurrentItem(item);
  }
  if (list_->currentRow() < 0 && list_->count() > 0) list_->setCurrentRow(0);
  UpdateButtons();
}

void MailAccountsWindow::UpdateButtons() {
  const bool chosen = SelectedAccount() != 0;
  remove_->setEnabled(chosen);
  properties_->setEnabled(chosen);
}

void MailAccountsWindow::AddAccount() {
  SetupWizard wizard(ports_.accounts, ports_.listeners, ports_.mail_clients, this);
  if (wizard.exec() != QDialog::Accepted) return;
  Refresh();
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->data(Qt::UserRole).toUInt() == wizard.created_account()) {
      list_->setCurrentRow(row);
    }
  }
}

void MailAccountsWindow::RemoveSelected() {
  const std::uint32_t id = SelectedAccount();
  if (id == 0) return;
  HighlightingPeers peers(ports_.removal, ports_.messages_highlighted);
  if (ports_.accounts.RemoveAccount(id, &peers)) Refresh();
}

void MailAccountsWindow::EditSelected() {
  const std::uint32_t id = SelectedAccount();
  if (id == 0) return;
  AccountProperties sheet(ports_, id, this);
  if (sheet.exec() == QDialog::Accepted) Refresh();
}

}  // namespace pelrion::ui
