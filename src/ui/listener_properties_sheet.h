// A listener's properties sheet ("<name> Properties", page "General"): the real server it
// stands for, read-only, and the local address and port the mail program connects to. OK
// checks the address, then the port, and applies them, restarting a running listener whose
// endpoint moved.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QDialog>

#include "platform/dialogs.h"
#include "store/listener_control.h"
#include "store/listener_table.h"

class QComboBox;
class QLineEdit;

namespace pelrion::ui {

class ListenerPropertiesSheet : public QDialog {
  Q_OBJECT

 public:
  // Everything given outlives the sheet. address_choices: what the address field offers
  // ("all (unassigned)" and the machine's addresses; transport::LocalAddressChoices()).
  ListenerPropertiesSheet(store::ListenerTable& table, store::ListenerControl& listeners,
                          platform::Dialogs& dialogs, std::uint32_t listener_id,
                          const std::vector<std::string>& address_choices,
                          QWidget* parent = nullptr);

  // Checks the fields and applies them; false when a field was refused (its message was
  // shown and the field has the focus).
  bool Apply();
  void accept() override;

  QComboBox* address_field() const { return address_; }
  QLineEdit* port_field() const { return port_; }

 private:
  store::ListenerTable& table_;
  store::ListenerControl& listeners_;
  platform::Dialogs& dialogs_;
  std::uint32_t listener_id_;
  QComboBox* address_ = nullptr;
  QLineEdit* port_ = nullptr;
};

}  // namespace pelrion::ui
