#include "validation/pending_sender_list.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/random.h"
#include "support/files.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"

namespace pelrion::validation {
namespace {

using test_support::ReadFile;
using testing::QuarantineWorld;
using testing::ReferenceRand;

std::vector<std::string> EntryAddresses(const PendingSenderList& list) {
  std::vector<std::string> addresses;
  for (const PendingSender& entry : list.entries()) addresses.push_back(entry.address);
  return addresses;
}

std::vector<std::uint32_t> EntryIds(const PendingSender& entry) {
  std::vector<std::uint32_t> ids;
  for (const store::MessageRecord* message : entry.messages) ids.push_back(message->id);
  return ids;
}

// The first seed whose first two-draw value satisfies pred (a search with the reference
// generator, so boundary values are reached without trusting the code under test).
template <typename Pred>
std::uint32_t FindSeed(Pred pred) {
  for (std::uint32_t seed = 1;; ++seed) {
    if (pred(seed)) return seed;
  }
}

class PendingSenderListTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::SetNowForTesting(std::nullopt); }

  // Files an unknown sender's message with the generator seeded right before filing.
  store::MessageRecord* FileSeeded(std::string_view sender, std::uint32_t seed) {
    auto record = world_.NewMessage(account_, sender);
    record->status = kStatusAwaitingRequest;
    platform::SeedRand(seed);
    return world_.messages->RegisterMessage(std::move(record));
  }

  QuarantineWorld world_;
  std::uint32_t account_ = world_.AddAccount("me@home.example");
};

struct DrawRow {
  const char* name;
  core::ValidationMethod method;
  // Finds the seed for the row from the reference generator.
  std::uint32_t (*seed)();
};

class RequestDrawTest : public PendingSenderListTest,
                        public ::testing::WithParamInterface<DrawRow> {};

TEST_P(RequestDrawTest, NumberAndCodeFollowTheFormula) {
  const DrawRow& row = GetParam();
  world_.preferences.method = static_cast<std::uint32_t>(row.method);
  const std::uint32_t seed = row.seed();
  store::MessageRecord* message = FileSeeded("stranger@example.com", seed);
  ASSERT_NE(message, nullptr);

  ReferenceRand reference(seed);
  const std::int64_t want_number = reference.NextPair() % 90000 + 10000;
  const std::int64_t want_code =
      row.method == core::ValidationMethod::kCaptcha ? reference.NextPair() % 900000 + 100000 : 0;
  EXPECT_EQ(message->request_number, want_number);
  EXPECT_EQ(message->authorization_code, want_code);
  EXPECT_EQ(message->request_sent_time, 0);
  EXPECT_GE(message->request_number, 10000);
  EXPECT_LE(message->request_number, 99999);
  if (want_code != 0) {
    EXPECT_GE(message->authorization_code, 100000);
    EXPECT_LE(message->authorization_code, 999999);
  }
  // Exactly the draws the formula needs were taken from the generator.
  EXPECT_EQ(platform::Rand(), reference.Next());
}

void PrintTo(const DrawRow& row, std::ostream* os) {
  *os << row.name;
}

const DrawRow kDrawRows[] = {
    {"reply_seed_1", core::ValidationMethod::kReply, [] { return 1u; }},
    {"reply_seed_large", core::ValidationMethod::kReply, [] { return 0xDEADBEEFu; }},
    {"captcha_seed_1", core::ValidationMethod::kCaptcha, [] { return 1u; }},
    {"captcha_seed_large", core::ValidationMethod::kCaptcha, [] { return 0x7FFFFFFFu; }},
    {"lowest_number", core::ValidationMethod::kReply,
     [] {
       return FindSeed([](std::uint32_t s) { return ReferenceRand(s).NextPair() % 90000 == 0; });
     }},
    {"highest_number", core::ValidationMethod::kReply,
     [] {
       return FindSeed(
           [](std::uint32_t s) { return ReferenceRand(s).NextPair() % 90000 == 89999; });
     }},
    {"lowest_code", core::ValidationMethod::kCaptcha,
     [] {
       return FindSeed([](std::uint32_t s) {
         ReferenceRand r(s);
         r.NextPair();
         return r.NextPair() % 900000 == 0;
       });
     }},
    {"highest_code", core::ValidationMethod::kCaptcha,
     [] {
       return FindSeed([](std::uint32_t s) {
         ReferenceRand r(s);
         r.NextPair();
         return r.NextPair() % 900000 == 899999;
       });
     }},
};

INSTANTIATE_TEST_SUITE_P(Seeds, RequestDrawTest, ::testing::ValuesIn(kDrawRows),
                         [](const ::testing::TestParamInfo<DrawRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(PendingSenderListTest, MessagesOfOneSenderShareOneEntryAndOneRequest) {
  world_.preferences.method = 1;
  store::MessageRecord* first = FileSeeded("stranger@example.com", 42);
  // The second arrival draws nothing: its fields are the entry's.
  store::MessageRecord* second = FileSeeded("stranger@example.com", 4242);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_EQ(world_.list->size(), 1u);
  EXPECT_EQ(world_.list->entries()[0].messages.size(), 2u);
  EXPECT_EQ(second->request_number, first->request_number);
  EXPECT_EQ(second->authorization_code, first->authorization_code);
  EXPECT_EQ(second->status, kStatusAwaitingRequest);
  EXPECT_EQ(platform::Rand(), ReferenceRand(4242).Next());
}

TEST_F(PendingSenderListTest, LateArrivalTakesTheSentRequestAndKeepsItsStatus) {
  platform::SetNowForTesting(1'700'000'000);
  store::MessageRecord* first = world_.FileHeld(account_, "stranger@example.com");
  world_.quarantine->RequestDelivered("stranger@example.com");
  platform::SetNowForTesting(1'700'000'000 + 2 * 86400);

  store::MessageRecord* late = world_.FileHeld(account_, "stranger@example.com");
  EXPECT_EQ(late->status, kStatusAwaitingRequest);
  EXPECT_EQ(late->request_sent_time, 1'700'000'000);
  EXPECT_EQ(late->request_number, first->request_number);
  EXPECT_EQ(first->status, kStatusAwaitingReply);
}

TEST_F(PendingSenderListTest, EntriesAreSortedByUnsignedAddressBytes) {
  for (const char* sender : {"b@x", "\xE9t\xE9@x", "a@x.y", "B@x", "a@x"}) {
    world_.FileHeld(account_, sender);
  }
  // Byte order: capitals before small letters, 8-bit bytes after both.
  const std::vector<std::string> want = {"B@x", "a@x", "a@x.y", "b@x", "\xE9t\xE9@x"};
  EXPECT_EQ(EntryAddresses(*world_.list), want);
  for (const std::string& address : want) {
    SCOPED_TRACE(address);
    const PendingSender* entry = world_.list->Find(address);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->address, address);
  }
  EXPECT_EQ(world_.list->Find("A@x"), nullptr);  // exact bytes only
}

TEST_F(PendingSenderListTest, MessagesAreSortedByUnsignedIdAndTheLowestRepresents) {
  world_.preferences.method = 1;
  const std::uint32_t ids[] = {0x90000000u, 0x7FFFFFFFu, 0x00000010u, 0x80000001u};
  std::vector<store::MessageRecord*> filed;
  for (std::uint32_t id : ids) filed.push_back(world_.FileHeld(account_, "s@example.com", id));
  const PendingSender* entry = world_.list->Find("s@example.com");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(EntryIds(*entry),
            (std::vector<std::uint32_t>{0x10u, 0x7FFFFFFFu, 0x80000001u, 0x90000000u}));
  // Whichever arrived first drew the request; every later one copied it.
  for (const store::MessageRecord* message : filed) {
    EXPECT_EQ(message->request_number, filed[0]->request_number);
    EXPECT_EQ(message->authorization_code, filed[0]->authorization_code);
  }
}

TEST_F(PendingSenderListTest, ReleaseRemovesTheMessageAndTheEmptiedEntry) {
  store::MessageRecord* a = world_.FileHeld(account_, "s@example.com", 100);
  store::MessageRecord* b = world_.FileHeld(account_, "s@example.com", 200);
  store::MessageRecord* other = world_.FileHeld(account_, "t@example.com", 300);

  EXPECT_TRUE(world_.list->ReleaseHeldMessage(*a));
  EXPECT_FALSE(world_.list->ReleaseHeldMessage(*a));  // not there any more
  ASSERT_NE(world_.list->Find("s@example.com"), nullptr);
  EXPECT_EQ(EntryIds(*world_.list->Find("s@example.com")), std::vector<std::uint32_t>{200});

  EXPECT_TRUE(world_.list->ReleaseHeldMessage(*b));
  EXPECT_EQ(world_.list->Find("s@example.com"), nullptr);
  EXPECT_EQ(EntryAddresses(*world_.list), std::vector<std::string>{"t@example.com"});
  EXPECT_EQ(other->folder(), store::Folder::kQuarantine);
}

TEST_F(PendingSenderListTest, RebuildHoldsWithoutDrawingOrSaving) {
  world_.preferences.method = 1;
  store::MessageRecord* a = world_.FileHeld(account_, "s@example.com", 0x80000000u);
  store::MessageRecord* b = world_.FileHeld(account_, "s@example.com", 0x00000001u);
  store::MessageRecord* c = world_.FileHeld(account_, "t@example.com");
  auto inbox = world_.NewMessage(account_, "u@example.com");
  inbox->flags = store::kFlagDecided | store::kFlagInbox;
  world_.messages->RegisterMessage(std::move(inbox));
  const std::string db1 = ReadFile(world_.folder() + "db1.dat");

  platform::SeedRand(99);
  world_.list->Rebuild(*world_.messages);
  EXPECT_EQ(platform::Rand(), ReferenceRand(99).Next());
  EXPECT_EQ(ReadFile(world_.folder() + "db1.dat"), db1);
  EXPECT_EQ(EntryAddresses(*world_.list),
            (std::vector<std::string>{"s@example.com", "t@example.com"}));
  EXPECT_EQ(EntryIds(*world_.list->Find("s@example.com")),
            (std::vector<std::uint32_t>{b->id, a->id}));
  EXPECT_EQ(world_.list->Find("t@example.com")->messages.front(), c);
}

TEST_F(PendingSenderListTest, TheMethodIsFixedWhenTheEntryIsCreated) {
  world_.preferences.method = 1;
  store::MessageRecord* captcha = world_.FileHeld(account_, "s@example.com");
  world_.preferences.method = 0;
  store::MessageRecord* joined = world_.FileHeld(account_, "s@example.com");
  store::MessageRecord* fresh = world_.FileHeld(account_, "t@example.com");
  EXPECT_NE(captcha->authorization_code, 0);
  EXPECT_EQ(joined->authorization_code, captcha->authorization_code);
  EXPECT_EQ(fresh->authorization_code, 0);
}

// ---------------------------------------------------------------------------------------
// The list made in one sort and emptied entries dropped in one pass give exactly what
// holding and releasing one message at a time gives.

struct HeldRecord {
  std::string address;
  std::uint32_t id;
  bool quarantine = true;
};

struct ListRow {
  const char* name;
  std::vector<HeldRecord> records;   // in the order the rebuild sees them
  std::vector<std::size_t> release;  // indexes into records, released in this order
  std::vector<std::string> remove;   // entries removed whole afterwards
};

void PrintTo(const ListRow& row, std::ostream* os) {
  *os << row.name;
}

using Snapshot = std::vector<std::pair<std::string, std::vector<std::uint32_t>>>;

Snapshot SnapshotOf(const PendingSenderList& list) {
  Snapshot out;
  for (const PendingSender& entry : list.entries())
    out.emplace_back(entry.address, EntryIds(entry));
  return out;
}

// Addresses in byte order, each with its distinct ids in ascending unsigned order and the
// record first seen with that id.
using Model = std::map<std::string, std::map<std::uint32_t, const store::MessageRecord*>>;

std::vector<std::uint32_t> IdsOf(const Model::mapped_type& held) {
  std::vector<std::uint32_t> ids;
  for (const auto& [id, record] : held) ids.push_back(id);
  return ids;
}

Snapshot SnapshotOf(const Model& model) {
  Snapshot out;
  for (const auto& [address, held] : model) {
    if (!held.empty()) out.emplace_back(address, IdsOf(held));
  }
  return out;
}

class ListEquivalenceTest : public PendingSenderListTest,
                            public ::testing::WithParamInterface<ListRow> {
 protected:
  // In-memory records: the list keeps pointers and never asks the table about them.
  std::vector<store::MessageRecord*> MakeRecords(const std::vector<HeldRecord>& rows) {
    std::vector<store::MessageRecord*> out;
    for (const HeldRecord& row : rows) {
      auto record = std::make_unique<store::MessageRecord>();
      record->id = row.id;
      record->flags = row.quarantine ? 0 : store::kFlagDecided;
      record->summary.set_sender_address(row.address);
      out.push_back(record.get());
      owned_.push_back(std::move(record));
    }
    return out;
  }

  std::vector<std::unique_ptr<store::MessageRecord>> owned_;
};

TEST_P(ListEquivalenceTest, OneSortAndOnePassMatchOneAtATime) {
  const ListRow& row = GetParam();
  const std::vector<store::MessageRecord*> records = MakeRecords(row.records);

  Model model;
  for (const store::MessageRecord* record : records) {
    if (record->folder() == store::Folder::kQuarantine)
      model[std::string(record->summary.sender_address())].emplace(record->id, record);
  }
  world_.list->Rebuild(records);
  ASSERT_EQ(SnapshotOf(*world_.list), SnapshotOf(model));

  // The same records held one at a time, in the opposite order, give the same list.
  PendingSenderList one_by_one(world_.preferences);
  for (auto record = records.rbegin(); record != records.rend(); ++record) {
    if ((*record)->folder() == store::Folder::kQuarantine) one_by_one.HoldMessage(**record, true);
  }
  EXPECT_EQ(SnapshotOf(one_by_one), SnapshotOf(model));

  for (std::size_t index : row.release) {
    const store::MessageRecord* record = records[index];
    auto& held = model[std::string(record->summary.sender_address())];
    // Only the very record held under that id is released.
    auto id = held.find(record->id);
    const bool is_held = id != held.end() && id->second == record;
    EXPECT_EQ(world_.list->ReleaseHeldMessage(*records[index]), is_held) << "release " << index;
    if (is_held) held.erase(id);
  }
  for (const std::string& address : row.remove) {
    world_.list->RemoveEntry(address);
    model.erase(address);
  }
  for (const auto& [address, held] : model) {
    const PendingSender* entry = world_.list->Find(address);
    if (held.empty()) {
      EXPECT_EQ(entry, nullptr) << address;
    } else {
      ASSERT_NE(entry, nullptr) << address;
      EXPECT_EQ(EntryIds(*entry), IdsOf(held));
    }
  }
  EXPECT_EQ(SnapshotOf(*world_.list), SnapshotOf(model));
  EXPECT_EQ(world_.list->size(), SnapshotOf(model).size());
  EXPECT_EQ(world_.list->empty(), SnapshotOf(model).empty());
}

const ListRow kListRows[] = {
    {"empty", {}, {}, {}},
    {"one_sender_ids_descending_and_high_bit",
     {{"s@x", 0x90000000u}, {"s@x", 0x80000001u}, {"s@x", 0x7FFFFFFFu}, {"s@x", 0x10u}},
     {3, 0},
     {}},
    {"byte_order_case_prefixes_and_eight_bit",
     {{"b@x", 5}, {"\xE9t\xE9@x", 1}, {"a@x.y", 9}, {"B@x", 2}, {"a@x", 7}, {"a@x", 3}},
     {},
     {}},
    {"decided_messages_are_skipped",
     {{"a@x", 1}, {"b@x", 2, false}, {"a@x", 3, false}, {"c@x", 4}},
     {1},
     {}},
    {"same_record_twice_is_held_once", {{"a@x", 1}, {"a@x", 1}, {"b@x", 2}}, {1, 0}, {}},
    {"every_entry_emptied_in_mixed_order",
     {{"d@x", 4}, {"a@x", 1}, {"c@x", 3}, {"b@x", 2}, {"a@x", 5}},
     {2, 4, 0, 1, 3},
     {}},
    {"releases_and_removals_interleave_with_survivors",
     {{"a@x", 1}, {"b@x", 2}, {"c@x", 3}, {"d@x", 4}, {"e@x", 5}, {"b@x", 6}, {"f@x", 7}},
     {1, 0, 4, 0},
     {"d@x", "b@x", "nobody@x", "a@x"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ListEquivalenceTest, ::testing::ValuesIn(kListRows),
                         [](const ::testing::TestParamInfo<ListRow>& info) {
                           return std::string(info.param.name);
                         });

TEST_F(PendingSenderListTest, ASenderHeldAgainAfterLeavingStartsANewRequest) {
  store::MessageRecord* a = world_.FileHeld(account_, "s@example.com", 100);
  world_.FileHeld(account_, "t@example.com", 200);
  world_.quarantine->RequestDelivered("s@example.com");
  ASSERT_TRUE(world_.list->ReleaseHeldMessage(*a));
  ASSERT_EQ(world_.list->Find("s@example.com"), nullptr);

  // The sender comes back before anyone looked at the whole list: a new entry, with its
  // own request drawn and nothing sent yet, in its sorted place.
  platform::SeedRand(7);
  store::MessageRecord* again = world_.FileHeld(account_, "s@example.com", 300);
  ReferenceRand reference(7);
  EXPECT_EQ(again->request_number, reference.NextPair() % 90000 + 10000);
  EXPECT_EQ(again->request_sent_time, 0);
  const PendingSender* entry = world_.list->Find("s@example.com");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(EntryIds(*entry), std::vector<std::uint32_t>{300});
  EXPECT_EQ(EntryAddresses(*world_.list),
            (std::vector<std::string>{"s@example.com", "t@example.com"}));
}

}  // namespace
}  // namespace pelrion::validation
