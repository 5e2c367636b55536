// DuplicateDigestTable: per account, the MD5 of the keys (trimmed Message-ID, else the
// server's UIDL) of messages already filed during a retrieval that has not completed.
// Persisted in "db7.dat": 36-byte slots of [MD5 of the entry][account id u32][digest 16].
// Main thread only; a file error is FatalStop("Critical error on database access.").
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/md5.h"
#include "store/message_accounts.h"
#include "store/slot_file.h"
#include "store/slot_record.h"
#include "store/slot_scan.h"

namespace pelrion::store {

struct DigestEntry : SlotRecord {
  std::uint32_t account_id = 0;
  crypto::Md5Digest digest{};

  std::string Entry() const override;
};

// How "db7.dat" entries look to the slot mechanics: free when the account id is 0.
SlotLayout DigestSlotLayout();

class DuplicateDigestTable {
 public:
  // database_folder ends in '/'. The accounts must outlive the table.
  DuplicateDigestTable(std::string database_folder, MessageAccounts& accounts);

  // Loads "db7.dat" (created empty when missing): slots in file order; a slot whose digest
  // fails or whose account no longer exists is freed on disk.
  void Load();

  // true when the key is new for the account and now stored; false when already known or
  // the account no longer exists.
  bool RememberDigest(std::uint32_t account_id, std::string_view key);
  // Whether the key is remembered for the account (nothing is stored).
  bool KnowsDigest(std::uint32_t account_id, std::string_view key) const;

  // Removes every entry of the account, then compacts "db7.dat" when wasteful (truncated
  // to 0 bytes when the table is empty).
  void ForgetDigests(std::uint32_t account_id);

  std::size_t size() const { return entries_.size(); }
  const std::vector<std::unique_ptr<DigestEntry>>& entries() const { return entries_; }

 private:
  MessageAccounts& accounts_;
  SlotFile slots_;
  std::vector<std::unique_ptr<DigestEntry>> entries_;  // file order
};

// Read-only view of one "db7.dat" slot for the database dump and check tool.
struct DigestSlotReport {
  enum class Verdict { kFree, kBadDigest, kOk };
  Verdict verdict = Verdict::kFree;
  std::uint32_t account_id = 0;
  crypto::Md5Digest digest{};
};
// `slot` is the 36 slot bytes; account existence is the caller's check. Writes nothing.
DigestSlotReport InspectDigestSlot(std::string_view slot);

}  // namespace pelrion::store
