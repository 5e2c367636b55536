#include "file_rules.h"

#include "store/byte_reader.h"
#include "store/database_files.h"

namespace pelrion::dbtool {

namespace {

using namespace pelrion::store;

FileRules Rules(std::string_view name, FileShape shape, std::string_view heap_name = {},
                HeapHeader heap_header = HeapHeader::kDigest) {
  FileRules rules;
  rules.name = name;
  rules.shape = shape;
  rules.heap_name = heap_name;
  rules.heap_header = heap_header;
  return rules;
}

std::uint32_t WordAt(std::string_view entry, std::size_t offset) {
  return U32At(entry, offset).value_or(0);
}

// Entry layouts as the mechanics see them: where id, free mark and heap item are.
// "db1.dat": id @0, summary offset @4, summary size @8; free when the id is 0.
SlotLayout MessageSlots() {
  SlotLayout layout;
  layout.entry_size = kMessageEntrySize;
  layout.is_free = [](std::string_view entry) { return WordAt(entry, 0) == 0; };
  layout.id_of = [](std::string_view entry) { return WordAt(entry, 0); };
  layout.item_of = [](std::string_view entry) {
    return HeapItem{WordAt(entry, 4), WordAt(entry, 8)};
  };
  return layout;
}

// "db3.dat": id @0, blob size @4, blob offset @8; free when the blob size is 0.
SlotLayout ContactSlots() {
  SlotLayout layout;
  layout.entry_size = kContactEntrySize;
  layout.is_free = [](std::string_view entry) { return WordAt(entry, 4) == 0; };
  layout.id_of = [](std::string_view entry) { return WordAt(entry, 0); };
  layout.item_of = [](std::string_view entry) {
    return HeapItem{WordAt(entry, 8), WordAt(entry, 4)};
  };
  return layout;
}

// "db7.dat": account id @0, then the key digest; free when the account id is 0.
SlotLayout DigestSlots() {
  SlotLayout layout;
  layout.entry_size = kDigestEntrySize;
  layout.is_free = [](std::string_view entry) { return WordAt(entry, 0) == 0; };
  return layout;
}

bool NonZeroId(std::string_view entry, std::string_view) {
  return U32At(entry, 0).value_or(0) != 0;
}

std::vector<FileRules> MakeRules() {
  std::vector<FileRules> rules;

  FileRules messages =
      Rules(kMessageSlotsFile, FileShape::kSlotPair, kMessageHeapFile, HeapHeader::kIdAndDigest);
  messages.layout = MessageSlots();
  rules.push_back(messages);

  FileRules contacts =
      Rules(kContactSlotsFile, FileShape::kSlotPair, kContactHeapFile, HeapHeader::kDigest);
  contacts.layout = ContactSlots();
  contacts.accept_slot = NonZeroId;
  rules.push_back(contacts);

  FileRules accounts = Rules(kAccountsFile, FileShape::kRecordFile);
  accounts.record_size = AccountRecordSizeFor;
  rules.push_back(accounts);

  rules.push_back(Rules(kIdentityFile, FileShape::kIdentity));

  FileRules digests = Rules(kDigestSlotsFile, FileShape::kSlotsOnly);
  digests.layout = DigestSlots();
  rules.push_back(digests);

  FileRules listeners = Rules(kListenersFile, FileShape::kRecordFile);
  listeners.record_size = [](std::uint8_t) { return kListenerRecordSize; };
  rules.push_back(listeners);

  FileRules domains = Rules(kTrustedDomainsFile, FileShape::kRecordFile);
  domains.record_size = [](std::uint8_t) { return kTrustedDomainRecordSize; };
  domains.keyed_by_text = true;
  rules.push_back(domains);

  return rules;
}

}  // namespace

const std::vector<FileRules>& AllFileRules() {
  static const std::vector<FileRules> rules = MakeRules();
  return rules;
}

}  // namespace pelrion::dbtool
