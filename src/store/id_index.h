// IdIndex: the tables' in-memory index. Records sorted by ascending 32-bit id (binary
// search), optionally also in 2048 hash buckets, each a small array sorted by id. The index
// holds pointers; the table owns the records.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "store/key_hash.h"

namespace pelrion::store {

template <typename Record>
class IdIndex {
 public:
  using IdOf = std::uint32_t (*)(const Record&);

  // hashed adds the 2048-bucket hash (the account and listener tables use it).
  explicit IdIndex(IdOf id_of, bool hashed = false) : id_of_(id_of), hashed_(hashed) {
    if (hashed_) buckets_.resize(kHashBuckets);
  }

  // Inserts at the record's sorted place; false (and nothing inserted) when its id is present.
  bool Insert(Record* record) {
    const std::uint32_t id = id_of_(*record);
    auto at = LowerBound(sorted_, id);
    if (at != sorted_.end() && id_of_(**at) == id) return false;
    sorted_.insert(at, record);
    if (hashed_) {
      auto& bucket = buckets_[BucketOf(id)];
      // Buckets stay tiny: grow them 8 entries at a time.
      if (bucket.size() == bucket.capacity()) bucket.reserve(bucket.capacity() + 8);
      bucket.insert(LowerBound(bucket, id), record);
    }
    return true;
  }

  // Replaces the contents with `records` in one sort (a load builds its index this way
  // rather than inserting one record at a time). Of records sharing an id the first in the
  // given order stays; the others are returned (ascending id) and not indexed.
  std::vector<Record*> Assign(std::vector<Record*> records) {
    // Sorted as (id, position) pairs in one contiguous array: a load of 100,000 records
    // would otherwise chase two record pointers per comparison. The position keeps the
    // given order among equal ids.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> keys;
    keys.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      keys.emplace_back(id_of_(*records[i]), static_cast<std::uint32_t>(i));
    }
    std::sort(keys.begin(), keys.end());
    std::vector<Record*> sorted;
    std::vector<Record*> duplicates;
    sorted.reserve(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
      Record* record = records[keys[i].second];
      if (i > 0 && keys[i - 1].first == keys[i].first) {
        duplicates.push_back(record);
      } else {
        sorted.push_back(record);
      }
    }
    sorted_ = std::move(sorted);
    if (hashed_) FillBuckets();
    return duplicates;
  }

  // The record with this id, or null. One bucket when hashed, else a binary search.
  Record* Find(std::uint32_t id) const {
    const auto& list = hashed_ ? buckets_[BucketOf(id)] : sorted_;
    auto at = LowerBound(list, id);
    return at != list.end() && id_of_(**at) == id ? *at : nullptr;
  }

  // Removes the record with this id; returns it, or null when absent.
  Record* Remove(std::uint32_t id) {
    auto at = LowerBound(sorted_, id);
    if (at == sorted_.end() || id_of_(**at) != id) return nullptr;
    Record* record = *at;
    sorted_.erase(at);
    if (hashed_) {
      auto& bucket = buckets_[BucketOf(id)];
      bucket.erase(LowerBound(bucket, id));
    }
    return record;
  }

  void Clear() {
    sorted_.clear();
    for (auto& bucket : buckets_) bucket.clear();
  }

  std::size_t size() const { return sorted_.size(); }
  bool empty() const { return sorted_.empty(); }
  // Records in ascending id order.
  const std::vector<Record*>& records() const { return sorted_; }
  auto begin() const { return sorted_.begin(); }
  auto end() const { return sorted_.end(); }

  // The bucket holding id (for tests and statistics); empty when not hashed.
  const std::vector<Record*>& BucketFor(std::uint32_t id) const {
    static const std::vector<Record*> kNone;
    return hashed_ ? buckets_[BucketOf(id)] : kNone;
  }

 private:
  // Spreads the sorted records over the buckets, each sized once and left sorted by id.
  void FillBuckets() {
    std::vector<std::uint32_t> counts(kHashBuckets, 0);
    for (Record* record : sorted_) ++counts[BucketOf(id_of_(*record))];
    for (std::size_t i = 0; i < kHashBuckets; ++i) {
      buckets_[i].clear();
      buckets_[i].reserve(counts[i]);
    }
    for (Record* record : sorted_) buckets_[BucketOf(id_of_(*record))].push_back(record);
  }

  auto LowerBound(const std::vector<Record*>& list, std::uint32_t id) const {
    return std::lower_bound(list.begin(), list.end(), id,
                            [this](Record* r, std::uint32_t key) { return id_of_(*r) < key; });
  }
  auto LowerBound(std::vector<Record*>& list, std::uint32_t id) {
    return std::lower_bound(list.begin(), list.end(), id,
                            [this](Record* r, std::uint32_t key) { return id_of_(*r) < key; });
  }

  IdOf id_of_;
  bool hashed_;
  std::vector<Record*> sorted_;
  std::vector<std::vector<Record*>> buckets_;
};

}  // namespace pelrion::store
