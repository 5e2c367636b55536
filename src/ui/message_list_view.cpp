#include "ui/message_list_view.h"

#include <algorithm>

#include <QHeaderView>
#include <QTimer>
#include <QMenu>

namespace pelrion::ui {

MessageListView::MessageListView(MessageListModel& model, QWidget* parent)
    : QTreeView(parent), model_(model) {
  chosen_.fill(true);
  // Ahead of the selection model's own handlers, which drop a leaving row's selection.
  connect(&model_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
          [this](const QModelIndex&, int first, int last) { RememberSelected(first, last); });
  connect(&model_, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex&, int first, int last) { ReselectReturned(first, last); });
  setModel(&model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  // Every row has the same height: the view then lays out 100,000 rows without asking each.
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setTextElideMode(Qt::ElideRight);
  setIconSize(QSize(16, 16));

  QHeaderView* bar = header();
  bar->setSectionsMovable(false);
  bar->setStretchLastSection(true);
  bar->setSortIndicator(static_cast<int>(ListColumn::kReceived), Qt::DescendingOrder);
  setSortingEnabled(true);
  SetDefaultWidths();

  bar->setContextMenuPolicy(Qt::CustomContextMenu);
  for (int column = 0; column < kListColumnCount; ++column) {
    const std::string_view heading = kListColumnHeadings[static_cast<std::size_t>(column)];
    auto* action = new QAction(
        QString::fromLatin1(heading.data(), static_cast<qsizetype>(heading.size())), this);
    action->setCheckable(true);
    action->setChecked(true);
    connect(action, &QAction::toggled, this, [this, column](bool checked) {
      SetColumnChosen(static_cast<ListColumn>(column), checked);
    });
    actions_[static_cast<std::size_t>(column)] = action;
  }
  connect(bar, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu menu(this);
    for (QAction* action : actions_) menu.addAction(action);
    menu.exec(header()->mapToGlobal(at));
  });
  ApplyColumnVisibility();
}

void MessageListView::RememberSelected(int first, int last) {
  QItemSelectionModel* selection = selectionModel();
  for (int row = first; row <= last; ++row) {
    if (!selection->isRowSelected(row, {})) continue;
    if (const store::MessageRecord* record = model_.RecordAt(row)) {
      if (leaving_selected_.empty()) {
        QTimer::singleShot(0, this, [this] { leaving_selected_.clear(); });
      }
      leaving_selected_.push_back(record->id);
    }
  }
}

void MessageListView::ReselectReturned(int first, int last) {
  if (leaving_selected_.empty()) return;
  for (int row = first; row <= last; ++row) {
    const store::MessageRecord* record = model_.RecordAt(row);
    if (record == nullptr) continue;
    const auto found = std::find(leaving_selected_.begin(), leaving_selected_.end(), record->id);
    if (found == leaving_selected_.end()) continue;
    leaving_selected_.erase(found);
    selectionModel()->select(model_.index(row, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

void MessageListView::SetDefaultWidths() {
  const QFontMetrics metrics = fontMetrics();
  // The icon columns are as wide as their headings; the text columns as wide as typical
  // content.
  const auto heading_width = [&](ListColumn column) {
    const std::string_view heading = ListColumnHeading(column);
    return metrics.horizontalAdvance(
               QString::fromLatin1(heading.data(), static_cast<qsizetype>(heading.size()))) +
           metrics.horizontalAdvance(QStringLiteral("MMM"));
  };
  const int date_width = metrics.horizontalAdvance(QStringLiteral("12/30/26 23:59")) +
                         metrics.horizontalAdvance(QStringLiteral("MM"));
  const int char_width = metrics.averageCharWidth();
  const std::array<int, kListColumnCount> widths = {
      heading_width(ListColumn::kStatus), heading_width(ListColumn::kAttachment),
      std::max(date_width, heading_width(ListColumn::kRequestSent)), 22 * char_width,
      32 * char_width, date_width, heading_width(ListColumn::kSize), 14 * char_width,
      date_width, 22 * char_width};
  for (int column = 0; column < kListColumnCount; ++column) {
    header()->resizeSection(column, widths[static_cast<std::size_t>(column)]);
  }
}

void MessageListView::ShowFolder(store::Folder folder) {
  model_.ShowFolder(folder);
  ApplyColumnVisibility();
}

void MessageListView::SetColumnChosen(ListColumn column, bool chosen) {
  chosen_[static_cast<int>(column)] = chosen;
  QAction* action = actions_[static_cast<std::size_t>(column)];
  if (action != nullptr && action->isChecked() != chosen) action->setChecked(chosen);
  ApplyColumnVisibility();
}

void MessageListView::ApplyColumnVisibility() {
  for (int column = 0; column < kListColumnCount; ++column) {
    bool shown = chosen_[static_cast<std::size_t>(column)];
    if (static_cast<ListColumn>(column) == ListColumn::kRequestSent) {
      shown = shown && model_.folder() == store::Folder::kQuarantine;
    }
    setColumnHidden(column, !shown);
  }
}

}  // namespace pelrion::ui
