#include "ui/move_to_folder_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>
#include <string>

namespace pelrion::ui {

MoveToFolderDialog::MoveToFolderDialog(store::Folder current, QWidget* parent)
    : QDialog(parent), current_(current), folders_(new QListWidget(this)), move_(nullptr) {
  setWindowTitle(QStringLiteral("Move to Folder"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Move the item(s) to the selected folder:"), this));
  for (int i = 0; i < store::kFolderCount; ++i) {
    const auto name = store::FolderName(static_cast<store::Folder>(i));
    folders_->addItem(QString::fromStdString(std::string(name)));
  }
  folders_->setCurrentRow(static_cast<int>(current));
  layout->addWidget(folders_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  move_ = buttons->addButton(QStringLiteral("Move"), QDialogButtonBox::AcceptRole);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(folders_, &QListWidget::currentRowChanged, this, [this] { UpdateMoveButton(); });
  UpdateMoveButton();
}

void MoveToFolderDialog::UpdateMoveButton() {
  const int row = folders_->currentRow();
  move_->setEnabled(row >= 0 && row != static_cast<int>(current_));
}

std::optional<store::Folder> MoveToFolderDialog::Chosen() const {
  const int row = folders_->currentRow();
  if (result() != QDialog::Accepted || row < 0 || row >= store::kFolderCount) return std::nullopt;
  return static_cast<store::Folder>(row);
}

}  // namespace pelrion::ui
