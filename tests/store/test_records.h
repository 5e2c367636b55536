// Minimal table records for exercising the slot and heap mechanics: a message-like record
// (36-byte entry, blob in an id-carrying heap), a contact-like record (16-byte entry) and a
// digest-like record (20-byte entry, no heap). Entries are built by hand from the layouts.
#pragma once

#include <cstdint>
#include <string>

#include "store/byte_reader.h"
#include "store/slot_record.h"
#include "store/slot_scan.h"
#include "store/store_test_helpers.h"

namespace pelrion::store::testing {

// A relocatable blob by hand: its total size, then payload.
inline std::string MakeBlob(std::string_view payload) {
  return Le32(static_cast<std::uint32_t>(4 + payload.size())) + std::string(payload);
}

// The entry layouts of the three slot files, as the test records above lay them out.
inline std::uint32_t EntryWord(std::string_view entry, std::size_t offset) {
  return U32At(entry, offset).value_or(0);
}

inline SlotLayout TestMessageLayout() {
  SlotLayout layout;
  layout.entry_size = 36;
  layout.is_free = [](std::string_view e) { return EntryWord(e, 0) == 0; };
  layout.id_of = [](std::string_view e) { return EntryWord(e, 0); };
  layout.item_of = [](std::string_view e) { return HeapItem{EntryWord(e, 4), EntryWord(e, 8)}; };
  return layout;
}

inline SlotLayout TestContactLayout() {
  SlotLayout layout;
  layout.entry_size = 16;
  layout.is_free = [](std::string_view e) { return EntryWord(e, 4) == 0; };
  layout.id_of = [](std::string_view e) { return EntryWord(e, 0); };
  layout.item_of = [](std::string_view e) { return HeapItem{EntryWord(e, 8), EntryWord(e, 4)}; };
  return layout;
}

inline SlotLayout TestDigestLayout() {
  SlotLayout layout;
  layout.entry_size = 20;
  layout.is_free = [](std::string_view e) { return EntryWord(e, 0) == 0; };
  return layout;
}

class TestMessage : public BlobRecord {
 public:
  TestMessage(std::uint32_t id, std::string blob, std::uint32_t flags = 0)
      : id_(id), flags_(flags), blob_(std::move(blob)) {}

  // id, summary offset, summary size, account id, flags, four more words.
  std::string Entry() const override {
    return Le32(id_) + Le32(item_.offset) + Le32(item_.size) + Le32(77) + Le32(flags_) +
           Le32(0) + Le32(10000) + Le32(0) + Le32(3);
  }
  std::uint32_t HeapId() const override { return id_; }
  std::string Blob() const override { return blob_; }
  void SetHeapItem(HeapItem item) override { item_ = item; }

  std::uint32_t id() const { return id_; }
  HeapItem item() const { return item_; }

 private:
  std::uint32_t id_;
  std::uint32_t flags_;
  std::string blob_;
  HeapItem item_;
};

class TestContact : public BlobRecord {
 public:
  TestContact(std::uint32_t id, std::string blob) : id_(id), blob_(std::move(blob)) {}

  // id, blob size, blob offset, list mask.
  std::string Entry() const override {
    return Le32(id_) + Le32(item_.size) + Le32(item_.offset) + Le32(1);
  }
  std::uint32_t HeapId() const override { return id_; }
  std::string Blob() const override { return blob_; }
  void SetHeapItem(HeapItem item) override { item_ = item; }

  HeapItem item() const { return item_; }

 private:
  std::uint32_t id_;
  std::string blob_;
  HeapItem item_;
};

class TestDigest : public SlotRecord {
 public:
  TestDigest(std::uint32_t account, std::string_view key) : account_(account), key_(key) {}

  // account id, MD5 of the key.
  std::string Entry() const override { return Le32(account_) + Md5Raw(key_); }

 private:
  std::uint32_t account_;
  std::string key_;
};

}  // namespace pelrion::store::testing
