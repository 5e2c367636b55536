// The messages of the current folder as a ten-column table for the main window's list. The
// model is the message store's view port, so a message filed, moved or changed by any part of
// the program shows up at once. It reads only what the store keeps in memory (record and
// summary); nothing is read from the message files.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <QAbstractTableModel>
#include <QFont>

#include "store/account_table.h"
#include "store/folders_view.h"
#include "store/message_table.h"
#include "ui/message_list_columns.h"

namespace pelrion::ui {

// View-state bit of a message highlighted by a refused account removal: drawn in red.
inline constexpr std::uint32_t kViewStateHighlighted = 0x10;

class MessageListModel : public QAbstractTableModel, public store::FoldersView {
  Q_OBJECT

 public:
  explicit MessageListModel(QObject* parent = nullptr);

  // The stores to show. Until they are attached the store's calls are ignored (start-up
  // loads the table first, then attaches). Both must outlive the model or be detached by
  // attaching null.
  void Attach(store::MessageTable* messages, store::AccountTable* accounts);
  // Makes folder current and lists its messages, in the current sort order.
  void ShowFolder(store::Folder folder);
  store::Folder folder() const { return folder_; }

  // The record on a row; null outside the rows.
  store::MessageRecord* RecordAt(int row) const;
  // The row of a record, -1 when it is not listed.
  int RowOf(const store::MessageRecord* record) const;
  // Every row redrawn: the highlight of a refused account removal changes view states
  // without the store telling the view.
  void RedrawAll();
  // Friendly names are remembered per account id; call after an account was renamed.
  void ForgetAccountNames();

  int sort_column() const { return sort_column_; }
  Qt::SortOrder sort_order() const { return sort_order_; }

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // Sorts by a column's key (numbers, times and summary texts compared in place); ties
  // keep id order, so the order is total and new rows can be placed by binary search.
  void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  // FoldersView
  void MessageLinked(store::MessageRecord& record, store::Folder folder) override;
  void MessageUnlinked(store::MessageRecord& record, store::Folder folder) override;
  void MessageChanged(store::MessageRecord& record) override;

 signals:
  // A folder's counters may have changed (a message came, went or changed its read flag).
  void CountsChanged();

 private:
  struct Row {
    store::MessageRecord* record;
    // Whether the message has an attachment; -1 until first needed (it is found in the
    // part table, which costs a copy).
    mutable std::int8_t attachment = -1;
  };

  bool HasAttachment(const Row& row) const;
  const QString& AccountName(std::uint32_t account_id) const;
  QVariant DisplayText(const Row& row, ListColumn column) const;
  // A row's sort key for the current column: a number, or a text compared with ASCII case
  // folded; the id breaks ties, so the order is total.
  struct SortKey {
    std::int64_t number = 0;
    std::string_view text;
    // The text's first bytes, folded and zero-padded, held in the key itself: most
    // comparisons end here without visiting the summary.
    std::array<unsigned char, 32> head{};
    std::uint32_t id = 0;
  };
  SortKey KeyOf(const Row& row) const;
  bool KeyBefore(const SortKey& a, const SortKey& b) const;
  // The sort order's "comes before".
  bool Before(const Row& a, const Row& b) const { return KeyBefore(KeyOf(a), KeyOf(b)); }
  // Ranks of the accounts by friendly name (case ignored), for the Account column's key.
  void RankAccounts();
  void FillRows();
  void SortRows();
  void InsertSorted(store::MessageRecord& record);
  void RemoveRow(int row);

  store::MessageTable* messages_ = nullptr;
  store::AccountTable* accounts_ = nullptr;
  store::Folder folder_ = store::Folder::kInbox;
  std::vector<Row> rows_;
  int sort_column_ = -1;  // -1: id order, as the store keeps them
  Qt::SortOrder sort_order_ = Qt::AscendingOrder;
  mutable std::unordered_map<std::uint32_t, QString> account_names_;
  std::unordered_map<std::uint32_t, int> account_ranks_;
  QFont unread_font_;
};

}  // namespace pelrion::ui
