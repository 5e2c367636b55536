#include "ui/address_lists_move_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "store/address_list_table.h"

namespace pelrion::ui {

AddressListsMoveDialog::AddressListsMoveDialog(int shown_list, QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Move"));
  auto* prompt = new QLabel(tr("&Move the item(s) to the selected Address List:"), this);
  lists_ = new QListWidget(this);
  for (int index = 0; index < store::kAddressListCount; ++index) {
    const std::string_view name = store::AddressListName(index);
    lists_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  lists_->setCurrentRow(shown_list == store::kTrustedContactsList ? store::kBlackList
                                                                  : store::kTrustedContactsList);
  lists_->setMaximumHeight(lists_->sizeHintForRow(0) * (store::kAddressListCount + 1));
  prompt->setBuddy(lists_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(lists_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt);
  layout->addWidget(lists_);
  layout->addWidget(buttons);
}

int AddressListsMoveDialog::ChosenList() const {
  return lists_->currentRow();
}

}  // namespace pelrion::ui
