#include "store/installation_id.h"

#include <gtest/gtest.h>

#include <string>

#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// "USR" and 8 upper-case hexadecimal digits.
bool LooksLikeInstallationId(const std::string& id) {
  if (id.size() != 11 || id.compare(0, 3, "USR") != 0) return false;
  for (char c : id.substr(3)) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

std::string IdentityBytes(const std::string& id12) { return Md5Raw(id12) + id12; }

TEST(InstallationIdTest, FormatIsUsrAndEightUpperCaseHexDigits) {
  EXPECT_EQ(FormatInstallationId(0x00ABCDEF), "USR00ABCDEF");
  EXPECT_EQ(FormatInstallationId(0xFFFFFFFF), "USRFFFFFFFF");
  EXPECT_EQ(FormatInstallationId(0), "USR00000000");
}

TEST(InstallationIdTest, ValidFileIsKeptAndNotRewritten) {
  TempDir dir;
  const std::string path = dir.File("db6.dat");
  const std::string stored = IdentityBytes(std::string("USR1234ABCD") + '\0');
  WriteFile(path, stored);
  EXPECT_EQ(LoadInstallationId(path), "USR1234ABCD");
  EXPECT_EQ(ReadFile(path), stored);
}

struct ReplaceCase {
  const char* name;
  bool exists;
  std::string bytes;
};

class InstallationIdReplaceTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(InstallationIdReplaceTest, NewIdIsMadeAndWrittenAs28Bytes) {
  const ReplaceCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("db6.dat");
  if (c.exists) WriteFile(path, c.bytes);

  const std::string id = LoadInstallationId(path);

  EXPECT_TRUE(LooksLikeInstallationId(id)) << id;
  EXPECT_EQ(ReadFile(path), IdentityBytes(id + '\0'));
  EXPECT_EQ(LoadInstallationId(path), id) << "the new id is kept by the next start";
}

std::string Damaged() {
  std::string bytes = IdentityBytes(std::string("USR1234ABCD") + '\0');
  bytes[20] ^= 0x01;
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallationIdReplaceTest,
    ::testing::Values(ReplaceCase{"Missing", false, ""}, ReplaceCase{"Empty", true, ""},
                      ReplaceCase{"Short", true, IdentityBytes("USR1234ABCD").substr(0, 27)},
                      ReplaceCase{"DamagedId", true, Damaged()},
                      // A longer file is cut to exactly 28 bytes when rewritten.
                      ReplaceCase{"DamagedAndLong", true, Damaged() + "trailing bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallationIdTest, ParseTakesTextUpToTheFirstZero) {
  std::string id12 = std::string("USR1") + '\0' + "garbage";
  EXPECT_EQ(ParseIdentityFile(IdentityBytes(id12)), "USR1");
  EXPECT_EQ(ParseIdentityFile(IdentityBytes("USR1234ABCDE")), "USR1234ABCDE")
      << "no terminator: the 12 bytes, never more";
}

}  // namespace
}  // namespace pelrion::store
