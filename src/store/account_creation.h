// Creating a mail account from what the user typed, as the set-up wizard's Finish does it:
// the fields checked (lengths in bytes, never cut), listeners found or made and started, a
// unique friendly name, the next id, the table saved, and the text that tells the user where
// to point the e-mail program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/account_table.h"
#include "store/listener_record.h"
#include "store/listener_table.h"

namespace pelrion::store {

inline constexpr std::string_view kEmptyFriendlyNameText =
    "Please enter a friendly name. It cannot be empty.";
inline constexpr std::string_view kFriendlyNameInUseText =
    "An account already exists with this name.\n\nPlease enter a unique friendly name.";
inline constexpr std::string_view kDisplayNameText = "Please enter your name.";
inline constexpr std::string_view kEmailAddressText = "Please enter a valid e-mail address.";
inline constexpr std::string_view kDoubtfulAddressText =
    "The specified e-mail address does not appear to be valid, do you want to use it anyway?";
inline constexpr std::string_view kPop3ServerText = "Please enter a valid POP3 srv.";
inline constexpr std::string_view kPortText = "Please enter a valid port number.";
inline constexpr std::string_view kLoginNameText =
    "Please enter your account name for logging onto this srv.";
inline constexpr std::string_view kPasswordText =
    "Please enter your password for logging onto this srv.";
inline constexpr std::string_view kSmtpServerText = "Please enter a valid SMTP srv.";

// Longest texts the stored fields hold whole, in bytes.
inline constexpr std::size_t kMaxNameBytes = kNameFieldSize - 1;
inline constexpr std::size_t kMaxPasswordBytes = kPasswordFieldSize - 1;
inline constexpr std::size_t kMaxHostBytes = kHostFieldSize - 1;

// A listener bound to every interface is shown this way in the account-created text.
inline constexpr std::string_view kThisComputerText = "(IP address of this computer)";

struct NewAccount {
  std::string friendly_name{};  // as typed; made unique on creation
  std::string display_name{};
  std::string email_address{};
  std::string pop3_host{};
  std::uint32_t pop3_port = 110;
  std::string pop3_user{};
  std::string pop3_password{};
  std::string smtp_host{};
  std::uint32_t smtp_port = 25;
  bool smtp_authentication = false;
  std::string smtp_user{};  // empty: the POP3 login is used for SMTP too
  std::string smtp_password{};
  bool included = true;
};

// The fields in the order the account windows check them.
enum class AccountField {
  kFriendlyName,
  kDisplayName,
  kEmailAddress,
  kPop3Host,
  kPop3Port,
  kPop3User,
  kPop3Password,
  kSmtpHost,
  kSmtpPort,
  kSmtpUser,
  kSmtpPassword,
};

// The first field refused and its message; the window shows it and puts the focus there.
struct AccountRefusal {
  AccountField field;
  std::string_view message;
  bool operator==(const AccountRefusal&) const = default;
};

// What the check asks beyond the fields themselves.
struct AccountCheck {
  // Set: the friendly name must not be used by another account of this table...
  const AccountTable* unique_among = nullptr;
  // ...other than this one (the account being edited; 0 for a new account).
  std::uint32_t except_id = 0;
  // The user was asked about a doubtful address and chose to keep it.
  bool doubtful_address_kept = false;
};

// The first field that is refused, in the order the account sheet checks them; nullopt when
// every field is accepted. Texts are trimmed of white space at both ends first (passwords
// are taken as they are). A text longer than its stored field or holding a zero byte is
// refused with its field's message, never cut; an address without a user and a domain part
// gets kDoubtfulAddressText (a question: the caller may keep it and check again).
std::optional<AccountRefusal> CheckAccountFields(NewAccount& account,
                                                 const AccountCheck& check = {});

// CheckAccountFields without the name's uniqueness (creation makes it unique), as its
// message.
std::optional<std::string_view> CheckNewAccount(NewAccount& account);

// name, or "name (n)" with the smallest n from 1 that no account uses (case ignored), the
// name shortened at a UTF-8 character boundary so the whole stays within 255 bytes.
std::string UniqueFriendlyName(const AccountTable& accounts, std::string_view name);

struct CreatedAccount {
  std::uint32_t id = 0;
  Listener pop3;
  Listener smtp;
};

// Creates a checked account: its listeners found or created (and started), the friendly name
// made unique, added with the next id and saved.
CreatedAccount CreateAccount(AccountTable& accounts, ListenerTable& listeners,
                             const NewAccount& account);

// "The account has been successfully created. ..." with the listeners' local addresses and
// ports.
std::string AccountCreatedText(const Listener& pop3, const Listener& smtp);

// A local address as the account texts show it: dotted quad, or kThisComputerText for 0.
std::string ListenerAddressText(std::uint32_t address);

}  // namespace pelrion::store
