// TrustedDomainList: the db9 file byte for byte (version 1, 256-byte records in sort
// order), exact-match lookups, the duplicate rule, load rules, the read-only decoder, file
// errors, and worker threads reading while the main thread changes the list.
#include "store/trusted_domains.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::TextField;
using testing::WriteFile;

std::string RecordOf(const std::string& domain) {
  const std::string record = TextField(domain, 256);
  return Md5Raw(record) + record;
}

std::string FileOf(const std::vector<std::string>& domains) {
  std::string out(1, '\x01');
  for (const auto& d : domains) out += RecordOf(d);
  return out;
}

class TrustedDomainsTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("db9.dat"); }
  std::unique_ptr<TrustedDomainList> Loaded() const {
    auto list = std::make_unique<TrustedDomainList>(dir_.path() + "/");
    list->Load();
    return list;
  }
  TempDir dir_;
};

TEST_F(TrustedDomainsTest, AddWritesSortedLowerCaseRecordsByteForByte) {
  auto loaded = Loaded();
  TrustedDomainList& list = *loaded;
  EXPECT_EQ(ReadFile(Path()), "");  // created empty at load
  EXPECT_EQ(list.AddTrustedDomain("  Zeta.ORG\t"), AddDomainResult::kAdded);
  EXPECT_EQ(list.AddTrustedDomain("alpha.net"), AddDomainResult::kAdded);
  EXPECT_EQ(list.AddTrustedDomain("Mid.Example.com"), AddDomainResult::kAdded);
  EXPECT_EQ(ReadFile(Path()), FileOf({"alpha.net", "mid.example.com", "zeta.org"}));
  EXPECT_TRUE(list.RemoveTrustedDomain("mid.example.com"));
  EXPECT_FALSE(list.RemoveTrustedDomain("mid.example.com"));
  EXPECT_EQ(ReadFile(Path()), FileOf({"alpha.net", "zeta.org"}));
  EXPECT_TRUE(list.RemoveTrustedDomain("alpha.net"));
  EXPECT_TRUE(list.RemoveTrustedDomain("zeta.org"));
  EXPECT_EQ(ReadFile(Path()), std::string(1, '\x01'));
}

TEST_F(TrustedDomainsTest, AddRefusals) {
  auto loaded = Loaded();
  TrustedDomainList& list = *loaded;
  ASSERT_EQ(list.AddTrustedDomain("example.com"), AddDomainResult::kAdded);
  const std::string before = ReadFile(Path());
  struct Row {
    const char* name;
    std::string text;
    AddDomainResult want;
  };
  for (const Row& r : {Row{"SameText", "example.com", AddDomainResult::kDuplicate},
                       Row{"OtherCase", "EXAMPLE.Com", AddDomainResult::kDuplicate},
                       Row{"Padded", " example.com ", AddDomainResult::kDuplicate},
                       Row{"Blank", " \t ", AddDomainResult::kEmpty},
                       Row{"Empty", "", AddDomainResult::kEmpty},
                       Row{"EmbeddedZero", std::string("a\0b.com", 7), AddDomainResult::kEmpty},
                       Row{"TooLong", std::string(256, 'a'), AddDomainResult::kTooLong}}) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(list.AddTrustedDomain(r.text), r.want);
    EXPECT_EQ(ReadFile(Path()), before);
    EXPECT_EQ(list.Domains(), std::vector<std::string>{"example.com"});
  }
  EXPECT_EQ(DuplicateDomainText("example.com"),
            "The 'example.com' Trusted Domain is already in the list.");
  // The longest storable domain survives a reload.
  ASSERT_EQ(list.AddTrustedDomain(std::string(255, 'b')), AddDomainResult::kAdded);
  EXPECT_TRUE(Loaded()->IsTrustedDomain(std::string(255, 'b')));
}

TEST_F(TrustedDomainsTest, ExactMatchOnly) {
  auto loaded = Loaded();
  TrustedDomainList& list = *loaded;
  ASSERT_EQ(list.AddTrustedDomain("example.com"), AddDomainResult::kAdded);
  ASSERT_EQ(list.AddTrustedDomain("b.org"), AddDomainResult::kAdded);
  struct Row {
    const char* name;
    const char* domain;
    bool want;
  };
  for (const Row& r : {Row{"Exact", "example.com", true}, Row{"Other", "b.org", true},
                       Row{"Subdomain", "mail.example.com", false},
                       Row{"Parent", "com", false}, Row{"UpperCase", "Example.com", false},
                       Row{"Prefix", "example.co", false}, Row{"Suffixed", "example.com.", false},
                       Row{"Empty", "", false}}) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(list.IsTrustedDomain(r.domain), r.want);
  }
}

TEST_F(TrustedDomainsTest, LoadSortsDropsRepeatsDamagedEmptyAndPartialRecords) {
  std::string bytes = std::string(1, '\x07');  // version byte is ignored
  bytes += RecordOf("zeta.org");
  std::string damaged = RecordOf("bad.org");
  damaged[16 + 2] ^= 0x01;
  bytes += damaged;
  bytes += RecordOf("alpha.net");
  bytes += RecordOf("zeta.org");
  bytes += RecordOf("");
  bytes += RecordOf("cut.org").substr(0, 100);
  WriteFile(Path(), bytes);

  auto loaded = Loaded();
  TrustedDomainList& list = *loaded;
  EXPECT_EQ(list.Domains(), (std::vector<std::string>{"alpha.net", "zeta.org"}));
  EXPECT_FALSE(list.IsTrustedDomain("bad.org"));
  EXPECT_FALSE(list.IsTrustedDomain(""));
  EXPECT_EQ(ReadFile(Path()), bytes);  // loading writes nothing

  const TrustedDomainRecords seen = DecodeTrustedDomainRecords(bytes);
  EXPECT_EQ(seen.domains, (std::vector<std::string>{"zeta.org", "alpha.net", "zeta.org", ""}));
  EXPECT_EQ(seen.bad_digests, 1u);

  // The next change rewrites the file from what was kept.
  ASSERT_EQ(list.AddTrustedDomain("mid.com"), AddDomainResult::kAdded);
  EXPECT_EQ(ReadFile(Path()), FileOf({"alpha.net", "mid.com", "zeta.org"}));
  EXPECT_EQ(Loaded()->Domains(), (std::vector<std::string>{"alpha.net", "mid.com", "zeta.org"}));
}

TEST_F(TrustedDomainsTest, BytesAfterTheTerminatorAreNotPartOfTheDomain) {
  std::string record = "example.com" + std::string(1, '\0') + "junk";
  record.resize(256, 'q');
  WriteFile(Path(), std::string(1, '\x01') + Md5Raw(record) + record);
  EXPECT_TRUE(Loaded()->IsTrustedDomain("example.com"));
}

using TrustedDomainsDeathTest = TrustedDomainsTest;

TEST_F(TrustedDomainsDeathTest, FileErrorsEndThroughFatalStop) {
  ASSERT_EQ(::mkdir(Path().c_str(), 0700), 0);
  EXPECT_EXIT(
      {
        Loaded();
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "Critical error on database access\\.");
  TrustedDomainList list(dir_.File("missing-folder") + "/");
  EXPECT_EXIT(
      {
        list.AddTrustedDomain("example.com");
        std::exit(0);
      },
      ::testing::ExitedWithCode(1), "Critical error on database access\\.");
}

// Worker threads look domains up while the main thread adds and removes others; the
// domains that never change must be answered right throughout.
TEST(TrustedDomainsThreadTest, WorkersReadWhileMainThreadChanges) {
  TempDir dir;
  TrustedDomainList list(dir.path() + "/");
  list.Load();
  ASSERT_EQ(list.AddTrustedDomain("stable.org"), AddDomainResult::kAdded);
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0};
  std::atomic<long> reads{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 3; ++w) {
    workers.emplace_back([&] {
      while (!stop.load()) {
        if (!list.IsTrustedDomain("stable.org")) ++wrong;
        if (list.IsTrustedDomain("sub.stable.org")) ++wrong;
        list.IsTrustedDomain("d7.com");
        ++reads;
      }
    });
  }
  for (int round = 0; round < 20; ++round) {
    for (int i = 0; i < 10; ++i) list.AddTrustedDomain("d" + std::to_string(i) + ".com");
    for (int i = 0; i < 10; ++i) list.RemoveTrustedDomain("d" + std::to_string(i) + ".com");
  }
  while (reads.load() < 100) std::this_thread::yield();
  stop = true;
  for (auto& t : workers) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(list.Domains(), std::vector<std::string>{"stable.org"});
  EXPECT_EQ(ReadFile(dir.File("db9.dat")), FileOf({"stable.org"}));
}

}  // namespace
}  // namespace pelrion::store
