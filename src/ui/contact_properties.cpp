#include "ui/contact_properties.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "mailformat/addresses.h"
#include "mailformat/ascii.h"
#include "platform/dialogs.h"
#include "ui/address_lists_field_limit.h"

namespace pelrion::ui {
namespace {

constexpr std::string_view kDoesNotLookValid =
    "The specified e-mail address does not appear to be valid, do you want to use it anyway?";

void Warn(const std::string& text) {
  platform::CurrentDialogs().MessageBox(text, kAddressListsCaption, platform::DialogIcon::kWarning,
                                        platform::DialogButtons::kOk);
}

QString Text(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

std::string AddressInOwnListText(std::string_view address) {
  return "The '" + std::string(address) + "' Address is already in the list.";
}

ContactProperties::ContactProperties(store::AddressListTable& lists, const store::Contact* contact,
                                     int list_index, QWidget* parent)
    : QDialog(parent), lists_(lists) {
  setWindowTitle(tr("Contact Properties"));
  name_ = new QLineEdit(this);
  list_choice_ = new QComboBox(this);
  for (int index = 0; index < store::kAddressListCount; ++index) {
    list_choice_->addItem(Text(store::AddressListName(index)));
  }
  addresses_ = new QListWidget(this);
  addresses_->setSelectionMode(QAbstractItemView::SingleSelection);
  addresses_->setMinimumHeight(120);
  new_address_ = new QLineEdit(this);
  address_ = new QLineEdit(this);
  add_ = new QPushButton(tr("&Add"), this);
  modify_ = new QPushButton(tr("&Modify"), this);
  remove_ = new QPushButton(tr("Remo&ve"), this);

  auto* grid = new QGridLayout;
  auto labelled = [&](int row, const QString& text, QWidget* field) {
    auto* label = new QLabel(text, this);
    label->setBuddy(field);
    const bool tall = field == addresses_;
    grid->addWidget(label, row, 0, Qt::AlignLeft | (tall ? Qt::AlignTop : Qt::AlignVCenter));
    grid->addWidget(field, row, 1);
  };
  labelled(0, tr("&Name:"), name_);
  labelled(1, tr("Select Address &List:"), list_choice_);
  labelled(2, tr("&E-Mail Addresses:"), addresses_);
  grid->addWidget(remove_, 2, 2, Qt::AlignTop);
  labelled(3, tr("Ne&w Address:"), new_address_);
  grid->addWidget(add_, 3, 2);
  labelled(4, tr("Add&ress:"), address_);
  grid->addWidget(modify_, 4, 2);
  grid->setColumnMinimumWidth(1, 300);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &ContactProperties::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(buttons);

  list_choice_->setCurrentIndex(list_index == store::kBlackList ? 1 : 0);
  if (contact != nullptr) {
    contact_id_ = contact->id;
    name_->setText(Text(contact->blob.name));
    list_choice_->setCurrentIndex(store::ListIndexOf(*contact));
    for (const std::string& address : contact->blob.addresses) addresses_->addItem(Text(address));
  }

  connect(add_, &QPushButton::clicked, this, &ContactProperties::AddAddress);
  connect(modify_, &QPushButton::clicked, this, &ContactProperties::ModifyAddress);
  connect(remove_, &QPushButton::clicked, this, &ContactProperties::RemoveAddress);
  connect(new_address_, &QLineEdit::textChanged, this, &ContactProperties::UpdateButtons);
  connect(address_, &QLineEdit::textChanged, this, &ContactProperties::UpdateButtons);
  connect(addresses_, &QListWidget::currentRowChanged, this, [this](int row) {
    address_->setText(row >= 0 ? addresses_->item(row)->text() : QString());
    UpdateButtons();
  });
  UpdateButtons();
}

void ContactProperties::UpdateButtons() {
  const bool selected = addresses_->currentRow() >= 0;
  add_->setEnabled(!new_address_->text().trimmed().isEmpty());
  modify_->setEnabled(selected && !address_->text().trimmed().isEmpty());
  remove_->setEnabled(selected);
  ok_->setEnabled(addresses_->count() > 0);
}

std::optional<std::string> ContactProperties::EnteredAddress(const QLineEdit& field,
                                                             const QString& label, int skip_row) {
  const std::string bytes = FieldBytes(field.text().trimmed());
  if (bytes.empty()) return std::nullopt;
  if (bytes.size() > kMaxFieldBytes) {
    Warn(FieldBytes(FieldTooLongText(label, kMaxFieldBytes, bytes.size())));
    return std::nullopt;
  }
  std::string address = mailformat::ascii::ToLowerCopy(bytes);
  if (!mailformat::IsValidAddress(address) &&
      platform::CurrentDialogs().MessageBox(
          kDoesNotLookValid, kAddressListsCaption, platform::DialogIcon::kQuestion,
          platform::DialogButtons::kYesNoDefaultNo) != platform::DialogAnswer::kYes) {
    return std::nullopt;
  }
  for (int row = 0; row < addresses_->count(); ++row) {
    if (row != skip_row && FieldBytes(addresses_->item(row)->text()) == address) {
      Warn(AddressInOwnListText(address));
      return std::nullopt;
    }
  }
  return address;
}

bool ContactProperties::AddAddress() {
  const std::optional<std::string> address = EnteredAddress(*new_address_, tr("New Address:"), -1);
  if (!address) return false;
  addresses_->addItem(Text(*address));
  new_address_->clear();
  UpdateButtons();
  return true;
}

bool ContactProperties::ModifyAddress() {
  const int row = addresses_->currentRow();
  if (row < 0) return false;
  const std::optional<std::string> address = EnteredAddress(*address_, tr("Address:"), row);
  if (!address) return false;
  addresses_->item(row)->setText(Text(*address));
  address_->setText(Text(*address));
  return true;
}

void ContactProperties::RemoveAddress() {
  const int row = addresses_->currentRow();
  if (row < 0) return;
  delete addresses_->takeItem(row);
  UpdateButtons();
}

std::vector<std::string> ContactProperties::Addresses() const {
  std::vector<std::string> addresses;
  for (int row = 0; row < addresses_->count(); ++row) {
    addresses.push_back(FieldBytes(addresses_->item(row)->text()));
  }
  return addresses;
}

void ContactProperties::accept() {
  const std::string name = FieldBytes(name_->text().trimmed());
  if (name.size() > kMaxFieldBytes) {
    Warn(FieldBytes(FieldTooLongText(tr("Name:"), kMaxFieldBytes, name.size())));
    name_->setFocus(Qt::OtherFocusReason);
    return;
  }
  const std::vector<std::string> addresses = Addresses();
  if (addresses.empty()) return;
  store::Contact* const editing = contact_id_ != 0 ? lists_.Find(contact_id_) : nullptr;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    const store::Contact* holder = lists_.FindByAddress(addresses[i]);
    if (holder != nullptr && holder != editing) {
      Warn(store::AddressHeldText(addresses[i], *holder));
      addresses_->setCurrentRow(static_cast<int>(i));
      addresses_->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
  const int list_index = list_choice_->currentIndex();
  saved_ = editing != nullptr ? lists_.ReplaceContact(*editing, name, addresses, list_index)
                              : lists_.AddContact(name, addresses, list_index);
  if (saved_ == nullptr) return;  // the checks above leave the table nothing to refuse
  QDialog::accept();
}

}  // namespace pelrion::ui
