// The folder bar: the four folders, each with its unread count, one of them current. The
// status bar's count text for the current folder lives here too, since both read the same
// folder counters.
#pragma once

#include <array>

#include <QListWidget>
#include <QString>

#include "store/folder_counters.h"
#include "store/message_record.h"
#include "store/message_table.h"

namespace pelrion::ui {

// "%d message(s), %d unread".
QString FolderCountText(const store::FolderCount& count);
// The folder's name, followed by " (n)" while it holds n > 0 unread messages.
QString FolderBarText(store::Folder folder, const store::FolderCount& count);

// The four folders' counters, in folder order.
std::array<store::FolderCount, store::kFolderCount> FolderCounts(const store::MessageTable& table);

class FolderBar : public QListWidget {
  Q_OBJECT

 public:
  explicit FolderBar(QWidget* parent = nullptr);

  // Redraws the four entries from the store's counters.
  void ShowCounts(const std::array<store::FolderCount, store::kFolderCount>& counts);
  void SetCurrentFolder(store::Folder folder);
  store::Folder current_folder() const;

 signals:
  void FolderChosen(store::Folder folder);
};

}  // namespace pelrion::ui
