// "Outgoing Mail Server": how Pelrion logs on to the SMTP server when it requires
// authentication, with the incoming server's login or with a login of its own.
#pragma once

#include <QDialog>
#include <string>
#include <string_view>

class QLineEdit;
class QRadioButton;

namespace pelrion::ui {

inline constexpr std::string_view kOutgoingUserText =
    "Please enter your account name for logging onto this server.";
inline constexpr std::string_view kOutgoingPasswordText =
    "Please enter your password for logging onto this server.";

struct OutgoingLogon {
  bool same_as_incoming = true;
  std::string user{};  // with its own login: the user name (trimmed) and the password
  std::string password{};
};

class OutgoingServerDialog : public QDialog {
  Q_OBJECT

 public:
  explicit OutgoingServerDialog(const OutgoingLogon& logon, QWidget* parent = nullptr);

  // The choice as accepted.
  const OutgoingLogon& logon() const { return logon_; }

  QRadioButton* same_choice() const { return same_; }
  QRadioButton* own_choice() const { return own_; }
  QLineEdit* user_field() const { return user_; }
  QLineEdit* password_field() const { return password_; }

  // With its own login, an empty or too long user name or password is refused with its
  // message and the focus on the field.
  void accept() override;

 private:
  void UpdateFields();

  OutgoingLogon logon_;
  QRadioButton* same_ = nullptr;
  QRadioButton* own_ = nullptr;
  QLineEdit* user_ = nullptr;
  QLineEdit* password_ = nullptr;
};

}  // namespace pelrion::ui
