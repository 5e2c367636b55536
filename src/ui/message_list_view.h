// The main window's message list: a tree view without branches over MessageListModel. Header
// clicks sort; the header's context menu shows or hides each of the ten columns; the Request
// Sent column appears only while the Quarantine is shown.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QAction>
#include <QTreeView>

#include "ui/message_list_model.h"

namespace pelrion::ui {

class MessageListView : public QTreeView {
  Q_OBJECT

 public:
  explicit MessageListView(MessageListModel& model, QWidget* parent = nullptr);

  // Shows folder's messages; the Request Sent column follows the folder.
  void ShowFolder(store::Folder folder);
  // The user's choice for a column (the header menu's check mark). Request Sent is still
  // hidden outside the Quarantine whatever the choice.
  void SetColumnChosen(ListColumn column, bool chosen);
  bool column_chosen(ListColumn column) const { return chosen_[static_cast<int>(column)]; }
  // The header menu's actions, one per column in column order.
  const std::array<QAction*, kListColumnCount>& column_actions() const { return actions_; }

 private:
  void ApplyColumnVisibility();
  // The store re-files a message to change it (Mark as Read takes it out of its folder and
  // puts it back): a selected row that leaves and comes back within one turn of the event
  // loop is selected again.
  void RememberSelected(int first, int last);
  void ReselectReturned(int first, int last);
  void SetDefaultWidths();

  MessageListModel& model_;
  std::array<bool, kListColumnCount> chosen_;
  std::array<QAction*, kListColumnCount> actions_{};
  std::vector<std::uint32_t> leaving_selected_;  // ids
};

}  // namespace pelrion::ui
