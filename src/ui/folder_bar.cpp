#include "ui/folder_bar.h"

#include <QSignalBlocker>

#include "ui/list_icons.h"

namespace pelrion::ui {

QString FolderCountText(const store::FolderCount& count) {
  return QString::asprintf("%d message(s), %d unread", count.messages, count.unread);
}

QString FolderBarText(store::Folder folder, const store::FolderCount& count) {
  const std::string_view name = store::FolderName(folder);
  QString text = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
  if (count.unread > 0) text += QString::asprintf(" (%d)", count.unread);
  return text;
}

std::array<store::FolderCount, store::kFolderCount> FolderCounts(const store::MessageTable& table) {
  std::array<store::FolderCount, store::kFolderCount> counts{};
  for (int index = 0; index < store::kFolderCount; ++index) {
    counts[static_cast<std::size_t>(index)] = table.Counter(static_cast<store::Folder>(index));
  }
  return counts;
}

FolderBar::FolderBar(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setIconSize(QSize(16, 16));
  for (int index = 0; index < store::kFolderCount; ++index) {
    auto* item = new QListWidgetItem(FolderIcon(index),
                                     FolderBarText(static_cast<store::Folder>(index), {}), this);
    item->setData(Qt::UserRole, index);
  }
  setCurrentRow(0);
  connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) emit FolderChosen(static_cast<store::Folder>(row));
  });
}

void FolderBar::ShowCounts(const std::array<store::FolderCount, store::kFolderCount>& counts) {
  for (int index = 0; index < store::kFolderCount; ++index) {
    const auto folder = static_cast<store::Folder>(index);
    QFont font = item(index)->font();
    font.setBold(counts[static_cast<std::size_t>(index)].unread > 0);
    item(index)->setFont(font);
    item(index)->setText(FolderBarText(folder, counts[static_cast<std::size_t>(index)]));
  }
}

void FolderBar::SetCurrentFolder(store::Folder folder) {
  // The program's own change is not the user's choice: announcing it would show the folder a
  // second time (a second sort of a large Quarantine).
  const QSignalBlocker quiet(this);
  setCurrentRow(static_cast<int>(folder));
}

store::Folder FolderBar::current_folder() const {
  const int row = currentRow();
  return row >= 0 ? static_cast<store::Folder>(row) : store::Folder::kInbox;
}

}  // namespace pelrion::ui
