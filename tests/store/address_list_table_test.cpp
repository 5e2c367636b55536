// AddressListTable: the stored db3 slots and db4 items byte for byte, reload, lookups with
// masks, the one-owner rule for addresses, load rules for damaged slots, move, replace,
// delete with compaction, approve/blacklist, and FatalStop on file errors.
#include "store/address_list_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/key_hash.h"
#include "store/message_record.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::Md5Raw;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

// A ListBlob built from the layout table, independently of the code under test.
std::string BlobOf(const std::string& name, const std::vector<std::string>& addresses) {
  std::size_t at = 24 + 4 * addresses.size();
  std::string offsets, texts;
  for (const auto& a : addresses) {
    offsets += Le32(static_cast<std::uint32_t>(at));
    texts += a + '\0';
    at += a.size() + 1;
  }
  const std::size_t name_at = at;
  texts += name + '\0';
  const std::size_t unpadded = 24 + offsets.size() + texts.size();
  std::string blob = Le32(static_cast<std::uint32_t>(unpadded + unpadded % 8)) +
                     Le32(static_cast<std::uint32_t>(name_at)) +
                     Le32(static_cast<std::uint32_t>(addresses.size())) + Le32(0) + Le32(24) +
                     Le32(0) + offsets + texts;
  blob.append(unpadded % 8, '\0');
  return blob;
}

std::string EntryOf(std::uint32_t id, std::uint32_t size, std::uint32_t offset,
                    std::uint32_t mask) {
  return Le32(id) + Le32(size) + Le32(offset) + Le32(mask);
}

std::string SlotOf(const std::string& entry) { return Md5Raw(entry) + entry; }

// Hand-built db3/db4 images.
struct StoredContact {
  std::uint32_t id;
  std::uint32_t mask;
  std::string name;
  std::vector<std::string> addresses;
};

struct Images {
  std::string db3;
  std::string db4;
};

Images Build(const std::vector<StoredContact>& contacts) {
  Images out;
  for (const auto& c : contacts) {
    const std::string blob = BlobOf(c.name, c.addresses);
    const auto offset = static_cast<std::uint32_t>(out.db4.size());
    out.db4 += Md5Raw(blob) + blob;
    out.db3 += SlotOf(EntryOf(c.id, static_cast<std::uint32_t>(blob.size()), offset, c.mask));
  }
  return out;
}

class AddressListTableTest : public ::testing::Test {
 protected:
  std::string Db3() const { return ReadFile(dir_.File("db3.dat")); }
  std::string Db4() const { return ReadFile(dir_.File("db4.dat")); }
  void Store(const Images& images) {
    WriteFile(dir_.File("db3.dat"), images.db3);
    WriteFile(dir_.File("db4.dat"), images.db4);
  }
  std::unique_ptr<AddressListTable> Loaded() {
    auto table = std::make_unique<AddressListTable>(dir_.path() + "/");
    table->Load();
    return table;
  }

  TempDir dir_;
};

TEST_F(AddressListTableTest, AddContactWritesSlotAndItemByteForByte) {
  auto table = Loaded();
  Contact* ann = table->AddContact("Ann Lee", {"Ann@X.org", "lee@y.net"}, kBlackList);
  ASSERT_NE(ann, nullptr);
  EXPECT_NE(ann->id, 0u);
  // Every entry path lower-cases addresses.
  EXPECT_EQ(ann->blob.addresses, (std::vector<std::string>{"ann@x.org", "lee@y.net"}));

  const std::string blob = BlobOf("Ann Lee", {"ann@x.org", "lee@y.net"});
  EXPECT_EQ(Db4(), Md5Raw(blob) + blob);
  EXPECT_EQ(Db3(), SlotOf(EntryOf(ann->id, static_cast<std::uint32_t>(blob.size()), 0, 0x2)));

  Contact* bob = table->AddContact("Bob", {"bob@z.com"}, kTrustedContactsList);
  ASSERT_NE(bob, nullptr);
  const std::string blob2 = BlobOf("Bob", {"bob@z.com"});
  EXPECT_EQ(Db4(), Md5Raw(blob) + blob + Md5Raw(blob2) + blob2);
  EXPECT_EQ(Db3().substr(32),
            SlotOf(EntryOf(bob->id, static_cast<std::uint32_t>(blob2.size()),
                           static_cast<std::uint32_t>(16 + blob.size()), 0x1)));
}

TEST_F(AddressListTableTest, SurvivesReloadUnchanged) {
  std::vector<std::uint32_t> ids;
  {
    auto table = Loaded();
    ids.push_back(table->AddContact("Ann", {"ann@x.org", "a2@x.org"}, 0)->id);
    ids.push_back(table->AddContact("Bob", {"bob@y.net"}, 1)->id);
    Contact* cara = table->AddContact("Cara", {"cara@z.com"}, 0);
    ids.push_back(cara->id);
    Contact* const moved[] = {cara};
    table->MoveContacts(moved, 1);
  }
  const std::string db3 = Db3();
  const std::string db4 = Db4();
  auto table = Loaded();
  ASSERT_EQ(table->size(), 3u);
  EXPECT_EQ(table->address_count(), 4u);
  struct Want {
    const char* address;
    const char* name;
    std::uint32_t mask;
  };
  for (const Want& w : {Want{"ann@x.org", "Ann", 1}, Want{"a2@x.org", "Ann", 1},
                        Want{"bob@y.net", "Bob", 2}, Want{"cara@z.com", "Cara", 2}}) {
    SCOPED_TRACE(w.address);
    const Contact* c = table->FindByAddress(w.address);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->blob.name, w.name);
    EXPECT_EQ(c->list_mask, w.mask);
  }
  for (std::uint32_t id : ids) EXPECT_NE(table->Find(id), nullptr);
  // Loading changes nothing on disk.
  EXPECT_EQ(Db3(), db3);
  EXPECT_EQ(Db4(), db4);
}

struct LookupCase {
  const char* name;
  const char* address;
  std::uint32_t mask;
  std::uint32_t want;
};

class AddressLookupTest : public AddressListTableTest,
                          public ::testing::WithParamInterface<LookupCase> {};

TEST_P(AddressLookupTest, MasksTheListOfTheHolder) {
  auto table = Loaded();
  ASSERT_NE(table->AddContact("Friend", {"friend@x.org"}, 0), nullptr);
  ASSERT_NE(table->AddContact("Spam", {"spam@y.net", "spam2@y.net"}, 1), nullptr);
  const LookupCase& c = GetParam();
  EXPECT_EQ(table->LookupAddress(c.address, c.mask), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AddressLookupTest,
    ::testing::Values(LookupCase{"TrustedWithMask3", "friend@x.org", 3, 1},
                      LookupCase{"TrustedWithMask2", "friend@x.org", 2, 0},
                      LookupCase{"BlackWithMask1", "spam@y.net", 1, 0},
                      LookupCase{"BlackWithMask3", "spam@y.net", 3, 2},
                      LookupCase{"SecondAddressOfContact", "spam2@y.net", 2, 2},
                      LookupCase{"Unknown", "nobody@x.org", 3, 0},
                      LookupCase{"StoredCaseOnly", "Friend@x.org", 3, 0},
                      LookupCase{"PrefixIsNotMatch", "friend@x.or", 3, 0},
                      LookupCase{"DomainIsNotMatch", "x.org", 3, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddressListTableTest, AnAddressNeverGetsASecondOwner) {
  auto table = Loaded();
  Contact* ann = table->AddContact("Ann", {"ann@x.org"}, 0);
  ASSERT_NE(ann, nullptr);
  const std::string db3 = Db3();
  const std::string db4 = Db4();

  struct Attempt {
    const char* name;
    std::vector<std::string> addresses;
  };
  for (const Attempt& a : {Attempt{"SameAddress", {"ann@x.org"}},
                           Attempt{"OtherCase", {"ANN@X.ORG"}},
                           Attempt{"LaterInList", {"new@x.org", "ann@x.org"}},
                           Attempt{"RepeatedInOwnList", {"dup@x.org", "dup@x.org"}},
                           Attempt{"NoAddress", {}},
                           Attempt{"EmptyAddress", {""}}}) {
    SCOPED_TRACE(a.name);
    EXPECT_EQ(table->AddContact("Other", a.addresses, 1), nullptr);
    EXPECT_EQ(table->size(), 1u);
    EXPECT_EQ(table->FindByAddress("ann@x.org"), ann);
    // Addresses inserted before the clash are removed again.
    EXPECT_EQ(table->FindByAddress("new@x.org"), nullptr);
    EXPECT_EQ(table->address_count(), 1u);
    EXPECT_EQ(Db3(), db3);
    EXPECT_EQ(Db4(), db4);
  }
}

TEST_F(AddressListTableTest, AddContactIfNewLooksOnlyAtTheFirstAddress) {
  auto table = Loaded();
  ASSERT_NE(table->AddContact("Ann", {"ann@x.org"}, 1), nullptr);
  // A known first address: nothing is added, even though the second one is new.
  EXPECT_EQ(table->AddContactIfNew("Ann again", {"Ann@x.org", "fresh@x.org"}, 0), nullptr);
  EXPECT_EQ(table->size(), 1u);
  EXPECT_EQ(table->FindByAddress("fresh@x.org"), nullptr);
  EXPECT_EQ(table->LookupAddress("ann@x.org", 3), 2u);
  // An unknown first address adds the contact.
  Contact* added = table->AddContactIfNew("Fresh", {"Fresh@x.org"}, 0);
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(table->LookupAddress("fresh@x.org", 3), 1u);
}

// Load rules: each row damages the second of three stored contacts, which must be freed
// on disk while its neighbours load.
struct DamageCase {
  const char* name;
  std::function<void(Images&)> damage;
};

class AddressLoadDamageTest : public AddressListTableTest,
                              public ::testing::WithParamInterface<DamageCase> {};

const std::vector<StoredContact> kThree = {{0x1111, 1, "Ann", {"ann@x.org"}},
                                           {0x2222, 2, "Bob", {"bob@y.net", "b2@y.net"}},
                                           {0x3333, 1, "Cara", {"cara@z.com"}}};

TEST_P(AddressLoadDamageTest, FreesTheDamagedSlotOnDisk) {
  Images images = Build(kThree);
  GetParam().damage(images);
  Store(images);
  auto table = Loaded();
  EXPECT_EQ(table->size(), 2u);
  EXPECT_NE(table->Find(0x1111), nullptr);
  EXPECT_EQ(table->Find(0x2222), nullptr);
  EXPECT_NE(table->Find(0x3333), nullptr);
  EXPECT_EQ(table->FindByAddress("b2@y.net"), nullptr);
  const std::string db3 = Db3();
  ASSERT_EQ(db3.size(), images.db3.size());
  EXPECT_EQ(db3.substr(32, 32), std::string(32, '\0'));
  EXPECT_EQ(db3.substr(0, 32), images.db3.substr(0, 32));
  EXPECT_EQ(db3.substr(64), images.db3.substr(64));
  // The next start no longer sees it, and new slots go after the freed one.
  auto again = Loaded();
  EXPECT_EQ(again->size(), 2u);
  Contact* dan = again->AddContact("Dan", {"dan@x.org"}, 0);
  ASSERT_NE(dan, nullptr);
  EXPECT_EQ(dan->slot_offset(), 96u);
}

// Replaces slot 1 with a correctly digested entry.
void SetEntry(Images& im, std::uint32_t id, std::uint32_t size, std::uint32_t offset,
              std::uint32_t mask) {
  im.db3.replace(32, 32, SlotOf(EntryOf(id, size, offset, mask)));
}
// The second item's offset and blob size as built.
std::uint32_t SecondOffset() { return 16 + static_cast<std::uint32_t>(BlobOf("Ann", {"ann@x.org"}).size()); }
std::uint32_t SecondSize() {
  return static_cast<std::uint32_t>(BlobOf("Bob", {"bob@y.net", "b2@y.net"}).size());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AddressLoadDamageTest,
    ::testing::Values(
        DamageCase{"FlippedEntryByte", [](Images& im) { im.db3[32 + 16 + 12] ^= 0x04; }},
        DamageCase{"FlippedSlotDigest", [](Images& im) { im.db3[32] ^= 0x01; }},
        DamageCase{"FlippedBlobByte",
                   [](Images& im) { im.db4[SecondOffset() + 16 + 30] ^= 0x20; }},
        DamageCase{"FlippedItemDigest", [](Images& im) { im.db4[SecondOffset()] ^= 0x80; }},
        DamageCase{"PointsBeyondDb4",
                   [](Images& im) {
                     SetEntry(im, 0x2222, SecondSize(), static_cast<std::uint32_t>(im.db4.size()),
                              2);
                   }},
        DamageCase{"SizePassesDb4End",
                   [](Images& im) { SetEntry(im, 0x2222, 4096, SecondOffset(), 2); }},
        DamageCase{"OffsetWraps",
                   [](Images& im) { SetEntry(im, 0x2222, SecondSize(), 0xFFFFFFF0u, 2); }},
        DamageCase{"BlobLayoutBroken",
                   [](Images& im) {
                     // Valid digests around a blob whose name offset points outside it.
                     std::string blob = BlobOf("Bob", {"bob@y.net", "b2@y.net"});
                     blob.replace(4, 4, Le32(5000));
                     im.db4.replace(SecondOffset(), 16 + blob.size(), Md5Raw(blob) + blob);
                   }},
        DamageCase{"ZeroId",
                   [](Images& im) { SetEntry(im, 0, SecondSize(), SecondOffset(), 2); }},
        DamageCase{"DuplicateIdOfEarlier",
                   [](Images& im) {
                     // The slot keeps its own blob but repeats the first contact's id.
                     SetEntry(im, 0x1111, SecondSize(), SecondOffset(), 2);
                   }},
        DamageCase{"AddressHeldByEarlierContact",
                   [](Images& im) {
                     std::string blob = BlobOf("Bob", {"b2@y.net", "ann@x.org"});
                     ASSERT_EQ(blob.size(), SecondSize());
                     im.db4.replace(SecondOffset(), 16 + blob.size(), Md5Raw(blob) + blob);
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AddressListTableTest, ShortTailAndFreeSlotsAreSkipped) {
  Images images = Build(kThree);
  images.db3.replace(32, 32, std::string(32, '\0'));  // freed slot
  images.db3 += "partial";
  Store(images);
  auto table = Loaded();
  EXPECT_EQ(table->size(), 2u);
  // A free slot is skipped, not rewritten, and the partial tail stays as it was.
  EXPECT_EQ(Db3(), images.db3);
}

TEST_F(AddressListTableTest, MoveKeepsTheHighBitsAndRewritesTheSlot) {
  Store(Build({{0x1111, 0x00050002, "Ann", {"ann@x.org"}}}));
  auto table = Loaded();
  Contact* ann = table->Find(0x1111);
  ASSERT_NE(ann, nullptr);
  Contact* const moved[] = {ann};
  table->MoveContacts(moved, kTrustedContactsList);
  EXPECT_EQ(ann->list_mask, 0x00050001u);
  EXPECT_EQ(table->LookupAddress("ann@x.org", 3), 1u);
  const auto size = static_cast<std::uint32_t>(BlobOf("Ann", {"ann@x.org"}).size());
  EXPECT_EQ(Db3(), SlotOf(EntryOf(0x1111, size, 0, 0x00050001)));
}

TEST_F(AddressListTableTest, ReplaceGivesANewIdAndNewAddresses) {
  auto table = Loaded();
  Contact* ann = table->AddContact("Ann", {"ann@x.org", "old@x.org"}, 0);
  ASSERT_NE(table->AddContact("Bob", {"bob@y.net"}, 1), nullptr);
  const std::uint32_t old_id = ann->id;
  Contact* replaced = table->ReplaceContact(*ann, "Ann B", {"ann@x.org", "NEW@x.org"}, 1);
  ASSERT_NE(replaced, nullptr);
  EXPECT_NE(replaced->id, old_id);
  EXPECT_EQ(table->Find(old_id), nullptr);
  EXPECT_EQ(table->FindByAddress("old@x.org"), nullptr);
  EXPECT_EQ(table->FindByAddress("new@x.org"), replaced);
  EXPECT_EQ(table->LookupAddress("ann@x.org", 3), 2u);
  EXPECT_EQ(table->size(), 2u);
}

TEST_F(AddressListTableTest, ReplaceRefusedWhenAnotherContactHoldsAnAddress) {
  auto table = Loaded();
  Contact* ann = table->AddContact("Ann", {"ann@x.org"}, 0);
  ASSERT_NE(table->AddContact("Bob", {"bob@y.net"}, 1), nullptr);
  const std::uint32_t id = ann->id;
  EXPECT_EQ(table->ReplaceContact(*ann, "Ann", {"ann@x.org", "bob@y.net"}, 0), nullptr);
  // The old contact is not lost.
  EXPECT_EQ(table->Find(id), ann);
  EXPECT_EQ(table->FindByAddress("ann@x.org"), ann);
  EXPECT_EQ(table->LookupAddress("bob@y.net", 3), 2u);
}

TEST_F(AddressListTableTest, DeleteCompactsPastTheRatioAndTruncatesWhenEmpty) {
  auto table = Loaded();
  std::vector<Contact*> contacts;
  for (int i = 0; i < 10; ++i) {
    contacts.push_back(table->AddContact("C" + std::to_string(i),
                                         {"c" + std::to_string(i) + "@x.org"}, i % 2));
  }
  const std::size_t db4_full = Db4().size();

  // 10 slots for 9 live ones: 320 / 288 is below 1.33, so the slot is only freed.
  table->DeleteContacts({&contacts[0], 1});
  EXPECT_EQ(Db3().size(), 320u);
  EXPECT_EQ(Db3().substr(0, 32), std::string(32, '\0'));
  EXPECT_EQ(Db4().size(), db4_full);

  // 320 / 224 passes 1.33: both files are rewritten with the live contacts only. A contact
  // listed twice, or already deleted, is deleted once.
  const std::vector<Contact*> twice = {contacts[1], contacts[2], contacts[1], contacts[0]};
  table->DeleteContacts(twice);
  EXPECT_EQ(Db3().size(), 7u * 32);
  std::vector<StoredContact> live;
  for (Contact* c : table->records()) live.push_back({c->id, c->list_mask, c->blob.name, c->blob.addresses});
  const Images want = Build(live);
  EXPECT_EQ(Db3(), want.db3);
  EXPECT_EQ(Db4(), want.db4);
  auto reloaded = Loaded();
  EXPECT_EQ(reloaded->size(), 7u);
  EXPECT_EQ(reloaded->LookupAddress("c9@x.org", 3), 2u);
  EXPECT_EQ(reloaded->LookupAddress("c1@x.org", 3), 0u);

  std::vector<Contact*> rest(table->records().begin(), table->records().end());
  table->DeleteContacts(rest);
  EXPECT_EQ(table->size(), 0u);
  EXPECT_EQ(table->address_count(), 0u);
  EXPECT_EQ(Db3().size(), 0u);
  EXPECT_EQ(Db4().size(), 0u);
}

TEST_F(AddressListTableTest, ApproveAndBlacklistSenders) {
  auto table = Loaded();
  Contact* spammer = table->AddContact("Spam", {"spam@y.net", "spam2@y.net"}, 1);
  Contact* pal = table->AddContact("Pal", {"pal@x.org"}, 0);
  const std::string db4 = Db4();

  const std::vector<SenderOfMessage> approve = {
      {"spam2@y.net", "Ignored"}, {"pal@x.org", "Ignored"}, {"", "No Address"},
      {"new@z.com", "New Person"}, {"new@z.com", "Again"}};
  table->ApproveSenders(approve);
  // A blacklisted sender moves with all its addresses; no new blob for a move.
  EXPECT_EQ(table->LookupAddress("spam@y.net", 3), 1u);
  EXPECT_EQ(table->FindByAddress("spam@y.net"), spammer);
  EXPECT_EQ(table->LookupAddress("pal@x.org", 3), 1u);
  EXPECT_EQ(table->FindByAddress("pal@x.org"), pal);
  Contact* added = table->FindByAddress("new@z.com");
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->blob.name, "New Person");
  EXPECT_EQ(added->list_mask, 1u);
  EXPECT_EQ(table->size(), 3u);
  EXPECT_EQ(Db4().size(), db4.size() + 16 + BlobOf("New Person", {"new@z.com"}).size());

  const std::vector<SenderOfMessage> blacklist = {{"pal@x.org", ""}, {"other@q.org", "Q"}};
  table->BlacklistSenders(blacklist);
  EXPECT_EQ(table->LookupAddress("pal@x.org", 3), 2u);
  EXPECT_EQ(table->LookupAddress("other@q.org", 3), 2u);

  auto reloaded = Loaded();
  EXPECT_EQ(reloaded->LookupAddress("spam2@y.net", 3), 1u);
  EXPECT_EQ(reloaded->LookupAddress("pal@x.org", 3), 2u);
}

TEST_F(AddressListTableTest, SendersAreTakenFromMessageSummaries) {
  auto table = Loaded();
  ASSERT_NE(table->AddContact("Spam", {"spam@y.net"}, 1), nullptr);
  MessageRecord from_spammer, from_stranger, without_sender;
  from_spammer.summary.set_sender_address("spam@y.net");
  from_stranger.summary.set_sender_address("stranger@z.com");
  from_stranger.summary.set_sender_name("=?us-ascii?q?Str=41nger?=");
  from_stranger.summary.set_sender_name_decoded("StrAnger");
  without_sender.summary.set_sender_name_decoded("Nobody");
  MessageRecord* const messages[] = {&from_spammer, &from_stranger, &without_sender};
  table->ApproveSenders(messages);
  EXPECT_EQ(table->LookupAddress("spam@y.net", 3), 1u);
  ASSERT_NE(table->FindByAddress("stranger@z.com"), nullptr);
  EXPECT_EQ(table->FindByAddress("stranger@z.com")->blob.name, "StrAnger");
  EXPECT_EQ(table->size(), 2u);
  table->BlacklistSenders(messages);
  EXPECT_EQ(table->LookupAddress("spam@y.net", 3), 2u);
  EXPECT_EQ(table->LookupAddress("stranger@z.com", 3), 2u);
  EXPECT_EQ(table->size(), 2u);
}

class RecordingView : public AddressListView {
 public:
  void ContactAdded(Contact& c) override { log.push_back("add " + c.blob.name); }
  void ContactMoved(Contact& c) override { log.push_back("move " + c.blob.name); }
  void ContactRemoved(Contact& c) override { log.push_back("remove " + c.blob.name); }
  std::vector<std::string> log;
};

TEST_F(AddressListTableTest, TellsTheWindow) {
  auto table = Loaded();
  RecordingView view;
  table->SetView(&view);
  Contact* ann = table->AddContact("Ann", {"ann@x.org"}, 0);
  ASSERT_EQ(table->AddContact("Dup", {"ann@x.org"}, 0), nullptr);
  Contact* const one[] = {ann};
  table->MoveContacts(one, 1);
  table->DeleteContacts(one);
  EXPECT_EQ(view.log, (std::vector<std::string>{"add Ann", "move Ann", "remove Ann"}));
}

// The read-only view of one slot for the dump and check tool.
TEST(ContactInspectionTest, DecodesAndJudgesSlotsWithoutFiles) {
  const Images images = Build({{0x1111, 0x2, "Ann", {"ann@x.org", "a2@x.org"}}});
  const std::string blob = BlobOf("Ann", {"ann@x.org", "a2@x.org"});
  const auto size = static_cast<std::uint32_t>(blob.size());
  std::string broken_blob = blob;
  broken_blob.replace(16, 4, Le32(9999));  // address array outside the blob
  const std::string broken_db4 = Md5Raw(broken_blob) + broken_blob;
  const std::string repeat_blob = BlobOf("Rep", {"r@x.org", "r@x.org"});
  const std::string repeat_db4 = Md5Raw(repeat_blob) + repeat_blob;
  struct Row {
    const char* name;
    std::string slot;
    std::string db4;
    SlotVerdict verdict;
    bool blob_ok;
    bool passes;
  };
  std::string bad_digest = images.db3;
  bad_digest[5] ^= 1;
  for (const Row& r :
       {Row{"Valid", images.db3, images.db4, SlotVerdict::kValid, true, true},
        Row{"Free", std::string(32, '\0'), images.db4, SlotVerdict::kFree, false, false},
        Row{"BadDigest", bad_digest, images.db4, SlotVerdict::kBadDigest, false, false},
        Row{"BeyondDb4", images.db3, images.db4.substr(0, images.db4.size() - 1),
            SlotVerdict::kOutsideHeap, false, false},
        Row{"BlobDigest", images.db3, images.db4.substr(0, 20) + "X" + images.db4.substr(21),
            SlotVerdict::kBadBlobDigest, false, false},
        Row{"BlobLayout", images.db3, broken_db4, SlotVerdict::kValid, false, false},
        Row{"RepeatedAddress", SlotOf(EntryOf(7, static_cast<std::uint32_t>(repeat_blob.size()), 0, 1)),
            repeat_db4, SlotVerdict::kValid, true, false},
        Row{"ZeroId", SlotOf(EntryOf(0, size, 0, 2)), images.db4, SlotVerdict::kValid, true,
            false},
        Row{"WrongSlotSize", images.db3.substr(0, 31), images.db4, SlotVerdict::kBadDigest,
            false, false}}) {
    SCOPED_TRACE(r.name);
    const ContactInspection seen = InspectContactSlot(r.slot, r.db4);
    EXPECT_EQ(seen.verdict, r.verdict);
    EXPECT_EQ(seen.blob_ok, r.blob_ok);
    EXPECT_EQ(seen.passes, r.passes);
  }
  const ContactInspection valid = InspectContactSlot(images.db3, images.db4);
  EXPECT_EQ(valid.id, 0x1111u);
  EXPECT_EQ(valid.blob_size, size);
  EXPECT_EQ(valid.blob_offset, 0u);
  EXPECT_EQ(valid.list_mask, 0x2u);
  EXPECT_EQ(valid.blob.name, "Ann");
  EXPECT_EQ(valid.blob.addresses, (std::vector<std::string>{"ann@x.org", "a2@x.org"}));
}

// Many addresses in one bucket, inserted out of order: every one is found (the bucket is
// searched by binary search, so it must stay sorted) and removals leave the rest findable.
TEST(AddressIndexTest, OneCrowdedBucketStaysSearchable) {
  std::vector<std::string> crowd;
  const std::uint32_t target = BucketOfText("seed@x.org");
  for (int i = 0; crowd.size() < 30 && i < 2000000; ++i) {
    std::string a = "u" + std::to_string(i) + "@x.org";
    if (BucketOfText(a) == target) crowd.push_back(a);
  }
  ASSERT_EQ(crowd.size(), 30u);
  std::vector<Contact> owners(crowd.size());
  AddressIndex index;
  // Insert from both ends towards the middle so the order is not the sorted one.
  for (std::size_t k = 0; k < crowd.size(); ++k) {
    const std::size_t i = k % 2 == 0 ? k / 2 : crowd.size() - 1 - k / 2;
    ASSERT_TRUE(index.Insert(crowd[i], &owners[i]));
  }
  EXPECT_EQ(index.size(), crowd.size());
  EXPECT_FALSE(index.Insert(crowd[3], &owners[4]));
  EXPECT_FALSE(index.Remove(crowd[3], &owners[4]));  // not the holder
  for (std::size_t i = 0; i < crowd.size(); ++i) {
    SCOPED_TRACE(crowd[i]);
    EXPECT_EQ(index.Find(crowd[i]), &owners[i]);
  }
  for (std::size_t i = 0; i < crowd.size(); i += 3) ASSERT_TRUE(index.Remove(crowd[i], &owners[i]));
  for (std::size_t i = 0; i < crowd.size(); ++i) {
    SCOPED_TRACE(crowd[i]);
    EXPECT_EQ(index.Find(crowd[i]), i % 3 == 0 ? nullptr : &owners[i]);
  }
  EXPECT_EQ(index.Find("seed@x.org"), nullptr);
}

using AddressListTableDeathTest = AddressListTableTest;

TEST_F(AddressListTableDeathTest, FileErrorsEndThroughFatalStop) {
  struct Row {
    const char* name;
    const char* broken;  // the file replaced by a directory
    bool before_load;
  };
  for (const Row& row : {Row{"Db3AtLoad", "db3.dat", true}, Row{"Db4AtLoad", "db4.dat", true},
                         Row{"Db4AtAdd", "db4.dat", false}, Row{"Db3AtAdd", "db3.dat", false}}) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    const std::string folder = dir.path() + "/";
    const std::string broken = dir.File(row.broken);
    EXPECT_EXIT(
        {
          AddressListTable table(folder);
          if (row.before_load) ::mkdir(broken.c_str(), 0700);
          table.Load();
          if (!row.before_load) {
            ::unlink(broken.c_str());
            ::mkdir(broken.c_str(), 0700);
            table.AddContact("Ann", {"ann@x.org"}, 0);
          }
          std::exit(0);
        },
        ::testing::ExitedWithCode(1), "Critical error on database access\\.");
  }
}

}  // namespace
}  // namespace pelrion::store
