#include "store/account_creation.h"

#include <string_view>

#include "mailformat/addresses.h"

namespace pelrion::store {
namespace {

constexpr std::string_view kBlanks = " \t\r\n\f\v";

void Trim(std::string& text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// Present, short enough for its field and without a zero byte (which would end it early).
bool Fits(std::string_view text, std::size_t max_bytes) {
  return !text.empty() && text.size() <= max_bytes && text.find('\0') == std::string_view::npos;
}

bool ValidPort(std::uint32_t port) {
  return port >= 1 && port <= 65535;
}

// The longest prefix of text of at most max_bytes that does not end inside a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t max_bytes) {
  if (text.size() <= max_bytes) return text;
  std::size_t cut = max_bytes;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

}  // namespace

std::optional<AccountRefusal> CheckAccountFields(NewAccount& account, const AccountCheck& check) {
  for (std::string* text :
       {&account.friendly_name, &account.display_name, &account.email_address, &account.pop3_host,
        &account.pop3_user, &account.smtp_host, &account.smtp_user}) {
    Trim(*text);
  }
  using Field = AccountField;
  if (!Fits(account.friendly_name, kMaxNameBytes)) {
    return AccountRefusal{Field::kFriendlyName, kEmptyFriendlyNameText};
  }
  if (check.unique_among != nullptr &&
      check.unique_among->FriendlyNameInUse(account.friendly_name, check.except_id)) {
    return AccountRefusal{Field::kFriendlyName, kFriendlyNameInUseText};
  }
  if (!Fits(account.display_name, kMaxNameBytes)) {
    return AccountRefusal{Field::kDisplayName, kDisplayNameText};
  }
  if (!Fits(account.email_address, kMaxNameBytes)) {
    return AccountRefusal{Field::kEmailAddress, kEmailAddressText};
  }
  if (!check.doubtful_address_kept && !mailformat::IsValidAddress(account.email_address)) {
    return AccountRefusal{Field::kEmailAddress, kDoubtfulAddressText};
  }
  if (!Fits(account.pop3_host, kMaxHostBytes))
    return AccountRefusal{Field::kPop3Host, kPop3ServerText};
  if (!ValidPort(account.pop3_port)) return AccountRefusal{Field::kPop3Port, kPortText};
  if (!Fits(account.pop3_user, kMaxNameBytes))
    return AccountRefusal{Field::kPop3User, kLoginNameText};
  if (!Fits(account.pop3_password, kMaxPasswordBytes)) {
    return AccountRefusal{Field::kPop3Password, kPasswordText};
  }
  if (!Fits(account.smtp_host, kMaxHostBytes))
    return AccountRefusal{Field::kSmtpHost, kSmtpServerText};
  if (!ValidPort(account.smtp_port)) return AccountRefusal{Field::kSmtpPort, kPortText};
  if (!account.smtp_user.empty() || !account.smtp_password.empty()) {
    if (!Fits(account.smtp_user, kMaxNameBytes))
      return AccountRefusal{Field::kSmtpUser, kLoginNameText};
    if (!Fits(account.smtp_password, kMaxPasswordBytes)) {
      return AccountRefusal{Field::kSmtpPassword, kPasswordText};
    }
  }
  return std::nullopt;
}

std::optional<std::string_view> CheckNewAccount(NewAccount& account) {
  if (const auto refusal = CheckAccountFields(account)) return refusal->message;
  return std::nullopt;
}

std::string UniqueFriendlyName(const AccountTable& accounts, std::string_view name) {
  name = CutAtCharacter(name, kMaxNameBytes);
  if (!accounts.FriendlyNameInUse(name)) return std::string(name);
  for (std::size_t counter = 1;; ++counter) {
    const std::string suffix = " (" + std::to_string(counter) + ")";
    std::string candidate(CutAtCharacter(name, kMaxNameBytes - suffix.size()));
    candidate += suffix;
    if (!accounts.FriendlyNameInUse(candidate)) return candidate;
  }
}

CreatedAccount CreateAccount(AccountTable& accounts, ListenerTable& listeners,
                             const NewAccount& account) {
  MailAccount fields;
  fields.pop3_listener_id = listeners.FindOrCreateListener(account.pop3_host, account.pop3_port,
                                                           ListenerProtocol::kPop3, /*start=*/true);
  fields.smtp_listener_id = listeners.FindOrCreateListener(account.smtp_host, account.smtp_port,
                                                           ListenerProtocol::kSmtp, /*start=*/true);
  fields.friendly_name.Set(UniqueFriendlyName(accounts, account.friendly_name));
  fields.display_name.Set(account.display_name);
  fields.email_address.Set(account.email_address);
  fields.pop3_user_name.Set(account.pop3_user);
  fields.pop3_password.Set(account.pop3_password);
  fields.smtp_authentication = account.smtp_authentication ? 1 : 0;
  // The same login for both servers is stored as copies: the SMTP client logs on with the
  // SMTP fields, and equal pairs are how the account window recognises the choice.
  const bool same_login = account.smtp_user.empty() && account.smtp_password.empty();
  fields.smtp_user_name.Set(same_login ? account.pop3_user : account.smtp_user);
  fields.smtp_password.Set(same_login ? account.pop3_password : account.smtp_password);
  fields.included = account.included ? 1 : 0;

  CreatedAccount created;
  created.id = accounts.AddAccount(fields);
  if (auto pop3 = listeners.CopyOf(fields.pop3_listener_id)) created.pop3 = *pop3;
  if (auto smtp = listeners.CopyOf(fields.smtp_listener_id)) created.smtp = *smtp;
  return created;
}

std::string ListenerAddressText(std::uint32_t address) {
  if (address == 0) return std::string(kThisComputerText);
  return DottedQuad(address);
}

std::string AccountCreatedText(const Listener& pop3, const Listener& smtp) {
  return "The account has been successfully created.\n\nPlease change the account settings in "
         "your email program to point to\nthe following Pelrion listeners instead of the real "
         "mail servers:\n\nIncoming mail server (POP3):\n     Name: " +
         ListenerAddressText(pop3.local_address) +
         "\n     Port: " + std::to_string(pop3.local_port) +
         "\n\nOutgoing mail server (SMTP):\n     Name: " + ListenerAddressText(smtp.local_address) +
         "\n     Port: " + std::to_string(smtp.local_port) + "\n";
}

}  // namespace pelrion::store
