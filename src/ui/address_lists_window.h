// The "Address Lists" window: the contacts of one list (chosen at the top) in two columns,
// "Name" and "E-Mail", sortable by either. It creates contacts ("&New Contact"), opens their
// properties, moves them to the other list and deletes them; the table tells it of every
// change made elsewhere (sender validation, the relay, the main window's Approve), so it
// exists for the whole run and is only hidden when closed. Its column widths and order, sort,
// list and place are kept in the "Address Lists" registry value, read when it is made and
// written each time it closes.
#pragma once

#include <QMainWindow>
#include <functional>
#include <vector>

#include "platform/registry.h"
#include "store/address_list_table.h"
#include "store/address_lists_window_state.h"

class QComboBox;
class QTreeView;

namespace pelrion::ui {

class AddressListsModel;

// More rows than these inserted or moved at once, or contacts listed, show the wait cursor.
inline constexpr std::size_t kWaitCursorRows = 100;
inline constexpr std::size_t kWaitCursorContacts = 5000;

class AddressListsWindow : public QMainWindow, private store::AddressListView {
  Q_OBJECT

 public:
  // Becomes the table's view until destroyed. lists and registry must outlive the window.
  AddressListsWindow(store::AddressListTable& lists, platform::Registry& registry,
                     QWidget* parent = nullptr);
  ~AddressListsWindow() override;

  // Shows list_index (0 Trusted Contacts, 1 Black List) and names it in the title.
  void ShowList(int list_index);
  int ShownList() const;

  // The contacts whose rows are selected, in row order.
  std::vector<store::Contact*> SelectedContacts() const;
  // Selects the rows of these contacts (others are deselected).
  void SelectContacts(const std::vector<store::Contact*>& contacts);
  // Moves the selected contacts to list_index (nothing when it is the list shown).
  void MoveSelected(int list_index);
  // Runs change, which adds or moves up to rows contacts (Approve or Blacklist Sender over the
  // selected messages, an address import), under the wait cursor when rows is over the limit.
  void RunBulkChange(std::size_t rows, const std::function<void()>& change);
  // Asks "Are you sure you want to delete these contact(s)?" and deletes them on Yes.
  void DeleteSelected();

  // The state as the window stands now, and storing it.
  store::AddressListsWindowState CurrentState() const;
  void SaveState();

  AddressListsModel* model() const { return model_; }
  QTreeView* view() const { return view_; }
  QComboBox* list_choice() const { return list_choice_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // store::AddressListView
  void ContactAdded(store::Contact& contact) override;
  void ContactMoved(store::Contact& contact) override;
  void ContactRemoved(store::Contact& contact) override;

  void BuildMenus();
  void ApplyState(const store::AddressListsWindowState& state);
  void NewContact();
  void OpenProperties();
  void AskAndMove();
  void ShowContextMenu(const QPoint& at);
  void UpdateActions();

  store::AddressListTable& lists_;
  platform::Registry& registry_;
  AddressListsModel* model_ = nullptr;
  QTreeView* view_ = nullptr;
  QComboBox* list_choice_ = nullptr;
  QAction* new_contact_ = nullptr;
  QAction* properties_ = nullptr;
  QAction* move_ = nullptr;
  QAction* delete_ = nullptr;
};

}  // namespace pelrion::ui
