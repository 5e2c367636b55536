#include "store/address_index.h"

#include <algorithm>

namespace pelrion::store {

AddressIndex::AddressIndex() : buckets_(kHashBuckets) {}

std::vector<AddressIndex::Entry>::const_iterator AddressIndex::LowerBound(
    const Bucket& bucket, std::string_view address) {
  // std::string_view compares bytewise as unsigned char (char_traits<char>::compare).
  return std::lower_bound(bucket.begin(), bucket.end(), address,
                          [](const Entry& e, std::string_view key) { return e.address < key; });
}

bool AddressIndex::Insert(std::string_view address, Contact* owner) {
  Bucket& bucket = buckets_[BucketOfText(address)];
  auto at = LowerBound(bucket, address);
  if (at != bucket.end() && at->address == address) return false;
  const auto pos = at - bucket.cbegin();  // the iterator does not survive a reserve
  // Buckets stay tiny: grow them 8 entries at a time.
  if (bucket.size() == bucket.capacity()) bucket.reserve(bucket.capacity() + 8);
  bucket.insert(bucket.begin() + pos, Entry{std::string(address), owner});
  ++size_;
  return true;
}

bool AddressIndex::Remove(std::string_view address, const Contact* owner) {
  Bucket& bucket = buckets_[BucketOfText(address)];
  auto at = LowerBound(bucket, address);
  if (at == bucket.end() || at->address != address || at->owner != owner) return false;
  bucket.erase(bucket.begin() + (at - bucket.cbegin()));
  --size_;
  return true;
}

Contact* AddressIndex::Find(std::string_view address) const {
  const Bucket& bucket = buckets_[BucketOfText(address)];
  auto at = LowerBound(bucket, address);
  return at != bucket.end() && at->address == address ? at->owner : nullptr;
}

void AddressIndex::Clear() {
  for (Bucket& bucket : buckets_) bucket.clear();
  size_ = 0;
}

}  // namespace pelrion::store
