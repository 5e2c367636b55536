#include "store/mail_account.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/rc5.h"

namespace pelrion::store {
namespace {

// One stored field: where it sits and what the test puts there. Text fields are written
// zero-terminated and zero-filled; `cipher` marks a password field, enciphered in the test
// with RC5-32/16/8 under the stored-password key.
struct FieldRow {
  const char* name;
  std::size_t offset;
  std::size_t width;
  std::uint32_t number;  // for 4-byte integer fields
  const char* text;      // for text fields (nullptr for integers)
  bool cipher;
};

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(v >> (8 * i));
}

void EncipherInTest(std::string& bytes, std::size_t offset) {
  static const std::array<std::uint8_t, 8> kKey = {'r', 'x', 'm', 'o', 'q', 't', 'b', 'e'};
  const crypto::Rc5 rc5(kKey, 16);
  for (std::size_t block = 0; block < 64; block += 8) {
    std::uint32_t a = 0, b = 0;
    for (int i = 3; i >= 0; --i) {
      a = (a << 8) | static_cast<unsigned char>(bytes[offset + block + i]);
      b = (b << 8) | static_cast<unsigned char>(bytes[offset + block + 4 + i]);
    }
    rc5.EncryptBlock(a, b);
    PutU32(bytes, offset + block, a);
    PutU32(bytes, offset + block + 4, b);
  }
}

// Builds a record from its layout table, independently of the code under test.
std::string BuildFromLayout(const std::vector<FieldRow>& rows, std::size_t total) {
  std::string bytes(total, '\0');
  std::size_t expected_offset = 0;
  for (const FieldRow& row : rows) {
    EXPECT_EQ(row.offset, expected_offset) << "layout table gap before " << row.name;
    expected_offset = row.offset + row.width;
    if (row.text == nullptr) {
      PutU32(bytes, row.offset, row.number);
    } else {
      std::string text(row.text);
      bytes.replace(row.offset, text.size(), text);
      if (row.cipher) EncipherInTest(bytes, row.offset);
    }
  }
  EXPECT_EQ(expected_offset, total);
  return bytes;
}

// Version 2, 1428 bytes. Every field holds a value that differs from its neighbours, so a
// swapped or shifted field shows up as a byte difference.
const std::vector<FieldRow> kV2Layout = {
    {"id", 0, 4, 0x01020304, nullptr, false},
    {"smtp_authentication", 4, 4, 1, nullptr, false},
    {"pop3_listener_id", 8, 4, 0x0A0B0C0D, nullptr, false},
    {"pop3_user_name", 12, 256, 0, "pop-user", false},
    {"pop3_password", 268, 64, 0, "pop-secret", true},
    {"smtp_listener_id", 332, 4, 0x11223344, nullptr, false},
    {"smtp_user_name", 336, 256, 0, "smtp-user", false},
    {"smtp_password", 592, 64, 0, "smtp-secret-longer-than-eight", true},
    {"email_address", 656, 256, 0, "me@example.org", false},
    {"display_name", 912, 256, 0, "Jane Roe", false},
    {"friendly_name", 1168, 256, 0, "Work mail", false},
    {"included", 1424, 4, 0xFFFFFFFF, nullptr, false},
};

MailAccount AccountOfV2Layout() {
  MailAccount a;
  a.id = 0x01020304;
  a.smtp_authentication = 1;
  a.pop3_listener_id = 0x0A0B0C0D;
  a.pop3_user_name.Set("pop-user");
  a.pop3_password.Set("pop-secret");
  a.smtp_listener_id = 0x11223344;
  a.smtp_user_name.Set("smtp-user");
  a.smtp_password.Set("smtp-secret-longer-than-eight");
  a.email_address.Set("me@example.org");
  a.display_name.Set("Jane Roe");
  a.friendly_name.Set("Work mail");
  a.included = -1;
  return a;
}

TEST(MailAccountLayoutTest, EncodesEveryFieldAtItsOffset) {
  const std::string want = BuildFromLayout(kV2Layout, kAccountRecordSize);
  const std::string got = EncodeMailAccount(AccountOfV2Layout());
  ASSERT_EQ(got.size(), kAccountRecordSize);
  for (const FieldRow& row : kV2Layout) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(got.substr(row.offset, row.width), want.substr(row.offset, row.width));
  }
  EXPECT_EQ(got, want);
}

TEST(MailAccountLayoutTest, DecodesTheLayoutWithClearPasswords) {
  auto account = DecodeMailAccount(BuildFromLayout(kV2Layout, kAccountRecordSize));
  ASSERT_TRUE(account.has_value());
  const MailAccount want = AccountOfV2Layout();
  EXPECT_EQ(account->id, want.id);
  EXPECT_EQ(account->smtp_authentication, 1);
  EXPECT_EQ(account->pop3_listener_id, want.pop3_listener_id);
  EXPECT_EQ(account->smtp_listener_id, want.smtp_listener_id);
  EXPECT_EQ(account->pop3_user_name.Text(), "pop-user");
  EXPECT_EQ(account->pop3_password.Text(), "pop-secret");
  EXPECT_EQ(account->smtp_user_name.Text(), "smtp-user");
  EXPECT_EQ(account->smtp_password.Text(), "smtp-secret-longer-than-eight");
  EXPECT_EQ(account->email_address.Text(), "me@example.org");
  EXPECT_EQ(account->display_name.Text(), "Jane Roe");
  EXPECT_EQ(account->friendly_name.Text(), "Work mail");
  EXPECT_EQ(account->included, -1);
  EXPECT_TRUE(SameStoredAccount(*account, want));
}

struct PasswordCase {
  const char* name;
  std::string password;
};

class StoredPasswordTest : public testing::TestWithParam<PasswordCase> {};

// The whole 64-byte field is enciphered, whatever the length of the text in it, and the
// clear text never appears in the stored bytes.
TEST_P(StoredPasswordTest, IsEncipheredOverTheWholeFieldAndComesBack) {
  MailAccount account;
  account.id = 7;
  account.pop3_password.Set(GetParam().password);
  account.smtp_password.Set(GetParam().password);
  const std::string stored = EncodeMailAccount(account);

  for (std::size_t offset : {std::size_t{268}, std::size_t{592}}) {
    std::string want(stored.size(), '\0');
    want.replace(offset, GetParam().password.size(), GetParam().password);
    EncipherInTest(want, offset);
    EXPECT_EQ(stored.substr(offset, 64), want.substr(offset, 64)) << "field at " << offset;
    EXPECT_NE(stored.substr(offset, 64), account.pop3_password.Raw()) << "clear field on disk";
  }
  if (GetParam().password.size() >= 4) {
    EXPECT_EQ(stored.find(GetParam().password), std::string::npos);
  }
  auto back = DecodeMailAccount(stored);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->pop3_password.Text(), GetParam().password);
  EXPECT_EQ(back->smtp_password.Text(), GetParam().password);
}

INSTANTIATE_TEST_SUITE_P(Lengths, StoredPasswordTest,
                         testing::Values(PasswordCase{"Empty", ""}, PasswordCase{"OneByte", "x"},
                                         PasswordCase{"SevenBytes", "abcdefg"},
                                         PasswordCase{"EightBytes", "abcdefgh"},
                                         PasswordCase{"HighBytes", "p\xE4ss\xFF\x80w"},
                                         PasswordCase{"FullField63", std::string(63, 'Q')}),
                         [](const testing::TestParamInfo<PasswordCase>& info) {
                           return info.param.name;
                         });

TEST(MailAccountBytesTest, KeepsBytesAfterTheTerminator) {
  // Text fields and password fields come back byte for byte, including what follows the zero.
  std::string stored = EncodeMailAccount(AccountOfV2Layout());
  stored[12 + 200] = 'Z';    // tail of the POP3 user name
  stored[1168 + 255] = 'T';  // last byte of the friendly name
  stored[268 + 60] ^= 0x5A;  // enciphered tail of the POP3 password
  auto account = DecodeMailAccount(stored);
  ASSERT_TRUE(account.has_value());
  EXPECT_EQ(account->pop3_user_name.Text(), "pop-user");
  EXPECT_EQ(EncodeMailAccount(*account), stored);
}

TEST(MailAccountBytesTest, FieldWithoutTerminatorReadsWithinTheField) {
  std::string stored = EncodeMailAccount(AccountOfV2Layout());
  stored.replace(912, 256, std::string(256, 'D'));  // display name fills its field
  auto account = DecodeMailAccount(stored);
  ASSERT_TRUE(account.has_value());
  EXPECT_EQ(account->display_name.Text(), std::string(256, 'D'));
  EXPECT_EQ(account->friendly_name.Text(), "Work mail");
}

TEST(MailAccountBytesTest, SetCutsTextToLeaveTheTerminator) {
  MailAccount account;
  account.friendly_name.Set(std::string(300, 'n'));
  account.pop3_password.Set(std::string(80, 'p'));
  EXPECT_EQ(account.friendly_name.Text().size(), 255u);
  EXPECT_EQ(account.pop3_password.Text().size(), 63u);
}

struct SizeCase {
  const char* name;
  std::size_t size;
  bool version2;  // decodes as a version-2 record
  bool version1;  // decodes as a version-1 record
};

class MailAccountSizeTest : public testing::TestWithParam<SizeCase> {};

TEST_P(MailAccountSizeTest, OnlyTheExactRecordSizeDecodes) {
  const std::string bytes(GetParam().size, 'a');
  EXPECT_EQ(DecodeMailAccount(bytes).has_value(), GetParam().version2);
  EXPECT_EQ(DecodeMailAccountV1(bytes).has_value(), GetParam().version1);
}

INSTANTIATE_TEST_SUITE_P(Sizes, MailAccountSizeTest,
                         testing::Values(SizeCase{"Empty", 0, false, false},
                                         SizeCase{"OneShort", 1427, false, false},
                                         SizeCase{"OneLong", 1429, false, false},
                                         SizeCase{"V1OneShort", 1947, false, false},
                                         SizeCase{"Version1", 1948, false, true},
                                         SizeCase{"Version2", 1428, true, false}),
                         [](const testing::TestParamInfo<SizeCase>& info) {
                           return info.param.name;
                         });

// Version 1, 1948 bytes: servers inside the account, a 264-byte friendly name.
std::vector<FieldRow> V1Layout(const char* friendly) {
  return {
      {"id", 0, 4, 42, nullptr, false},
      {"pop3_port", 4, 4, 110, nullptr, false},
      {"smtp_port", 8, 4, 25, nullptr, false},
      {"smtp_authentication", 12, 4, 1, nullptr, false},
      {"pop3_host", 16, 256, 0, "Pop.Example.org", false},
      {"pop3_user_name", 272, 256, 0, "old-pop-user", false},
      {"pop3_password", 528, 64, 0, "old-pop-pass", true},
      {"smtp_host", 592, 256, 0, "smtp.example.org", false},
      {"smtp_user_name", 848, 256, 0, "old-smtp-user", false},
      {"smtp_password", 1104, 64, 0, "old-smtp-pass", true},
      {"email_address", 1168, 256, 0, "old@example.org", false},
      {"display_name", 1424, 256, 0, "Old Name", false},
      {"friendly_name", 1680, 264, 0, friendly, false},
      {"included", 1944, 4, 0, nullptr, false},
  };
}

TEST(MailAccountV1Test, DecodesEveryField) {
  auto old = DecodeMailAccountV1(BuildFromLayout(V1Layout("Old account"), 1948));
  ASSERT_TRUE(old.has_value());
  const MailAccount& a = old->account;
  EXPECT_EQ(a.id, 42u);
  EXPECT_EQ(old->pop3_port, 110u);
  EXPECT_EQ(old->smtp_port, 25u);
  EXPECT_EQ(a.smtp_authentication, 1);
  EXPECT_EQ(old->pop3_host.Text(), "Pop.Example.org");
  EXPECT_EQ(a.pop3_user_name.Text(), "old-pop-user");
  EXPECT_EQ(a.pop3_password.Text(), "old-pop-pass");
  EXPECT_EQ(old->smtp_host.Text(), "smtp.example.org");
  EXPECT_EQ(a.smtp_user_name.Text(), "old-smtp-user");
  EXPECT_EQ(a.smtp_password.Text(), "old-smtp-pass");
  EXPECT_EQ(a.email_address.Text(), "old@example.org");
  EXPECT_EQ(a.display_name.Text(), "Old Name");
  EXPECT_EQ(a.friendly_name.Text(), "Old account");
  EXPECT_EQ(a.included, 0);
  EXPECT_EQ(a.pop3_listener_id, 0u);
  EXPECT_EQ(a.smtp_listener_id, 0u);
}

TEST(MailAccountV1Test, LongFriendlyNameStaysTerminatedInTheShorterField) {
  const std::string long_name(262, 'L');
  auto old = DecodeMailAccountV1(BuildFromLayout(V1Layout(long_name.c_str()), 1948));
  ASSERT_TRUE(old.has_value());
  EXPECT_EQ(old->account.friendly_name.Text(), std::string(255, 'L'));
  const std::string stored = EncodeMailAccount(old->account);
  EXPECT_EQ(stored[1168 + 255], '\0');
}

}  // namespace
}  // namespace pelrion::store
