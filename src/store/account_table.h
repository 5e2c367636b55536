// AccountTable: every MailAccount, loaded from "db5.dat" and rewritten whole (version 2) after
// each change. Records are reference counted like listeners: the table holds one reference,
// FindAccount / FindAccountForLogin add one that the caller gives back with ReleaseAccount.
// The table's lock guards the index, the reference counts and the message counts; worker
// threads may find and release accounts and take copies, everything else runs on the main
// thread.
//
// The fields of a record are never written once it is in the table (only its counts change,
// under the lock): UpdateAccount puts a new record with the same id and counts in its place,
// and the old one stays whole for whoever still holds it until its last reference goes. A
// worker that needs an account reads a held record without any lock, or better takes its
// own copy of everything it needs in one call before it starts: Snapshot gives the account
// and its two listeners together.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/main_thread.h"
#include "store/id_index.h"
#include "store/listener_table.h"
#include "store/mail_account.h"
#include "store/message_accounts.h"
#include "store/record_file.h"
#include "store/status_notices.h"

namespace pelrion::store {

// What removing an account asks of the message store and the message list.
class AccountRemovalPeers {
 public:
  virtual ~AccountRemovalPeers() = default;
  // Marks the account's stored messages in the message list (shown in red).
  virtual void HighlightAccountMessages(std::uint32_t account_id) = 0;
  // Forgets the account's duplicate digests of an unfinished mail check.
  virtual void ForgetDigests(std::uint32_t account_id) = 0;
};

// One account as a worker uses it: copies of the account and of its POP3 and SMTP listeners,
// taken together so that they agree. Later changes to the tables do not reach it.
struct AccountSnapshot {
  MailAccount account;
  Listener pop3;
  Listener smtp;
};

enum class AccountRemoval { kRemoved, kUnknown, kHasMessages };

struct AccountRemovalOutcome {
  AccountRemoval result = AccountRemoval::kUnknown;
  std::string refusal;  // kHasMessages: the text the account window shows
};

class AccountTable : public MessageAccounts, public ListenerUsers {
 public:
  // database_folder holds "db5.dat"; listeners is the table the accounts point into;
  // main_thread runs the notices' removal; notices is the main window's list of
  // network-error notices. Every port must outlive the table (and any worker that still
  // holds one of its records).
  AccountTable(std::string database_folder, ListenerTable& listeners,
               platform::MainThread& main_thread, StatusNotices& notices);
  ~AccountTable() override;
  AccountTable(const AccountTable&) = delete;
  AccountTable& operator=(const AccountTable&) = delete;

  // Loads "db5.dat" after the listeners: a version-2 record is kept only when both of its
  // listeners exist; a version-1 file is converted (its servers become listeners) and
  // rewritten in version 2. Then every listener no account refers to is dropped. Dies on a
  // file error.
  void Load();

  // The account with one more reference, or null.
  MailAccount* FindAccount(std::uint32_t id);
  // Gives back one reference; at 0 the record is freed, and its status notices are removed
  // unless the id lives on in a newer record (the freed one was replaced).
  void ReleaseAccount(MailAccount* account);
  // The account served by this POP3 listener whose POP3 user name equals user_name without
  // regard to case, with one more reference; null when there is none.
  MailAccount* FindAccountForLogin(std::uint32_t pop3_listener_id, std::string_view user_name);

  // True when an account other than except_id has this friendly name (case ignored).
  bool FriendlyNameInUse(std::string_view name, std::uint32_t except_id = 0) const;
  // <0, 0, >0 as the friendly names of the two accounts compare without regard to case; an
  // account that is not in the table has an empty name.
  int CompareAccountNames(std::uint32_t id1, std::uint32_t id2) const;

  // Adds a new account with the table's next id, reference count 1 and no messages, then
  // saves. Returns the id.
  std::uint32_t AddAccount(const MailAccount& fields);
  // Replaces the account by a new record with these fields (id and message count kept) and
  // saves; a holder of the old record keeps reading the old fields. False when the id is
  // not in the table.
  bool UpdateAccount(const MailAccount& fields);
  // A copy of the account's fields, or nullopt.
  std::optional<MailAccount> CopyOf(std::uint32_t id) const;
  // The account and its two listeners copied for a worker, or nullopt when the account or
  // one of its listeners is gone. Call it on the main thread (through MainThread::Call from
  // a worker) so no change falls between the three copies.
  std::optional<AccountSnapshot> Snapshot(std::uint32_t id) const;

  // Asks and removes as the account window does; true when the account was removed. An
  // account with stored messages is never removed: they are highlighted and the user told.
  bool RemoveAccount(std::uint32_t id, AccountRemovalPeers* peers);
  // The same without asking anything (a command the user typed is the confirmation): an
  // account with stored messages is kept, its messages highlighted, and the refusal text
  // returned.
  AccountRemovalOutcome RemoveAccountUnasked(std::uint32_t id, AccountRemovalPeers* peers);

  // Drops the listener when no account refers to it any more (see ListenerTable).
  bool DropListenerIfOrphaned(std::uint32_t listener_id);

  // Rewrites "db5.dat" in version 2. Dies on a file error.
  void SaveAccounts();

  // MessageAccounts
  bool AccountExists(std::uint32_t account_id) const override;
  bool AdjustMessageCount(std::uint32_t account_id, int delta) override;
  // ListenerUsers
  bool RefersToListener(std::uint32_t listener_id) const override;

  std::vector<std::uint32_t> Ids() const;
  std::size_t size() const;
  std::uint32_t next_id() const;
  std::string path() const;

 private:
  static std::uint32_t IdOf(const MailAccount& account) { return account.id; }
  // Fills the table from checked records, converting version-1 ones.
  void InstallLoaded(const LoadedRecords& loaded);
  // Drops one reference under the lock; true when the record was freed and no newer record
  // carries its id (its notices must go).
  bool DropReference(MailAccount* account);
  void NotifyFreed(std::uint32_t id);
  // Takes the account (held once by the caller, who gives that reference up here) out of
  // the table, drops its orphaned listeners and saves.
  void RemoveHeld(MailAccount* account, const MailAccount& fields, AccountRemovalPeers* peers);

  std::string folder_;
  ListenerTable& listeners_;
  platform::MainThread& main_thread_;
  StatusNotices& notices_;

  mutable std::mutex mutex_;
  IdIndex<MailAccount> index_{&AccountTable::IdOf, true};
  std::uint32_t next_id_ = 1;
};

// Read-only inspection of "db5.dat" bytes for the check tool: every complete unit, whether its
// digest matches, the account it holds (passwords deciphered: never print them) and whether
// loading would keep it given the listener ids present in "db8.dat".
struct AccountUnit {
  std::size_t offset = 0;  // of the unit's digest in the file
  bool digest_ok = false;
  std::optional<MailAccount> account;  // version 2 (listener ids) or converted version 1
  std::optional<MailAccountV1> old;    // version 1 only: the servers
  bool listeners_exist = false;        // version 2: both listener ids are present
  bool accepted = false;               // digest ok, (version 2) listeners exist, id not seen
};

struct AccountFileReport {
  std::optional<std::uint8_t> version;
  std::size_t record_size = 0;  // 1948 for version 1, else 1428
  std::vector<AccountUnit> units;
  std::size_t trailing_bytes = 0;  // a partial unit at the end, ignored at load
};

AccountFileReport InspectAccountFile(std::string_view bytes,
                                     const std::set<std::uint32_t>& listener_ids);

}  // namespace pelrion::store
