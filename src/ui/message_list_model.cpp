#include "ui/message_list_model.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include <QApplication>
#include <QColor>

#include "mailformat/size_text.h"
#include "ui/list_icons.h"

namespace pelrion::ui {
namespace {

using store::Folder;
using store::MessageRecord;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

unsigned char Folded(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + 32) : byte;
}

// <0, 0, >0 as a and b compare with ASCII letters folded to lower case; no copies made.
int CompareFolded(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const unsigned char ca = Folded(a[i]);
    const unsigned char cb = Folded(b[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The attachment rule: a MIME part marked as attachment, or a uuencoded block of a plain
// message.
bool SummaryHasAttachment(const store::MessageSummary& summary) {
  const mailformat::PartTable table = summary.part_table();
  if (table.uuencoded_count > 0) return true;
  return std::any_of(table.parts.begin(), table.parts.end(),
                     [](const mailformat::PartEntry& part) { return part.attachment != 0; });
}

bool IsTextColumn(int column) {
  const auto which = static_cast<ListColumn>(column);
  return which == ListColumn::kFrom || which == ListColumn::kSubject || which == ListColumn::kTo;
}

}  // namespace

MessageListModel::MessageListModel(QObject* parent) : QAbstractTableModel(parent) {
  unread_font_ = QApplication::font();
  unread_font_.setBold(true);
}

void MessageListModel::Attach(store::MessageTable* messages, store::AccountTable* accounts) {
  beginResetModel();
  messages_ = messages;
  accounts_ = accounts;
  account_names_.clear();
  RankAccounts();
  FillRows();
  endResetModel();
  emit CountsChanged();
}

void MessageListModel::ShowFolder(Folder folder) {
  beginResetModel();
  folder_ = folder;
  FillRows();
  endResetModel();
}

MessageRecord* MessageListModel::RecordAt(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return nullptr;
  return rows_[static_cast<std::size_t>(row)].record;
}

int MessageListModel::RowOf(const MessageRecord* record) const {
  const auto found = std::find_if(rows_.begin(), rows_.end(),
                                  [&](const Row& row) { return row.record == record; });
  return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

void MessageListModel::RedrawAll() {
  if (!rows_.empty()) emit dataChanged(index(0, 0), index(rowCount() - 1, kListColumnCount - 1));
}

void MessageListModel::ForgetAccountNames() {
  account_names_.clear();
  RankAccounts();
  RedrawAll();
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kListColumnCount;
}

bool MessageListModel::HasAttachment(const Row& row) const {
  if (row.attachment < 0) row.attachment = SummaryHasAttachment(row.record->summary) ? 1 : 0;
  return row.attachment == 1;
}

const QString& MessageListModel::AccountName(std::uint32_t account_id) const {
  auto found = account_names_.find(account_id);
  if (found == account_names_.end()) {
    QString name;
    if (accounts_ != nullptr) {
      if (const auto account = accounts_->CopyOf(account_id)) {
        name = Utf8(account->friendly_name.Text());
      }
    }
    found = account_names_.emplace(account_id, name).first;
  }
  return found->second;
}

QVariant MessageListModel::DisplayText(const Row& row, ListColumn column) const {
  const MessageRecord& record = *row.record;
  const store::MessageSummary& summary = record.summary;
  switch (column) {
    case ListColumn::kStatus:
    case ListColumn::kAttachment: return {};
    case ListColumn::kRequestSent:
      // Only the Quarantine's messages wait for a request.
      if (folder_ != Folder::kQuarantine) return QString();
      return QString::fromStdString(RequestSentText(record.request_sent_time));
    case ListColumn::kFrom: return Utf8(AddressCellText(summary.from_text()));
    case ListColumn::kSubject: return Utf8(summary.subject_decoded());
    case ListColumn::kReceived: return QString::fromStdString(ListDateText(summary.received));
    case ListColumn::kSize: return QString::fromStdString(mailformat::FormatSizeKb(summary.file_size));
    case ListColumn::kAccount: return AccountName(record.account_id);
    case ListColumn::kSent: return QString::fromStdString(ListDateText(summary.sent));
    case ListColumn::kTo: return Utf8(AddressCellText(summary.to_text()));
  }
  return {};
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= kListColumnCount) {
    return {};
  }
  const Row& row = rows_[static_cast<std::size_t>(index.row())];
  const auto column = static_cast<ListColumn>(index.column());
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return DisplayText(row, column);
    case Qt::DecorationRole:
      if (column == ListColumn::kStatus) return StatusIcon(row.record->status);
      if (column == ListColumn::kAttachment && HasAttachment(row)) return AttachmentIcon();
      return {};
    case Qt::TextAlignmentRole:
      if (column == ListColumn::kSize) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
      if (!row.record->read()) return unread_font_;
      return {};
    case Qt::ForegroundRole:
      if ((row.record->view_state & kViewStateHighlighted) != 0) return QColor(Qt::red);
      return {};
    default:
      return {};
  }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation,
                                      int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kListColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  const auto column = static_cast<ListColumn>(section);
  if (role == Qt::DisplayRole) {
    const std::string_view heading = ListColumnHeading(column);
    return QString::fromLatin1(heading.data(), static_cast<qsizetype>(heading.size()));
  }
  if (role == Qt::TextAlignmentRole && column == ListColumn::kSize) {
    return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

void MessageListModel::RankAccounts() {
  account_ranks_.clear();
  if (accounts_ == nullptr) return;
  std::vector<std::uint32_t> ids = accounts_->Ids();
  std::sort(ids.begin(), ids.end(), [&](std::uint32_t a, std::uint32_t b) {
    return accounts_->CompareAccountNames(a, b) < 0;
  });
  int rank = 0;
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i > 0 && accounts_->CompareAccountNames(ids[i - 1], ids[i]) != 0) ++rank;
    account_ranks_[ids[i]] = rank;
  }
}

MessageListModel::SortKey MessageListModel::KeyOf(const Row& row) const {
  const MessageRecord& record = *row.record;
  const store::MessageSummary& summary = record.summary;
  SortKey key;
  key.id = record.id;
  switch (static_cast<ListColumn>(sort_column_)) {
    case ListColumn::kStatus: key.number = record.status; break;
    case ListColumn::kAttachment: key.number = HasAttachment(row) ? 1 : 0; break;
    case ListColumn::kRequestSent: key.number = record.request_sent_time; break;
    case ListColumn::kFrom: key.text = AddressCellText(summary.from_text()); break;
    case ListColumn::kSubject: key.text = summary.subject_decoded(); break;
    case ListColumn::kReceived: key.number = summary.received; break;
    case ListColumn::kSize: key.number = summary.file_size; break;
    case ListColumn::kAccount: {
      const auto found = account_ranks_.find(record.account_id);
      key.number = found == account_ranks_.end() ? INT_MAX : found->second;
      break;
    }
    case ListColumn::kSent: key.number = summary.sent; break;
    case ListColumn::kTo: key.text = AddressCellText(summary.to_text()); break;
  }
  // Summary texts hold no zero byte, so zero padding sorts a shorter text first.
  const std::size_t head = std::min(key.text.size(), key.head.size());
  for (std::size_t i = 0; i < head; ++i) key.head[i] = Folded(key.text[i]);
  return key;
}

bool MessageListModel::KeyBefore(const SortKey& a, const SortKey& b) const {
  if (sort_column_ >= 0) {
    int order = 0;
    if (IsTextColumn(sort_column_)) {
      order = std::memcmp(a.head.data(), b.head.data(), a.head.size());
      const bool heads_whole = a.text.size() <= a.head.size() && b.text.size() <= b.head.size();
      if (order == 0 && !heads_whole) order = CompareFolded(a.text, b.text);
    } else {
      order = a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    }
    if (order != 0) return (order < 0) != (sort_order_ == Qt::DescendingOrder);
  }
  return a.id < b.id;
}

void MessageListModel::FillRows() {
  rows_.clear();
  if (messages_ == nullptr) return;
  for (MessageRecord* record : messages_->records()) {
    if (record->folder() == folder_) rows_.push_back({record});
  }
  if (sort_column_ >= 0) SortRows();  // else the store's id order already
}

void MessageListModel::SortRows() {
  // Each row's key is found once, then the keys are sorted side by side with their rows:
  // no text lookups or record visits inside the comparisons.
  std::vector<std::pair<SortKey, Row>> keyed;
  keyed.reserve(rows_.size());
  for (const Row& row : rows_) keyed.emplace_back(KeyOf(row), row);
  std::sort(keyed.begin(), keyed.end(), [this](const auto& a, const auto& b) {
    return KeyBefore(a.first, b.first);
  });
  for (std::size_t i = 0; i < keyed.size(); ++i) rows_[i] = keyed[i].second;
}

void MessageListModel::sort(int column, Qt::SortOrder order) {
  if (column < -1 || column >= kListColumnCount) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  // Remember which record each persistent index (selection, current row) points at.
  const QModelIndexList before = persistentIndexList();
  std::vector<MessageRecord*> held;
  held.reserve(static_cast<std::size_t>(before.size()));
  for (const QModelIndex& index : before) held.push_back(RecordAt(index.row()));

  sort_column_ = column;
  sort_order_ = order;
  // Names may have changed and accounts come since the last sort.
  if (column == static_cast<int>(ListColumn::kAccount)) RankAccounts();
  SortRows();

  std::unordered_map<const MessageRecord*, int> row_of;
  if (!held.empty()) {
    row_of.reserve(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) row_of[rows_[i].record] = static_cast<int>(i);
  }
  QModelIndexList after;
  after.reserve(before.size());
  for (qsizetype i = 0; i < before.size(); ++i) {
    const auto found = row_of.find(held[static_cast<std::size_t>(i)]);
    after.push_back(found == row_of.end() ? QModelIndex()
                                          : index(found->second, before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void MessageListModel::InsertSorted(MessageRecord& record) {
  if (sort_column_ == static_cast<int>(ListColumn::kAccount) &&
      !account_ranks_.contains(record.account_id)) {
    RankAccounts();  // an account added since the list was sorted
  }
  const Row row{&record};
  const auto at = std::upper_bound(rows_.begin(), rows_.end(), row,
                                   [this](const Row& a, const Row& b) { return Before(a, b); });
  const int position = static_cast<int>(at - rows_.begin());
  beginInsertRows({}, position, position);
  rows_.insert(rows_.begin() + position, row);
  endInsertRows();
}

void MessageListModel::RemoveRow(int row) {
  beginRemoveRows({}, row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

void MessageListModel::MessageLinked(MessageRecord& record, Folder folder) {
  if (messages_ == nullptr) return;  // still loading
  if (folder == folder_ && RowOf(&record) < 0) InsertSorted(record);
  emit CountsChanged();
}

void MessageListModel::MessageUnlinked(MessageRecord& record, Folder folder) {
  if (messages_ == nullptr) return;
  if (folder == folder_) {
    const int row = RowOf(&record);
    if (row >= 0) RemoveRow(row);
  }
  emit CountsChanged();
}

void MessageListModel::MessageChanged(MessageRecord& record) {
  if (messages_ == nullptr) return;
  const int row = RowOf(&record);
  if (row < 0) return;
  // A changed key (status, request time) may move the line; otherwise it is redrawn.
  const Row& current = rows_[static_cast<std::size_t>(row)];
  const bool after_previous = row == 0 || Before(rows_[static_cast<std::size_t>(row - 1)], current);
  const bool before_next = row + 1 == rowCount() ||
                           Before(current, rows_[static_cast<std::size_t>(row + 1)]);
  if (after_previous && before_next) {
    emit dataChanged(index(row, 0), index(row, kListColumnCount - 1));
  } else {
    RemoveRow(row);
    InsertSorted(record);
  }
  emit CountsChanged();
}

}  // namespace pelrion::ui
