// A folder's properties sheet: its type, the total size of its messages and how many there
// are, kept current while the sheet is open.
#pragma once

#include <QDialog>

#include "store/message_record.h"
#include "store/message_table.h"

class QLabel;

namespace pelrion::ui {

// "Size:" and "Contains:" of the folder as the counters give them now.
QString FolderSizeText(const store::FolderCount& count);
QString FolderContainsText(const store::FolderCount& count);

class FolderProperties : public QDialog {
  Q_OBJECT

 public:
  // messages must outlive the sheet.
  FolderProperties(store::Folder folder, const store::MessageTable& messages,
                   QWidget* parent = nullptr);

  QString SizeText() const;
  QString ContainsText() const;
  // Reads the folder's counters again (a timer does this while the sheet is open).
  void Refresh();

 private:
  store::Folder folder_;
  const store::MessageTable& messages_;
  QLabel* size_ = nullptr;
  QLabel* contains_ = nullptr;
};

}  // namespace pelrion::ui
