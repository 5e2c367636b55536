// The Mail Account Properties sheet: "General" (friendly name, the user's name and address)
// and "Servers" (the real servers and logins, the listeners that stand for them, their TLS
// policy, SMTP authentication and whether the account is checked for mail). OK checks the
// fields in a fixed order, shows the first refusal and puts the focus on its field; a
// changed server moves the account to that server's listener and drops the old one when no
// account uses it any more.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>

#include "store/account_creation.h"
#include "store/mail_account.h"
#include "ui/account_window_ports.h"
#include "ui/outgoing_server_dialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace pelrion::ui {

class AccountProperties : public QDialog {
  Q_OBJECT

 public:
  AccountProperties(AccountWindowPorts ports, std::uint32_t account_id, QWidget* parent = nullptr);

  // Checks and stores the fields; false (nothing stored) when one is refused or the account
  // is gone. OK calls it and closes on true.
  bool Apply();
  void accept() override;

  // The widget that takes the focus when field is refused (the "S&ettings..." button for
  // the separate SMTP login).
  QWidget* FieldWidget(store::AccountField field) const;
  QTabWidget* pages() const { return pages_; }
  QCheckBox* include_box() const { return include_; }
  QCheckBox* authentication_box() const { return authentication_; }
  QPushButton* settings_button() const { return settings_; }
  // POP3 (false) or SMTP (true) listener's TLS choice, pinned fingerprint, and Forget.
  QComboBox* tls_mode(bool smtp) const { return server_[smtp].tls_mode; }
  QLabel* pinned(bool smtp) const { return server_[smtp].pinned; }
  QPushButton* forget(bool smtp) const { return server_[smtp].forget; }
  QLineEdit* listener_address(bool smtp) const { return server_[smtp].listener_address; }
  QLineEdit* listener_port(bool smtp) const { return server_[smtp].listener_port; }
  // The SMTP login the "Outgoing Mail Server" window chose (applied on OK).
  OutgoingLogon& outgoing_logon() { return logon_; }

 private:
  struct ServerWidgets {
    QLineEdit* host = nullptr;
    QLineEdit* port = nullptr;
    QLineEdit* listener_address = nullptr;
    QLineEdit* listener_port = nullptr;
    QComboBox* tls_mode = nullptr;
    QLabel* pinned = nullptr;
    QPushButton* forget = nullptr;
    bool forget_pin = false;
  };

  QWidget* GeneralPage();
  QWidget* ServersPage();
  QWidget* ServerGroup(bool smtp, QWidget* parent);
  void ShowListener(bool smtp, std::uint32_t listener_id);
  void EditOutgoingLogon();
  // The fields as typed, SMTP login included; nullopt after a refusal was shown.
  std::optional<store::NewAccount> CheckedFields();
  // The listener for the server now typed: the current one when host (case ignored) and
  // port are unchanged, else the one found or created (and started) for the new server.
  std::uint32_t ListenerFor(std::uint32_t current, const std::string& host, std::uint32_t port,
                            store::ListenerProtocol protocol);

  AccountWindowPorts ports_;
  std::uint32_t id_;
  store::MailAccount original_;
  OutgoingLogon logon_;

  QTabWidget* pages_ = nullptr;
  QLineEdit* friendly_ = nullptr;
  QLineEdit* display_ = nullptr;
  QLineEdit* email_ = nullptr;
  QLineEdit* pop3_user_ = nullptr;
  QLineEdit* pop3_password_ = nullptr;
  QCheckBox* include_ = nullptr;
  QCheckBox* authentication_ = nullptr;
  QPushButton* settings_ = nullptr;
  ServerWidgets server_[2];  // [0] POP3, [1] SMTP
};

}  // namespace pelrion::ui
