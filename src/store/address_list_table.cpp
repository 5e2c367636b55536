#include "store/address_list_table.h"

#include <algorithm>
#include <utility>

#include "mailformat/ascii.h"
#include "platform/random.h"
#include "store/compaction.h"
#include "store/database_files.h"
#include "store/message_record.h"
#include "store/slot_loader.h"

namespace pelrion::store {
namespace {

bool IsListIndex(int list_index) { return list_index >= 0 && list_index < kAddressListCount; }

// The stored form of an entered text: up to its first zero byte (the blob's terminator).
std::string StoredText(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::vector<std::string> StoredAddresses(const std::vector<std::string>& addresses) {
  std::vector<std::string> out;
  out.reserve(addresses.size());
  for (const std::string& address : addresses) {
    out.push_back(StoredText(address));
    mailformat::ascii::ToLowerInPlace(out.back());
  }
  return out;
}

// A new contact needs at least one address, none of them empty, none repeated.
bool WellFormed(std::vector<std::string> addresses) {
  if (addresses.empty()) return false;
  if (std::any_of(addresses.begin(), addresses.end(), [](auto& a) { return a.empty(); })) {
    return false;
  }
  std::sort(addresses.begin(), addresses.end());
  return std::adjacent_find(addresses.begin(), addresses.end()) == addresses.end();
}

}  // namespace

std::string_view AddressListName(int list_index) {
  switch (list_index) {
    case kTrustedContactsList:
      return "Trusted Contacts";
    case kBlackList:
      return "Black List";
    default:
      return {};
  }
}

int ListIndexOf(const Contact& contact) {
  return (contact.list_mask & ListBit(kBlackList)) != 0 ? kBlackList : kTrustedContactsList;
}

std::string AddressHeldText(std::string_view address, const Contact& holder) {
  return "The '" + std::string(address) + "' Address is already in '" +
         std::string(AddressListName(ListIndexOf(holder))) + "'.";
}

AddressListTable::AddressListTable(std::string database_folder)
    : folder_(std::move(database_folder)),
      slots_(folder_ + std::string(kContactSlotsFile), kContactEntrySize),
      heap_(folder_ + std::string(kContactHeapFile), HeapHeader::kDigest),
      index_([](const Contact& c) { return c.id; }) {}

AddressListTable::~AddressListTable() = default;

void AddressListTable::Load() {
  index_.Clear();
  addresses_.Clear();
  owned_.clear();
  LoadSlotFile(slots_, &heap_, ContactSlotLayout(), [this](ScannedSlot& slot) {
    auto contact = std::make_unique<Contact>();
    if (!DecodeContactEntry(slot.entry, *contact) || contact->id == 0) return false;
    auto blob = ParseListBlob(slot.blob);
    if (!blob) return false;
    contact->blob = std::move(*blob);
    contact->set_slot_offset(slot.slot_offset);
    if (index_.Find(contact->id) != nullptr) return false;
    // The contact loaded first keeps a shared address; this one is dropped.
    if (!IndexAddresses(*contact)) return false;
    index_.Insert(contact.get());
    const Contact* key = contact.get();
    owned_.emplace(key, std::move(contact));
    return true;
  }, KeepSlots::kNo);
}

std::uint32_t AddressListTable::LookupAddress(std::string_view address,
                                              std::uint32_t mask) const {
  const Contact* holder = addresses_.Find(address);
  return holder != nullptr ? holder->list_mask & mask : 0;
}

Contact* AddressListTable::AddContact(std::string_view name,
                                      const std::vector<std::string>& addresses,
                                      int list_index) {
  if (!IsListIndex(list_index)) return nullptr;
  auto contact = std::make_unique<Contact>();
  contact->blob.name = StoredText(name);
  contact->blob.addresses = StoredAddresses(addresses);
  if (!WellFormed(contact->blob.addresses)) return nullptr;
  if (!IndexAddresses(*contact)) return nullptr;  // an address has an owner already

  heap_.AppendBlob(*contact);
  contact->id = DrawId();
  contact->list_mask = ListBit(list_index);
  slots_.WriteSlot(*contact, /*allocate=*/true);
  index_.Insert(contact.get());
  Contact* added = contact.get();
  owned_.emplace(added, std::move(contact));
  if (view_ != nullptr) view_->ContactAdded(*added);
  return added;
}

Contact* AddressListTable::AddContactIfNew(std::string_view name,
                                           const std::vector<std::string>& addresses,
                                           int list_index) {
  if (addresses.empty()) return nullptr;
  std::string first = StoredText(addresses.front());
  mailformat::ascii::ToLowerInPlace(first);
  if (addresses_.Find(first) != nullptr) return nullptr;
  return AddContact(name, addresses, list_index);
}

Contact* AddressListTable::ReplaceContact(Contact& old, std::string_view name,
                                          const std::vector<std::string>& addresses,
                                          int list_index) {
  // Deleting first and then failing to add would lose the contact: check everything the
  // add will check before anything is deleted.
  if (owned_.find(&old) == owned_.end() || !IsListIndex(list_index)) return nullptr;
  const std::vector<std::string> stored = StoredAddresses(addresses);
  if (!WellFormed(stored)) return nullptr;
  for (const std::string& address : stored) {
    const Contact* holder = addresses_.Find(address);
    if (holder != nullptr && holder != &old) return nullptr;
  }
  Contact* const doomed[] = {&old};
  DeleteContacts(doomed);
  return AddContact(name, stored, list_index);
}

void AddressListTable::MoveContacts(std::span<Contact* const> contacts, int list_index) {
  if (!IsListIndex(list_index)) return;
  for (Contact* contact : contacts) {
    if (owned_.find(contact) == owned_.end()) continue;
    contact->list_mask = (contact->list_mask & 0xFFFF0000u) | ListBit(list_index);
    slots_.WriteSlot(*contact, /*allocate=*/false);
    if (view_ != nullptr) view_->ContactMoved(*contact);
  }
}

void AddressListTable::DeleteContacts(std::span<Contact* const> contacts) {
  bool removed = false;
  for (Contact* contact : contacts) {
    // A contact listed twice, or not in the table, is skipped; the pointer is looked up
    // before it is dereferenced since a repeat may already be destroyed.
    if (owned_.find(contact) == owned_.end()) continue;
    RemoveContact(*contact);
    removed = true;
  }
  if (removed) CompactIfWasteful();
}

void AddressListTable::ApproveSenders(std::span<MessageRecord* const> messages) {
  std::vector<SenderOfMessage> senders;
  for (const MessageRecord* message : messages) {
    senders.push_back({std::string(message->summary.sender_address()),
                       std::string(message->summary.sender_name_decoded())});
  }
  FileSenders(senders, kTrustedContactsList);
}

void AddressListTable::BlacklistSenders(std::span<MessageRecord* const> messages) {
  std::vector<SenderOfMessage> senders;
  for (const MessageRecord* message : messages) {
    senders.push_back({std::string(message->summary.sender_address()),
                       std::string(message->summary.sender_name_decoded())});
  }
  FileSenders(senders, kBlackList);
}

void AddressListTable::FileSenders(std::span<const SenderOfMessage> senders, int list_index) {
  for (const SenderOfMessage& sender : senders) {
    if (sender.address.empty()) continue;
    std::string address = StoredText(sender.address);
    mailformat::ascii::ToLowerInPlace(address);
    Contact* holder = addresses_.Find(address);
    if (holder == nullptr) {
      AddContact(sender.display_name, {address}, list_index);
    } else if ((holder->list_mask & ListBit(list_index)) == 0) {
      Contact* const moved[] = {holder};
      MoveContacts(moved, list_index);
    }
  }
}

bool AddressListTable::IndexAddresses(Contact& owner) {
  const auto& list = owner.blob.addresses;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (addresses_.Insert(list[i], &owner)) continue;
    for (std::size_t j = 0; j < i; ++j) addresses_.Remove(list[j], &owner);
    return false;
  }
  return true;
}

void AddressListTable::UnindexAddresses(const Contact& owner) {
  for (const std::string& address : owner.blob.addresses) addresses_.Remove(address, &owner);
}

std::uint32_t AddressListTable::DrawId() const {
  std::uint32_t id = platform::Random32();
  while (id == 0 || index_.Find(id) != nullptr) id = platform::Random32();
  return id;
}

void AddressListTable::RemoveContact(Contact& contact) {
  if (view_ != nullptr) view_->ContactRemoved(contact);
  UnindexAddresses(contact);
  slots_.FreeSlot(contact);
  index_.Remove(contact.id);
  owned_.erase(&contact);
}

void AddressListTable::CompactIfWasteful() {
  std::vector<BlobRecord*> live(index_.records().begin(), index_.records().end());
  store::CompactIfWasteful(slots_, heap_, live);
}

}  // namespace pelrion::store
