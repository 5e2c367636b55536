// What each command of the main window does: one call into the shared operations, after
// asking what must be asked.
#include <QAction>
#include <QDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QStatusBar>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/random.h"
#include "ui/folder_bar.h"
#include "ui/folder_properties.h"
#include "ui/main_window.h"
#include "ui/message_list_view.h"
#include "ui/message_properties.h"
#include "ui/transfer_status_window.h"
#include "validation/message_commands.h"

namespace pelrion::ui {

void MainWindow::Run(Command command) {
  store::MessageTable* messages = services_.messages;
  switch (command) {
    case Command::kOpen:
      OpenMessages();
      return;
    case Command::kProperties:
      ShowProperties(folder_bar_->hasFocus());
      return;
    case Command::kFolderProperties:
      ShowProperties(true);
      return;
    case Command::kWorkOffline:
      if (services_.cycle) services_.cycle->ToggleOffline();
      IndicatorsShown(services_.cycle != nullptr && services_.cycle->offline());
      return;
    case Command::kClose:
      HideToTray();
      return;
    case Command::kSelectAll:
      list_->selectAll();
      return;
    case Command::kMoveToFolder:
      MoveSelection();
      return;
    case Command::kDelete:
      DeleteSelection();
      return;
    case Command::kEmptyTrash:
      if (messages) validation::EmptyTrash(*messages);
      return;
    case Command::kMarkRead:
      MarkSelection(true);
      return;
    case Command::kMarkUnread:
      MarkSelection(false);
      return;
    case Command::kMarkAllRead:
      MarkAllRead();
      return;
    case Command::kFoldersBar:
      folder_bar_->setVisible(folder_bar_->isHidden());
      action(Command::kFoldersBar)->setChecked(!folder_bar_->isHidden());
      return;
    case Command::kHideFoldersBar:
      folder_bar_->hide();
      action(Command::kFoldersBar)->setChecked(false);
      return;
    case Command::kFolderCaption:
      caption_->setVisible(caption_->isHidden());
      action(Command::kFolderCaption)->setChecked(!caption_->isHidden());
      return;
    case Command::kStatusBar:
      statusBar()->setVisible(statusBar()->isHidden());
      action(Command::kStatusBar)->setChecked(!statusBar()->isHidden());
      return;
    case Command::kSortAscending:
      SortBy(list_->header()->sortIndicatorSection(), Qt::AscendingOrder);
      return;
    case Command::kSortDescending:
      SortBy(list_->header()->sortIndicatorSection(), Qt::DescendingOrder);
      return;
    case Command::kCheckMail:
      CheckMail(std::nullopt);
      return;
    case Command::kApprove:
      if (messages && services_.address_lists) {
        validation::ApproveMessages(*services_.address_lists, *messages, Selection());
      }
      return;
    case Command::kBlacklist:
      if (messages && services_.address_lists) {
        validation::BlacklistMessages(*services_.address_lists, *messages, Selection());
      }
      return;
    case Command::kAbout:
      ShowAbout();
      return;
    case Command::kOpenFolder:
      ShowFolder(current_folder());
      list_->setFocus();
      return;
    case Command::kImportAddresses:
    case Command::kAddMailAccount:
    case Command::kAddressLists:
    case Command::kTrustedDomains:
    case Command::kAccounts:
    case Command::kListeners:
    case Command::kOptions:
    case Command::kHelpContents:
      OpenProgramWindow(command);
      return;
  }
}

void MainWindow::OpenProgramWindow(Command command) {
  const auto window = services_.windows.find(command);
  if (window == services_.windows.end()) return;
  window->second();
  // A window may have changed what the commands depend on (accounts for Check Mail).
  UpdateCommandStates();
}

void MainWindow::CheckMail(std::optional<std::uint32_t> account) {
  if (services_.cycle == nullptr) return;
  services_.cycle->CheckMailCommand(account);
  // The transfer window is the user's view of a check they asked for.
  if (services_.cycle->checking()) {
    transfer_->show();
    transfer_->raise();
  }
}

void MainWindow::OpenMessages() {
  for (store::MessageRecord* record : Selection()) {
    if (!OpenMessage(*record)) return;
  }
}

// Verifies the stored data, shows a copy in the temporary folder with the desktop's mail
// program (the original stays untouched whatever the viewer does) and marks the message
// read. False when the remaining messages should not be tried.
bool MainWindow::OpenMessage(store::MessageRecord& record) {
  store::MessageTable& messages = *services_.messages;
  const std::string path = messages.MessageFilePath(record);
  if (!messages.CheckMessageData(record)) {
    ports_.dialogs.MessageBox(
        QString::fromLatin1(kDataCheckFailed).arg(QString::fromStdString(path)).toStdString(),
        "Warning", platform::DialogIcon::kWarning, platform::DialogButtons::kOk);
    return false;
  }
  if (services_.eml_viewer.empty() || !services_.launch) {
    ports_.dialogs.MessageBox(kNoMailViewer, "Pelrion", platform::DialogIcon::kWarning,
                              platform::DialogButtons::kOk);
    return false;
  }
  const std::string copy =
      services_.temp_folder + "O" + std::to_string(platform::Random32()) + ".eml";
  std::error_code error;
  std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing, error);
  if (error || !services_.launch(copy, services_.eml_viewer)) {
    ports_.dialogs.MessageBox(kNoMailViewer, "Pelrion", platform::DialogIcon::kWarning,
                              platform::DialogButtons::kOk);
    return false;
  }
  messages.MarkRead(record);
  return true;
}

void MainWindow::ShowProperties(bool folder) {
  if (services_.messages == nullptr) return;
  if (folder) {
    FolderProperties sheet(current_folder(), *services_.messages, this);
    run_dialog(sheet);
    return;
  }
  const std::vector<store::MessageRecord*> selection = Selection();
  if (selection.empty()) return;
  MessageProperties sheet(*selection.front(), *services_.messages, services_.temp_folder,
                          services_.desktop, this);
  run_dialog(sheet);
}

void MainWindow::DeleteSelection() {
  const std::vector<store::MessageRecord*> selection = Selection();
  if (selection.empty() || services_.messages == nullptr) return;
  if (validation::DeletesForGood(selection) &&
      ports_.dialogs.MessageBox(kDeleteForGoodQuestion, "Pelrion", platform::DialogIcon::kWarning,
                                platform::DialogButtons::kYesNo) != platform::DialogAnswer::kYes) {
    return;
  }
  validation::DeleteMessages(*services_.messages, selection);
}

void MainWindow::MoveSelection() {
  const std::vector<store::MessageRecord*> selection = Selection();
  if (selection.empty() || services_.messages == nullptr) return;
  const std::optional<store::Folder> target = choose_folder(current_folder());
  if (!target) return;
  if (*target == store::Folder::kQuarantine) {
    ports_.dialogs.MessageBox(kNoQuarantineTarget, "Pelrion", platform::DialogIcon::kInformation,
                              platform::DialogButtons::kOk);
    return;
  }
  services_.messages->MoveMessages(selection, *target);
}

void MainWindow::MarkSelection(bool read) {
  if (services_.messages == nullptr) return;
  for (store::MessageRecord* record : Selection()) {
    if (read) {
      services_.messages->MarkRead(*record);
    } else {
      services_.messages->MarkUnread(*record);
    }
  }
}

void MainWindow::MarkAllRead() {
  if (services_.messages == nullptr) return;
  // Collected first: marking re-files a message, which moves the rows.
  std::vector<store::MessageRecord*> unread;
  for (int row = 0; row < ports_.model.rowCount(); ++row) {
    store::MessageRecord* record = ports_.model.RecordAt(row);
    if (record != nullptr && !record->read()) unread.push_back(record);
  }
  for (store::MessageRecord* record : unread) services_.messages->MarkRead(*record);
}

void MainWindow::SortBy(int column, Qt::SortOrder order) {
  if (column < 0 || column >= kListColumnCount) column = static_cast<int>(ListColumn::kReceived);
  list_->sortByColumn(column, order);
  UpdateSortChecks();
}

void MainWindow::ShowAbout() {
  QMessageBox box(QMessageBox::Information, QStringLiteral("About Pelrion"),
                  QStringLiteral("Pelrion\n\nKeeps unwanted mail out of your mailboxes: mail from "
                                 "senders you do not know waits in the Quarantine until they "
                                 "answer a one-time request."),
                  QMessageBox::Ok, this);
  run_dialog(box);
}

}  // namespace pelrion::ui
