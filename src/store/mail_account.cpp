#include "store/mail_account.h"

#include <array>
#include <span>

#include "crypto/rc5.h"
#include "store/byte_reader.h"
#include "store/byte_writer.h"

namespace pelrion::store {

namespace {

const crypto::Rc5& PasswordCipher() {
  static constexpr std::array<std::uint8_t, 8> kKey = {'r', 'x', 'm', 'o', 'q', 't', 'b', 'e'};
  static const crypto::Rc5 cipher(kKey, 16);
  return cipher;
}

std::span<std::uint8_t> BytesOf(PasswordField& field) {
  return std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(field.bytes.data()),
                                 field.bytes.size());
}

template <std::size_t N>
void ReadField(ByteReader& in, TextField<N>& field) {
  field.SetRaw(in.Bytes(N));
}

}  // namespace

void EncipherPassword(PasswordField& field) {
  PasswordCipher().Encrypt(BytesOf(field));
}

void DecipherPassword(PasswordField& field) {
  PasswordCipher().Decrypt(BytesOf(field));
}

std::string EncodeMailAccount(const MailAccount& account) {
  PasswordField pop3_password = account.pop3_password;
  PasswordField smtp_password = account.smtp_password;
  EncipherPassword(pop3_password);
  EncipherPassword(smtp_password);

  ByteWriter out;
  out.U32(account.id);
  out.I32(account.smtp_authentication);
  out.U32(account.pop3_listener_id);
  out.Bytes(account.pop3_user_name.Raw());
  out.Bytes(pop3_password.Raw());
  out.U32(account.smtp_listener_id);
  out.Bytes(account.smtp_user_name.Raw());
  out.Bytes(smtp_password.Raw());
  out.Bytes(account.email_address.Raw());
  out.Bytes(account.display_name.Raw());
  out.Bytes(account.friendly_name.Raw());
  out.I32(account.included);
  return out.Take();
}

std::optional<MailAccount> DecodeMailAccount(std::string_view stored) {
  if (stored.size() != kAccountRecordSize) return std::nullopt;
  ByteReader in(stored);
  MailAccount account;
  account.id = in.U32();
  account.smtp_authentication = in.I32();
  account.pop3_listener_id = in.U32();
  ReadField(in, account.pop3_user_name);
  ReadField(in, account.pop3_password);
  account.smtp_listener_id = in.U32();
  ReadField(in, account.smtp_user_name);
  ReadField(in, account.smtp_password);
  ReadField(in, account.email_address);
  ReadField(in, account.display_name);
  ReadField(in, account.friendly_name);
  account.included = in.I32();
  if (!in.ok()) return std::nullopt;
  DecipherPassword(account.pop3_password);
  DecipherPassword(account.smtp_password);
  return account;
}

std::optional<MailAccountV1> DecodeMailAccountV1(std::string_view stored) {
  if (stored.size() != kOldAccountRecordSize) return std::nullopt;
  ByteReader in(stored);
  MailAccountV1 old;
  MailAccount& account = old.account;
  account.id = in.U32();
  old.pop3_port = in.U32();
  old.smtp_port = in.U32();
  account.smtp_authentication = in.I32();
  ReadField(in, old.pop3_host);
  ReadField(in, account.pop3_user_name);
  ReadField(in, account.pop3_password);
  ReadField(in, old.smtp_host);
  ReadField(in, account.smtp_user_name);
  ReadField(in, account.smtp_password);
  ReadField(in, account.email_address);
  ReadField(in, account.display_name);
  std::string_view friendly = in.Bytes(kV1FriendlyNameSize);
  account.included = in.I32();
  if (!in.ok()) return std::nullopt;

  // The old field is 8 bytes longer: a name that still ends inside the new field keeps its
  // bytes as they are; a longer one is cut so that the new field stays zero-terminated.
  std::string_view name = friendly.substr(0, friendly.find('\0'));
  if (name.size() < kNameFieldSize) {
    account.friendly_name.SetRaw(friendly);
  } else {
    account.friendly_name.Set(name);
  }
  DecipherPassword(account.pop3_password);
  DecipherPassword(account.smtp_password);
  return old;
}

bool SameStoredAccount(const MailAccount& a, const MailAccount& b) {
  return EncodeMailAccount(a) == EncodeMailAccount(b);
}

}  // namespace pelrion::store
