#include "ui/address_lists_model.h"

#include <algorithm>
#include <compare>

#include "mailformat/ascii.h"
#include "store/address_list_table.h"

namespace pelrion::ui {
namespace {

// Letter case does not decide the order a person expects; the bytes break the tie.
std::weak_ordering CompareText(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto ca = static_cast<unsigned char>(mailformat::ascii::ToLower(a[i]));
    const auto cb = static_cast<unsigned char>(mailformat::ascii::ToLower(b[i]));
    if (ca != cb) return ca <=> cb;
  }
  if (a.size() != b.size()) return a.size() <=> b.size();
  return a <=> b;
}

std::string_view FirstAddress(const store::Contact& contact) {
  return contact.blob.addresses.empty() ? std::string_view() : contact.blob.addresses.front();
}

QString Text(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

std::string EmailColumnText(const store::Contact& contact) {
  std::string text;
  for (const std::string& address : contact.blob.addresses) {
    if (!text.empty()) text += ", ";
    text += address;
  }
  return text;
}

bool AddressListsModel::Before(const store::Contact& a, const store::Contact& b) const {
  // Each address has one owner, so the first address settles every tie but the id's.
  std::weak_ordering order = sort_column_ == kEmail ? CompareText(FirstAddress(a), FirstAddress(b))
                                                    : CompareText(a.blob.name, b.blob.name);
  if (order == 0) {
    order = sort_column_ == kEmail ? CompareText(a.blob.name, b.blob.name)
                                   : CompareText(FirstAddress(a), FirstAddress(b));
  }
  if (order == 0) order = a.id <=> b.id;
  return order_ == Qt::AscendingOrder ? order < 0 : order > 0;
}

void AddressListsModel::SetContacts(const std::vector<store::Contact*>& contacts, int list_index) {
  beginResetModel();
  list_index_ = list_index;
  rows_.clear();
  for (store::Contact* contact : contacts) {
    if (store::ListIndexOf(*contact) == list_index) rows_.push_back(contact);
  }
  std::sort(rows_.begin(), rows_.end(),
            [this](const store::Contact* a, const store::Contact* b) { return Before(*a, *b); });
  endResetModel();
}

void AddressListsModel::Insert(store::Contact& contact) {
  if (RowOf(contact) >= 0) return;
  const auto place = std::upper_bound(
      rows_.begin(), rows_.end(), &contact,
      [this](const store::Contact* a, const store::Contact* b) { return Before(*a, *b); });
  const int row = static_cast<int>(place - rows_.begin());
  beginInsertRows({}, row, row);
  rows_.insert(place, &contact);
  endInsertRows();
}

void AddressListsModel::Remove(const store::Contact& contact) {
  const int row = RowOf(contact);
  if (row < 0) return;
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

store::Contact* AddressListsModel::ContactAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
  return rows_[static_cast<std::size_t>(row)];
}

// The rows are sorted by a total order, so the contact's place is found by halving.
int AddressListsModel::RowOf(const store::Contact& contact) const {
  const auto place = std::lower_bound(
      rows_.begin(), rows_.end(), &contact,
      [this](const store::Contact* a, const store::Contact* b) { return Before(*a, *b); });
  if (place == rows_.end() || *place != &contact) return -1;
  return static_cast<int>(place - rows_.begin());
}

int AddressListsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int AddressListsModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant AddressListsModel::data(const QModelIndex& index, int role) const {
  const store::Contact* contact = ContactAt(index.row());
  if (contact == nullptr || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  if (index.column() == kName) return Text(contact->blob.name);
  return Text(EmailColumnText(*contact));
}

QVariant AddressListsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return section == kName ? tr("Name") : tr("E-Mail");
}

void AddressListsModel::sort(int column, Qt::SortOrder order) {
  if (column != kName && column != kEmail) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<store::Contact*> held;
  for (const QModelIndex& index : before) held.push_back(ContactAt(index.row()));
  sort_column_ = column;
  order_ = order;
  std::sort(rows_.begin(), rows_.end(),
            [this](const store::Contact* a, const store::Contact* b) { return Before(*a, *b); });
  QModelIndexList after;
  for (std::size_t i = 0; i < held.size(); ++i) {
    after.push_back(held[i] ? index(RowOf(*held[i]), before[static_cast<qsizetype>(i)].column())
                            : QModelIndex());
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace pelrion::ui
