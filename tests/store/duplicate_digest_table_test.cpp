#include "store/duplicate_digest_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class SetAccounts : public MessageAccounts {
 public:
  explicit SetAccounts(std::vector<std::uint32_t> ids) {
    for (std::uint32_t id : ids) counts_[id] = 0;
  }
  bool AccountExists(std::uint32_t id) const override { return counts_.count(id) != 0; }
  bool AdjustMessageCount(std::uint32_t id, int delta) override {
    auto it = counts_.find(id);
    if (it == counts_.end()) return false;
    it->second += delta;
    return true;
  }

 private:
  std::map<std::uint32_t, int> counts_;
};

// One stored slot, built from the layout: MD5 of the entry, then account id and digest.
std::string Slot(std::uint32_t account, std::string_view key) {
  const std::string entry = Le32(account) + Md5Raw(key);
  return Md5Raw(entry) + entry;
}

class DuplicateDigestTableTest : public ::testing::Test {
 protected:
  DuplicateDigestTableTest() { Reopen({1, 2}); }

  std::string Db7() const { return dir_.File("db7.dat"); }
  void Reopen(std::vector<std::uint32_t> accounts) {
    table_.reset();
    accounts_ = std::make_unique<SetAccounts>(std::move(accounts));
    table_ = std::make_unique<DuplicateDigestTable>(dir_.path() + "/", *accounts_);
    table_->Load();
  }

  TempDir dir_;
  std::unique_ptr<SetAccounts> accounts_;
  std::unique_ptr<DuplicateDigestTable> table_;
};

struct RememberRow {
  const char* name;
  std::uint32_t account;
  const char* key;
  bool want;
};

TEST_F(DuplicateDigestTableTest, RememberAnswersNewThenKnownPerAccount) {
  const RememberRow rows[] = {
      {"first key", 1, "<a1@example.org>", true},
      {"same key again", 1, "<a1@example.org>", false},
      {"same key, other account", 2, "<a1@example.org>", true},
      {"and again there", 2, "<a1@example.org>", false},
      {"another key", 1, "UIDL-0007", true},
      {"key differs in case", 1, "uidl-0007", true},
      {"unknown account", 9, "<fresh@example.org>", false},
  };
  std::string want_file;
  for (const RememberRow& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(table_->RememberDigest(row.account, row.key), row.want);
    if (row.want) want_file += Slot(row.account, row.key);
    EXPECT_EQ(ReadFile(Db7()), want_file);
  }
  // The keys are still known after a restart.
  Reopen({1, 2});
  EXPECT_EQ(table_->size(), 4u);
  EXPECT_FALSE(table_->RememberDigest(2, "<a1@example.org>"));
  EXPECT_FALSE(table_->RememberDigest(1, "uidl-0007"));
  EXPECT_EQ(ReadFile(Db7()), want_file);
}

TEST_F(DuplicateDigestTableTest, ForgetFreesSlotsAndCompactsWhenWasteful) {
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(table_->RememberDigest(1, "one-" + std::to_string(i)));
  for (int i = 0; i < 2; ++i) ASSERT_TRUE(table_->RememberDigest(2, "two-" + std::to_string(i)));
  ASSERT_EQ(ReadFile(Db7()).size(), 9u * 36);

  // 9 slots, 7 live: 324 / 252 is not above 1.33; the freed slots are zeroed in place.
  table_->ForgetDigests(2);
  std::string want;
  for (int i = 0; i < 7; ++i) want += Slot(1, "one-" + std::to_string(i));
  want += std::string(2 * 36, '\0');
  EXPECT_EQ(ReadFile(Db7()), want);
  EXPECT_TRUE(table_->RememberDigest(2, "two-0"));  // forgotten: new again

  // Now 10 slots with 8 live; forgetting account 2 again leaves 7: 360 / 252 > 1.33.
  table_->ForgetDigests(2);
  want.clear();
  for (int i = 0; i < 7; ++i) want += Slot(1, "one-" + std::to_string(i));
  EXPECT_EQ(ReadFile(Db7()), want);
  EXPECT_FALSE(table_->RememberDigest(1, "one-3"));

  table_->ForgetDigests(1);
  EXPECT_EQ(table_->size(), 0u);
  EXPECT_EQ(ReadFile(Db7()), "");
}

TEST_F(DuplicateDigestTableTest, LoadFreesDamagedSlotsAndVanishedAccounts) {
  std::string file = Slot(1, "keep") + Slot(3, "account gone") + Slot(2, "damaged") +
                     std::string(36, '\0') + Slot(2, "also kept");
  file[2 * 36 + 20] ^= 0x40;  // a byte of the third slot's digest field
  WriteFile(Db7(), file + "partial tail");
  Reopen({1, 2});
  EXPECT_EQ(table_->size(), 2u);
  const std::string after = ReadFile(Db7());
  EXPECT_EQ(after.substr(0, 36), Slot(1, "keep"));
  EXPECT_EQ(after.substr(36, 3 * 36), std::string(3 * 36, '\0'));
  EXPECT_EQ(after.substr(4 * 36, 36), Slot(2, "also kept"));
  // New slots go after the last complete slot read.
  ASSERT_TRUE(table_->RememberDigest(1, "new"));
  EXPECT_EQ(ReadFile(Db7()).substr(5 * 36, 36), Slot(1, "new"));
  EXPECT_FALSE(table_->RememberDigest(1, "keep"));
  EXPECT_FALSE(table_->RememberDigest(2, "also kept"));
}

TEST_F(DuplicateDigestTableTest, InspectReportsWithoutWriting) {
  std::string damaged = Slot(4, "x");
  damaged[30] ^= 1;
  struct Row {
    const char* name;
    std::string slot;
    DigestSlotReport::Verdict verdict;
  } rows[] = {
      {"valid", Slot(4, "x"), DigestSlotReport::Verdict::kOk},
      {"free", std::string(36, '\0'), DigestSlotReport::Verdict::kFree},
      {"damaged", damaged, DigestSlotReport::Verdict::kBadDigest},
      {"short", Slot(4, "x").substr(0, 35), DigestSlotReport::Verdict::kBadDigest},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(InspectDigestSlot(row.slot).verdict, row.verdict);
  }
  const DigestSlotReport report = InspectDigestSlot(Slot(4, "x"));
  EXPECT_EQ(report.account_id, 4u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(report.digest.data()), 16), Md5Raw("x"));
}

TEST(DuplicateDigestTableDeathTest, FileErrorStopsWithTheDatabaseText) {
  TempDir dir;
  SetAccounts accounts({1});
  DuplicateDigestTable table(dir.path() + "/", accounts);
  table.Load();
  ASSERT_TRUE(table.RememberDigest(1, "before"));
  EXPECT_EXIT(
      {
        ::unlink(dir.File("db7.dat").c_str());
        ::mkdir(dir.File("db7.dat").c_str(), 0700);
        table.RememberDigest(1, "after");
      },
      ::testing::ExitedWithCode(1), "Critical error on database access\\.");
}

}  // namespace
}  // namespace pelrion::store
