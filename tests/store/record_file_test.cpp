#include "store/record_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/byte_reader.h"
#include "store/database_files.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::TextField;
using testing::WriteFile;

// A listener-sized record (276 bytes): id, host text[256], port, protocol, address, port.
std::string ListenerRecord(std::uint32_t id, std::string_view host, std::uint32_t port) {
  return Le32(id) + TextField(host, 256) + Le32(port) + Le32(0) + Le32(0x7F000001) +
         Le32(5110);
}

std::string Unit(const std::string& record) { return Md5Raw(record) + record; }

RecordRules ListenerRules() {
  RecordRules rules;
  rules.record_size = [](std::uint8_t) { return kListenerRecordSize; };
  return rules;
}

TEST(RecordFileTest, RewriteWritesVersionThenDigestAndRecordInOrder) {
  TempDir dir;
  const std::string path = dir.File("db8.dat");
  const std::vector<std::string> records = {ListenerRecord(1, "pop.example.com", 110),
                                            ListenerRecord(2, "smtp.example.com", 25)};
  // A longer stale file proves the length is set, not just overwritten.
  WriteFile(path, std::string(2000, 'x'));

  RewriteRecordFile(path, kListenersVersion, records, kListenerRecordSize);

  const std::string expected = std::string(1, '\x01') + Unit(records[0]) + Unit(records[1]);
  EXPECT_EQ(ReadFile(path), expected);
  EXPECT_EQ(expected.size(), 2 * (16 + 276) + 1u);
}

TEST(RecordFileTest, RewriteOfEmptyTableLeavesOnlyTheVersionByte) {
  TempDir dir;
  const std::string path = dir.File("db9.dat");
  WriteFile(path, std::string(300, 'x'));
  RewriteRecordFile(path, kTrustedDomainsVersion, {}, kTrustedDomainRecordSize);
  EXPECT_EQ(ReadFile(path), std::string(1, '\x01'));
}

struct DamageCase {
  std::string name;
  std::string file;                    // built from three listener records below
  std::vector<std::uint32_t> want_ids;  // ids loaded, ascending
  std::uint32_t want_next_id;
  std::size_t want_dropped;
};

std::vector<DamageCase> DamageCases() {
  const std::string r1 = ListenerRecord(7, "a.example", 110);
  const std::string r2 = ListenerRecord(3, "b.example", 110);
  const std::string r3 = ListenerRecord(12, "c.example", 25);
  const std::string v = std::string(1, '\x01');
  const std::string whole = v + Unit(r1) + Unit(r2) + Unit(r3);
  std::string flipped_record = whole;
  flipped_record[1 + (16 + 276) + 16 + 40] ^= 0x20;  // inside record 2's host text
  std::string flipped_digest = whole;
  flipped_digest[1 + 3] ^= 0x01;  // inside record 1's digest
  return {
      {"EmptyFile", "", {}, 1, 0},
      {"VersionByteOnly", v, {}, 1, 0},
      {"AllValidSortedById", whole, {3, 7, 12}, 13, 0},
      {"PartialTailIgnored", whole.substr(0, whole.size() - 1), {3, 7}, 8, 0},
      {"PartialDigestOnlyIgnored", v + Unit(r1) + Md5Raw(r2).substr(0, 10), {7}, 8, 0},
      {"FlippedRecordByteDropsOnlyIt", flipped_record, {7, 12}, 13, 1},
      {"FlippedDigestByteDropsOnlyIt", flipped_digest, {3, 12}, 13, 1},
      {"DuplicateIdKeepsFirst", v + Unit(r1) + Unit(ListenerRecord(7, "other", 1)), {7}, 8, 1},
  };
}

class RecordFileLoadTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(RecordFileLoadTest, LoadsEveryIntactRecord) {
  const DamageCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("db8.dat");
  WriteFile(path, c.file);

  LoadedRecords loaded = LoadRecordFile(path, ListenerRules());

  std::vector<std::uint32_t> ids;
  for (const std::string& record : loaded.records) {
    ASSERT_EQ(record.size(), kListenerRecordSize);
    ids.push_back(U32At(record, 0).value_or(0));
  }
  EXPECT_EQ(ids, c.want_ids);
  EXPECT_EQ(loaded.next_id, c.want_next_id);
  EXPECT_EQ(loaded.dropped, c.want_dropped);
  EXPECT_EQ(ReadFile(path), c.file) << "loading must not change the file";
}

INSTANTIATE_TEST_SUITE_P(Cases, RecordFileLoadTest, ::testing::ValuesIn(DamageCases()),
                         [](const auto& info) { return info.param.name; });

TEST(RecordFileTest, MissingFileIsCreatedEmptyAndLoadsEmpty) {
  TempDir dir;
  const std::string path = dir.File("db5.dat");
  RecordRules rules;
  rules.record_size = AccountRecordSizeFor;
  LoadedRecords loaded = LoadRecordFile(path, rules);
  EXPECT_TRUE(loaded.records.empty());
  EXPECT_EQ(loaded.next_id, 1u);
  EXPECT_FALSE(loaded.version.has_value());
  ASSERT_TRUE(testing::FileExists(path));
  EXPECT_EQ(ReadFile(path), "");
}

TEST(RecordFileTest, VersionByteChoosesTheRecordSize) {
  struct Row {
    const char* name;
    std::uint8_t version;
    std::size_t size;
  };
  for (const Row& row : {Row{"OlderLayout", 1, 1948}, Row{"Current", 2, 1428},
                         Row{"UnknownMeansCurrent", 9, 1428}}) {
    SCOPED_TRACE(row.name);
    std::string record = Le32(5) + std::string(row.size - 4, 'a');
    std::string file = std::string(1, static_cast<char>(row.version)) + Unit(record);
    RecordFileContents contents = ParseRecordFile(file, AccountRecordSizeFor);
    ASSERT_EQ(contents.records.size(), 1u);
    EXPECT_EQ(contents.records[0], record);
    EXPECT_EQ(contents.version, row.version);
  }
}

TEST(RecordFileTest, AcceptanceRuleDropsRejectedRecords) {
  const std::string v = std::string(1, '\x01');
  const std::string file = v + Unit(ListenerRecord(1, "keep", 1)) +
                           Unit(ListenerRecord(2, "reject", 1)) + Unit(ListenerRecord(3, "keep", 1));
  RecordRules rules = ListenerRules();
  rules.accept = [](std::string_view record) { return record.substr(4, 4) == "keep"; };
  LoadedRecords loaded = ArrangeRecords(ParseRecordFile(file, rules.record_size), rules);
  ASSERT_EQ(loaded.records.size(), 2u);
  EXPECT_EQ(loaded.records[0][0], 1);
  EXPECT_EQ(loaded.records[1][0], 3);
  EXPECT_EQ(loaded.next_id, 4u);
  EXPECT_EQ(loaded.dropped, 1u);
}

}  // namespace
}  // namespace pelrion::store
