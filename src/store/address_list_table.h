// AddressListTable: the contacts of the two address lists, "Trusted Contacts" (list index 0)
// and "Black List" (list index 1), held in memory sorted by id and persisted in "db3.dat"
// (one slot per contact) and "db4.dat" (one ListBlob per contact). Every address belongs
// to at most one contact, so one lookup by address yields the list. Main thread only:
// worker threads reach it through address_calls.h. Any file error is
// FatalStop("Critical error on database access.").
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/address_index.h"
#include "store/contact.h"
#include "store/heap_file.h"
#include "store/id_index.h"
#include "store/slot_file.h"

namespace pelrion::store {

struct MessageRecord;

inline constexpr int kTrustedContactsList = 0;
inline constexpr int kBlackList = 1;
inline constexpr int kAddressListCount = 2;

// "Trusted Contacts" or "Black List"; empty for any other index.
std::string_view AddressListName(int list_index);

// The list a contact belongs to, by its list bit: 1 for the Black List, 0 otherwise.
int ListIndexOf(const Contact& contact);

// "The '%s' Address is already in '%s'.": the refusal of an address held by another
// contact, naming that contact's list.
std::string AddressHeldText(std::string_view address, const Contact& holder);

// What the address-list window needs to hear; it decides which rows it shows.
class AddressListView {
 public:
  virtual ~AddressListView() = default;
  virtual void ContactAdded(Contact& contact) = 0;
  // The contact changed lists (its list mask already holds the new bit).
  virtual void ContactMoved(Contact& contact) = 0;
  // Called before the contact is destroyed.
  virtual void ContactRemoved(Contact& contact) = 0;
};

// One message's sender as ApproveSenders / BlacklistSenders see it.
struct SenderOfMessage {
  std::string address;       // lower case; empty when the message has none
  std::string display_name;  // decoded
};

class AddressListTable {
 public:
  // database_folder ends in '/'.
  explicit AddressListTable(std::string database_folder);
  ~AddressListTable();
  AddressListTable(const AddressListTable&) = delete;
  AddressListTable& operator=(const AddressListTable&) = delete;

  // The address-list window; null (the default) means nobody is told.
  void SetView(AddressListView* view) { view_ = view; }

  // Loads "db3.dat"/"db4.dat" (created empty when missing). A slot failing its digest, its
  // place in "db4.dat", the blob's digest or layout, with id 0, a duplicate id, or an
  // address already held by an earlier contact is freed on disk; the first contact keeps it.
  void Load();

  // (list mask of the contact holding exactly this address) AND mask; 0 when unknown.
  std::uint32_t LookupAddress(std::string_view address, std::uint32_t mask) const;
  // The contact holding exactly this address, or null.
  Contact* FindByAddress(std::string_view address) const { return addresses_.Find(address); }

  // Adds a contact with a fresh id to the list. Addresses are lower-cased (the stored form).
  // Returns null (nothing stored) when there is no address, an address is held by any
  // contact (or repeated in the list), or list_index is not 0 or 1.
  Contact* AddContact(std::string_view name, const std::vector<std::string>& addresses,
                      int list_index);
  // AddContact when the first address (lower-cased) is unknown; otherwise nothing (null).
  Contact* AddContactIfNew(std::string_view name, const std::vector<std::string>& addresses,
                           int list_index);
  // Deletes old, then adds the new contact under a new id. Refused (null, old kept) when an
  // address is held by a contact other than old, or the new contact would be refused.
  Contact* ReplaceContact(Contact& old, std::string_view name,
                          const std::vector<std::string>& addresses, int list_index);
  // Gives each contact the target list's bit in place of its list bit (the high 16 bits
  // stay) and rewrites its slot.
  void MoveContacts(std::span<Contact* const> contacts, int list_index);
  // Removes the contacts, frees their slots, then compacts "db3.dat"/"db4.dat" when no
  // contact is left (both truncated to 0 bytes) or the slot file is more than 1.33 times
  // its live size.
  void DeleteContacts(std::span<Contact* const> contacts);

  // For each sender with an address: a contact holding it that is not in the target list
  // is moved there; an unknown address becomes a new contact with the sender's name.
  void ApproveSenders(std::span<const SenderOfMessage> senders) { FileSenders(senders, 0); }
  void BlacklistSenders(std::span<const SenderOfMessage> senders) { FileSenders(senders, 1); }
  // The same for messages, by their summaries' sender address and decoded name.
  void ApproveSenders(std::span<MessageRecord* const> messages);
  void BlacklistSenders(std::span<MessageRecord* const> messages);

  Contact* Find(std::uint32_t id) const { return index_.Find(id); }
  // Contacts in ascending id order.
  const std::vector<Contact*>& records() const { return index_.records(); }
  std::size_t size() const { return index_.size(); }
  std::size_t address_count() const { return addresses_.size(); }

 private:
  void FileSenders(std::span<const SenderOfMessage> senders, int list_index);
  // Inserts every address for owner; on a clash removes those inserted and returns false.
  bool IndexAddresses(Contact& owner);
  void UnindexAddresses(const Contact& owner);
  std::uint32_t DrawId() const;
  // Takes the contact out of the index and the table and frees its slot; destroys it.
  void RemoveContact(Contact& contact);
  void CompactIfWasteful();

  std::string folder_;
  AddressListView* view_ = nullptr;
  SlotFile slots_;
  HeapFile heap_;
  IdIndex<Contact> index_;
  AddressIndex addresses_;
  std::unordered_map<const Contact*, std::unique_ptr<Contact>> owned_;
};

}  // namespace pelrion::store
