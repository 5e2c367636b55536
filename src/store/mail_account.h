// MailAccount: one of the user's real mailboxes. Stored in "db5.dat" as 1428-byte records
// (file version 2), in this order:
//   id u32 | SMTP authentication i32 | POP3 listener id u32 | POP3 user name text[256] |
//   POP3 password text[64] | SMTP listener id u32 | SMTP user name text[256] |
//   SMTP password text[64] | e-mail address text[256] | display name text[256] |
//   friendly name text[256] | included i32
// Passwords are clear text in memory and enciphered on disk with RC5-32/16/8 (ECB, key
// "rxmoqtbe") over all 64 bytes of each field; the record digest covers the enciphered bytes.
// Version 1 of the file held 1948-byte records with the servers inside the account; those are
// only read, to be converted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/database_files.h"
#include "store/listener_record.h"

namespace pelrion::store {

inline constexpr std::size_t kNameFieldSize = 256;
inline constexpr std::size_t kPasswordFieldSize = 64;
inline constexpr std::size_t kV1FriendlyNameSize = 264;

using PasswordField = TextField<kPasswordFieldSize>;
using NameField = TextField<kNameFieldSize>;

struct MailAccount {
  std::uint32_t id = 0;
  std::int32_t smtp_authentication = 0;  // 1 = the SMTP server requires authentication
  std::uint32_t pop3_listener_id = 0;
  NameField pop3_user_name;
  PasswordField pop3_password;  // clear text
  std::uint32_t smtp_listener_id = 0;
  NameField smtp_user_name;
  PasswordField smtp_password;  // clear text
  NameField email_address;
  NameField display_name;
  NameField friendly_name;
  std::int32_t included = 1;  // 1 = included when receiving mail

  // In memory only, guarded by the account table's lock.
  int message_count = 0;  // messages of the store that belong to this account
  int ref_count = 0;      // 1 while in the table, +1 per holder
};

// An account read from a version-1 record: the account (listener ids still 0) and the two
// servers that become its listeners.
struct MailAccountV1 {
  MailAccount account;
  TextField<kHostFieldSize> pop3_host;
  std::uint32_t pop3_port = 0;
  TextField<kHostFieldSize> smtp_host;
  std::uint32_t smtp_port = 0;
};

// Enciphers / deciphers a whole 64-byte password field in place with the stored-password key.
void EncipherPassword(PasswordField& field);
void DecipherPassword(PasswordField& field);

// The 1428 stored bytes of an account, password fields enciphered (no digest).
std::string EncodeMailAccount(const MailAccount& account);

// The account held in exactly 1428 stored bytes, passwords deciphered; nullopt for any other
// size.
std::optional<MailAccount> DecodeMailAccount(std::string_view stored);

// The account and servers held in exactly 1948 version-1 bytes, passwords deciphered; the
// 264-byte friendly name is cut to fit 256 bytes. nullopt for any other size.
std::optional<MailAccountV1> DecodeMailAccountV1(std::string_view stored);

// True when both accounts have the same stored bytes (counts are not compared).
bool SameStoredAccount(const MailAccount& a, const MailAccount& b);

}  // namespace pelrion::store
