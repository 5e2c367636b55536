// The chooser behind "Move to Folder": a prompt, the folders, and a "Move" button.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <optional>

#include "store/message_record.h"

namespace pelrion::ui {

class MoveToFolderDialog : public QDialog {
 public:
  // current is preselected; Move is offered only for another folder.
  MoveToFolderDialog(store::Folder current, QWidget* parent = nullptr);

  // The folder chosen, when the dialog was accepted.
  std::optional<store::Folder> Chosen() const;

  QListWidget& folders() { return *folders_; }
  QPushButton& move_button() { return *move_; }

 private:
  void UpdateMoveButton();

  store::Folder current_;
  QListWidget* folders_;
  QPushButton* move_;
};

}  // namespace pelrion::ui
