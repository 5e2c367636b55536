// The "Mail Accounts" window: the accounts by friendly name, "&Add" (the set-up wizard),
// "&Remove" (asked; refused while the account still has messages, which are then drawn in
// red in the message list) and "&Properties" (the account sheet).
#pragma once

#include <QDialog>
#include <cstdint>

#include "ui/account_window_ports.h"

class QListWidget;
class QPushButton;

namespace pelrion::ui {

class MailAccountsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit MailAccountsWindow(AccountWindowPorts ports, QWidget* parent = nullptr);

  QListWidget* list() const { return list_; }
  QPushButton* add_button() const { return add_; }
  QPushButton* remove_button() const { return remove_; }
  QPushButton* properties_button() const { return properties_; }

  // The selected account's id, or 0.
  std::uint32_t SelectedAccount() const;
  // Lists the accounts again, keeping the selection when the account is still there.
  void Refresh();

  void AddAccount();
  void RemoveSelected();
  void EditSelected();

 private:
  void UpdateButtons();

  AccountWindowPorts ports_;
  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* properties_ = nullptr;
};

}  // namespace pelrion::ui
