// The rows of the Address Lists window: the contacts of the list shown, in the chosen sort
// order ("Name" or "E-Mail", ascending or descending), kept sorted as contacts come and go.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "store/contact.h"

namespace pelrion::ui {

class AddressListsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kName = 0, kEmail = 1, kColumnCount = 2 };

  using QAbstractTableModel::QAbstractTableModel;

  // Shows the contacts of contacts that belong to list_index.
  void SetContacts(const std::vector<store::Contact*>& contacts, int list_index);
  int list_index() const { return list_index_; }

  // Puts the contact at its sorted place; it must belong to the list shown.
  void Insert(store::Contact& contact);
  // Takes the contact's row away, if it has one.
  void Remove(const store::Contact& contact);

  store::Contact* ContactAt(int row) const;
  int RowOf(const store::Contact& contact) const;

  int sort_column() const { return sort_column_; }
  Qt::SortOrder sort_order() const { return order_; }

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  void sort(int column, Qt::SortOrder order) override;

 private:
  // Whether a goes before b in the current order.
  bool Before(const store::Contact& a, const store::Contact& b) const;

  std::vector<store::Contact*> rows_;
  int list_index_ = 0;
  int sort_column_ = kName;
  Qt::SortOrder order_ = Qt::AscendingOrder;
};

// The "E-Mail" column's text: the contact's addresses joined by ", ".
std::string EmailColumnText(const store::Contact& contact);

}  // namespace pelrion::ui
