#include "store/id_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <vector>

namespace pelrion::store {
namespace {

struct Item {
  std::uint32_t id;
};

std::uint32_t IdOf(const Item& item) { return item.id; }

std::vector<std::uint32_t> Ids(const std::vector<Item*>& list) {
  std::vector<std::uint32_t> ids;
  for (const Item* item : list) ids.push_back(item->id);
  return ids;
}

class IdIndexTest : public ::testing::TestWithParam<bool> {};

TEST_P(IdIndexTest, KeepsRecordsSortedAndFindsThem) {
  const bool hashed = GetParam();
  std::deque<Item> items = {{900}, {5}, {0xFFFFFFFF}, {77}, {1}};
  IdIndex<Item> index(IdOf, hashed);
  for (Item& item : items) ASSERT_TRUE(index.Insert(&item));

  EXPECT_EQ(Ids(index.records()), (std::vector<std::uint32_t>{1, 5, 77, 900, 0xFFFFFFFF}));
  for (Item& item : items) EXPECT_EQ(index.Find(item.id), &item) << item.id;
  EXPECT_EQ(index.Find(6), nullptr);
  EXPECT_EQ(index.Find(0), nullptr);

  Item duplicate{77};
  EXPECT_FALSE(index.Insert(&duplicate));
  EXPECT_EQ(index.Find(77), &items[3]) << "the first record of an id stays";
  EXPECT_EQ(index.size(), 5u);

  EXPECT_EQ(index.Remove(5), &items[1]);
  EXPECT_EQ(index.Remove(5), nullptr);
  EXPECT_EQ(index.Find(5), nullptr);
  EXPECT_EQ(Ids(index.records()), (std::vector<std::uint32_t>{1, 77, 900, 0xFFFFFFFF}));
}

TEST_P(IdIndexTest, AssignSortsOnceAndKeepsTheFirstOfEachId) {
  const bool hashed = GetParam();
  // Scattered ids with two repeats; the first of each id in the given order must stay.
  std::deque<Item> items = {{900}, {5}, {77}, {0xFFFFFFFF}, {5}, {1}, {77}, {77}};
  std::vector<Item*> given;
  for (Item& item : items) given.push_back(&item);
  IdIndex<Item> index(IdOf, hashed);
  Item stale{3};
  index.Insert(&stale);

  const std::vector<Item*> duplicates = index.Assign(given);

  EXPECT_EQ(Ids(index.records()), (std::vector<std::uint32_t>{1, 5, 77, 900, 0xFFFFFFFF}));
  EXPECT_EQ(index.Find(3), nullptr) << "earlier contents are replaced";
  EXPECT_EQ(index.Find(5), &items[1]);
  EXPECT_EQ(index.Find(77), &items[2]);
  EXPECT_EQ(duplicates, (std::vector<Item*>{&items[4], &items[6], &items[7]}));
  for (std::size_t i : {0, 1, 2, 3, 5}) EXPECT_EQ(index.Find(items[i].id), &items[i]);

  // The index keeps working one record at a time after a bulk build.
  Item later{6};
  EXPECT_TRUE(index.Insert(&later));
  EXPECT_FALSE(index.Insert(&items[4]));
  EXPECT_EQ(index.Remove(77), &items[2]);
  EXPECT_EQ(Ids(index.records()), (std::vector<std::uint32_t>{1, 5, 6, 900, 0xFFFFFFFF}));
  EXPECT_EQ(index.Find(6), &later);
}

INSTANTIATE_TEST_SUITE_P(Modes, IdIndexTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Hashed" : "SortedOnly"; });

TEST(IdIndexHashTest, BucketsHoldTheirIdsSortedById) {
  // Collect ids that land in one bucket, inserted in descending order.
  const std::uint32_t target = BucketOf(1);
  std::deque<Item> items;
  for (std::uint32_t id = 200000; id > 0 && items.size() < 12; --id) {
    if (BucketOf(id) == target) items.push_back({id});
  }
  ASSERT_EQ(items.size(), 12u);
  IdIndex<Item> index(IdOf, /*hashed=*/true);
  for (Item& item : items) index.Insert(&item);

  const std::vector<Item*>& bucket = index.BucketFor(items.front().id);
  ASSERT_EQ(bucket.size(), 12u);
  for (std::size_t i = 1; i < bucket.size(); ++i) EXPECT_LT(bucket[i - 1]->id, bucket[i]->id);
  for (Item& item : items) EXPECT_EQ(index.Find(item.id), &item);

  index.Remove(items[4].id);
  EXPECT_EQ(index.BucketFor(items.front().id).size(), 11u);
  EXPECT_EQ(index.Find(items[4].id), nullptr);

  // A bulk build fills the same bucket, sorted, from records in any order.
  IdIndex<Item> built(IdOf, /*hashed=*/true);
  std::vector<Item*> given;
  for (Item& item : items) given.push_back(&item);
  EXPECT_TRUE(built.Assign(given).empty());
  const std::vector<Item*>& filled = built.BucketFor(items.front().id);
  ASSERT_EQ(filled.size(), 12u);
  for (std::size_t i = 1; i < filled.size(); ++i) EXPECT_LT(filled[i - 1]->id, filled[i]->id);
  for (Item& item : items) EXPECT_EQ(built.Find(item.id), &item);
}

}  // namespace
}  // namespace pelrion::store
