#include "store/duplicate_digest_table.h"

#include <algorithm>
#include <cstring>

#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/compaction.h"
#include "store/database_files.h"
#include "store/record_digest.h"
#include "store/slot_loader.h"

namespace pelrion::store {
namespace {

std::string_view DigestBytes(const crypto::Md5Digest& digest) {
  return {reinterpret_cast<const char*>(digest.data()), digest.size()};
}

// Reads the 20-byte entry; false for any other size.
bool DecodeDigestEntry(std::string_view entry, std::uint32_t& account_id,
                       crypto::Md5Digest& digest) {
  if (entry.size() != kDigestEntrySize) return false;
  ByteReader in(entry);
  account_id = in.U32();
  const std::string_view bytes = in.Bytes(digest.size());
  std::memcpy(digest.data(), bytes.data(), digest.size());
  return in.ok();
}

}  // namespace

std::string DigestEntry::Entry() const {
  ByteWriter out;
  out.U32(account_id);
  out.Bytes(DigestBytes(digest));
  return out.Take();
}

SlotLayout DigestSlotLayout() {
  SlotLayout layout;
  layout.entry_size = kDigestEntrySize;
  layout.is_free = [](std::string_view entry) { return U32At(entry, 0).value_or(0) == 0; };
  return layout;
}

DuplicateDigestTable::DuplicateDigestTable(std::string database_folder,
                                           MessageAccounts& accounts)
    : accounts_(accounts),
      slots_(std::move(database_folder) + std::string(kDigestSlotsFile), kDigestEntrySize) {}

void DuplicateDigestTable::Load() {
  entries_.clear();
  LoadSlotFile(slots_, nullptr, DigestSlotLayout(), [&](ScannedSlot& slot) {
    auto entry = std::make_unique<DigestEntry>();
    if (!DecodeDigestEntry(slot.entry, entry->account_id, entry->digest)) return false;
    if (!accounts_.AccountExists(entry->account_id)) return false;
    entry->set_slot_offset(slot.slot_offset);
    entries_.push_back(std::move(entry));
    return true;
  }, KeepSlots::kNo);
}

bool DuplicateDigestTable::KnowsDigest(std::uint32_t account_id, std::string_view key) const {
  const crypto::Md5Digest digest = crypto::Md5Of(key);
  return std::any_of(entries_.begin(), entries_.end(), [&](const auto& entry) {
    return entry->account_id == account_id && entry->digest == digest;
  });
}

bool DuplicateDigestTable::RememberDigest(std::uint32_t account_id, std::string_view key) {
  if (KnowsDigest(account_id, key) || !accounts_.AccountExists(account_id)) return false;
  const crypto::Md5Digest digest = crypto::Md5Of(key);
  auto entry = std::make_unique<DigestEntry>();
  entry->account_id = account_id;
  entry->digest = digest;
  slots_.WriteSlot(*entry, /*allocate=*/true);
  entries_.push_back(std::move(entry));
  return true;
}

void DuplicateDigestTable::ForgetDigests(std::uint32_t account_id) {
  auto doomed = std::stable_partition(entries_.begin(), entries_.end(), [&](const auto& entry) {
    return entry->account_id != account_id;
  });
  for (auto it = doomed; it != entries_.end(); ++it) slots_.FreeSlot(**it);
  entries_.erase(doomed, entries_.end());
  std::vector<SlotRecord*> live;
  live.reserve(entries_.size());
  for (const auto& entry : entries_) live.push_back(entry.get());
  CompactIfWasteful(slots_, live);
}

DigestSlotReport InspectDigestSlot(std::string_view slot) {
  DigestSlotReport report;
  if (slot.size() != kDigestSize + kDigestEntrySize) {
    report.verdict = DigestSlotReport::Verdict::kBadDigest;
    return report;
  }
  DecodeDigestEntry(slot.substr(kDigestSize), report.account_id, report.digest);
  switch (CheckSlot(slot, DigestSlotLayout(), nullptr, nullptr)) {
    case SlotVerdict::kFree:
      report.verdict = DigestSlotReport::Verdict::kFree;
      break;
    case SlotVerdict::kValid:
      report.verdict = DigestSlotReport::Verdict::kOk;
      break;
    default:
      report.verdict = DigestSlotReport::Verdict::kBadDigest;
      break;
  }
  return report;
}

}  // namespace pelrion::store
