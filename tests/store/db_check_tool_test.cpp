// Runs the pelrion-db executable over database folders built here byte by byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "store/store_test_helpers.h"
#include "support/run_command.h"

#ifndef PELRION_DB_BIN
#error "PELRION_DB_BIN must name the pelrion-db executable"
#endif

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::TextField;
using testing::WriteFile;

using test_support::RunResult;

RunResult RunTool(const std::string& args) {
  return test_support::RunCommand(std::string(PELRION_DB_BIN) + " " + args + " 2>/dev/null");
}

std::string Slot(const std::string& entry) { return Md5Raw(entry) + entry; }
std::string Blob(std::string_view payload) {
  return Le32(static_cast<std::uint32_t>(4 + payload.size())) + std::string(payload);
}

// A folder with every file and known damage in each.
void BuildDatabase(const TempDir& dir) {
  // db1/db2: three messages; the second has a damaged blob, the third points past the heap;
  // one free slot.
  std::string heap, slots;
  for (std::uint32_t id : {101u, 102u}) {
    const std::string blob = Blob("summary " + std::to_string(id));
    const auto offset = static_cast<std::uint32_t>(heap.size());
    heap += Le32(id) + Md5Raw(blob) + blob;
    slots += Slot(Le32(id) + Le32(offset) + Le32(blob.size()) + std::string(24, '\0'));
  }
  heap[heap.size() - 1] ^= 0x01;
  slots += std::string(52, '\0');
  slots += Slot(Le32(103) + Le32(heap.size()) + Le32(8) + std::string(24, '\0'));
  WriteFile(dir.File("db1.dat"), slots);
  WriteFile(dir.File("db2.dat"), heap);

  // db3/db4: one good contact, one with a damaged slot digest, one with id 0.
  const std::string cblob = Blob("ann@example.com");
  WriteFile(dir.File("db4.dat"), Md5Raw(cblob) + cblob);
  std::string bad = Slot(Le32(7) + Le32(cblob.size()) + Le32(0) + Le32(1));
  bad[3] ^= 0x40;
  WriteFile(dir.File("db3.dat"), Slot(Le32(6) + Le32(cblob.size()) + Le32(0) + Le32(1)) + bad +
                                     Slot(Le32(0) + Le32(cblob.size()) + Le32(0) + Le32(1)));

  // db5: two accounts, version 2, the second flipped.
  std::string accounts = std::string(1, '\x02') + Slot(Le32(1) + std::string(1424, 'a'));
  std::string second = Slot(Le32(2) + std::string(1424, 'b'));
  second[100] ^= 0x01;
  WriteFile(dir.File("db5.dat"), accounts + second);

  const std::string id12 = std::string("USR0000BEEF") + '\0';
  WriteFile(dir.File("db6.dat"), Md5Raw(id12) + id12);

  // db7: two digests, the second cut short.
  const std::string d1 = Slot(Le32(1) + Md5Raw("<m1@example.com>"));
  WriteFile(dir.File("db7.dat"), d1 + d1.substr(0, 20));

  // db8: listeners 1 and 1 again (duplicate id).
  const std::string listener = Le32(1) + TextField("pop.example.com", 256) + Le32(110) +
                               Le32(0) + Le32(0x7F000001) + Le32(5110);
  WriteFile(dir.File("db8.dat"), std::string(1, '\x01') + Slot(listener) + Slot(listener));

  // db9: "example.com" twice and "example.org".
  WriteFile(dir.File("db9.dat"), std::string(1, '\x01') + Slot(TextField("example.com", 256)) +
                                     Slot(TextField("example.org", 256)) +
                                     Slot(TextField("example.com", 256)));
}

struct Snapshot {
  std::string bytes;
  struct timespec mtime;
};

std::map<std::string, Snapshot> SnapshotFolder(const TempDir& dir) {
  std::map<std::string, Snapshot> files;
  for (int i = 1; i <= 9; ++i) {
    const std::string name = "db" + std::to_string(i) + ".dat";
    struct stat info;
    if (::stat(dir.File(name).c_str(), &info) != 0) continue;
    files[name] = Snapshot{ReadFile(dir.File(name)), info.st_mtim};
  }
  return files;
}

TEST(DbCheckToolTest, ReportsKeptAndFailedPerFileAndChangesNothing) {
  TempDir dir;
  BuildDatabase(dir);
  const auto before = SnapshotFolder(dir);

  RunResult run = RunTool("check " + dir.path());

  EXPECT_EQ(run.status, 0);
  // Beyond the damage, the tables' own rules drop the rest: the blobs are no summaries or
  // address blobs, the accounts name listeners that do not exist, so the digest's account
  // and the listener's users are missing too.
  EXPECT_EQ(run.out,
            "db1.dat: 0 kept, 3 failed\n"
            "db2.dat: 0 kept, 3 failed\n"
            "db3.dat: 0 kept, 3 failed\n"
            "db4.dat: 0 kept, 2 failed\n"
            "db5.dat: 0 kept, 2 failed\n"
            "db6.dat: 1 kept, 0 failed\n"
            "db7.dat: 0 kept, 1 failed\n"
            "db8.dat: 0 kept, 2 failed\n"
            "db9.dat: 2 kept, 1 failed\n");

  const auto after = SnapshotFolder(dir);
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [name, snap] : before) {
    SCOPED_TRACE(name);
    EXPECT_EQ(after.at(name).bytes, snap.bytes);
    EXPECT_EQ(after.at(name).mtime.tv_sec, snap.mtime.tv_sec);
    EXPECT_EQ(after.at(name).mtime.tv_nsec, snap.mtime.tv_nsec);
  }
}

TEST(DbCheckToolTest, OnlyPresentFilesAreReportedAndNoneIsCreated) {
  TempDir dir;
  const std::string id12 = std::string("USR0000BEEF") + '\0';
  std::string damaged = Md5Raw(id12) + id12;
  damaged[17] ^= 0x01;
  WriteFile(dir.File("db6.dat"), damaged);
  WriteFile(dir.File("db9.dat"), "");

  RunResult run = RunTool("check " + dir.path() + "/");

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "db6.dat: 0 kept, 1 failed\ndb9.dat: 0 kept, 0 failed\n");
  EXPECT_EQ(SnapshotFolder(dir).size(), 2u);
}

TEST(DbCheckToolTest, UnreadableFileGivesNonZeroStatus) {
  TempDir dir;
  WriteFile(dir.File("db9.dat"), "\x01");
  ASSERT_EQ(::mkdir(dir.File("db5.dat").c_str(), 0700), 0);

  RunResult run = RunTool("check " + dir.path());

  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "db5.dat: cannot be read\ndb9.dat: 0 kept, 0 failed\n");
}

TEST(DbCheckToolTest, BadArgumentsPrintUsageAndExitTwo) {
  TempDir dir;
  struct Row {
    const char* name;
    std::string args;
    int want;
  };
  for (const Row& row : {Row{"NoCommand", "", 2}, Row{"UnknownCommand", "frobnicate", 2},
                         Row{"CheckWithoutDir", "check", 2},
                         Row{"CheckTwoDirs", "check " + dir.path() + " " + dir.path(), 2},
                         Row{"MissingDir", "check " + dir.path() + "/nope", 1}}) {
    SCOPED_TRACE(row.name);
    RunResult run = RunTool(row.args);
    EXPECT_EQ(run.status, row.want);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace pelrion::store
