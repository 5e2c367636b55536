// AddressIndex: every address of every contact with its owning contact, in 2048 hash
// buckets of the folded address text (key_hash.h), each bucket sorted by bytewise
// comparison of the text. A lookup is one fold and one binary search in one bucket.
// Addresses compare exactly as stored (callers lower-case on entry).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/key_hash.h"

namespace pelrion::store {

struct Contact;

class AddressIndex {
 public:
  AddressIndex();

  // Inserts address -> owner; false (nothing changed) when any contact already holds it.
  bool Insert(std::string_view address, Contact* owner);
  // Removes address when owner holds it; false otherwise.
  bool Remove(std::string_view address, const Contact* owner);
  // The contact holding exactly this address, or null.
  Contact* Find(std::string_view address) const;

  std::size_t size() const { return size_; }
  void Clear();

 private:
  struct Entry {
    std::string address;
    Contact* owner;
  };
  using Bucket = std::vector<Entry>;

  static std::vector<Entry>::const_iterator LowerBound(const Bucket& bucket,
                                                       std::string_view address);

  std::vector<Bucket> buckets_;
  std::size_t size_ = 0;
};

}  // namespace pelrion::store
