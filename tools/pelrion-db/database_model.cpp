#include "database_model.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <string_view>

#include "mailformat/ascii.h"
#include "store/account_table.h"
#include "store/contact.h"
#include "store/database_files.h"
#include "store/duplicate_digest_table.h"
#include "store/installation_id.h"
#include "store/listener_table.h"
#include "store/message_record.h"
#include "store/store_file.h"
#include "store/trusted_domains.h"

namespace pelrion::dbtool {

namespace {

using store::OpenMode;
using store::StoreFile;

// One file as read: absent, unreadable, or its bytes.
struct FileBytes {
  bool present = false;
  bool readable = false;
  std::string bytes;  // empty unless readable
};

FileBytes ReadDatabaseFile(const std::string& dir, std::string_view name) {
  FileBytes file;
  const std::string path = JoinPath(dir, std::string(name));
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return file;
  file.present = true;
  if (auto opened = StoreFile::Open(path, OpenMode::kReadOnly)) {
    if (auto bytes = opened->ReadAll()) {
      file.readable = true;
      file.bytes = std::move(*bytes);
    }
  }
  return file;
}

void ClearPasswords(store::MailAccount& account) {
  account.pop3_password.bytes.fill('\0');
  account.smtp_password.bytes.fill('\0');
}

// The listener a converted version-1 account would find for one of its servers: the first
// in id order with the same protocol and port and the host equal without regard to case.
const store::Listener* MatchingListener(const std::vector<store::Listener>& listeners,
                                        std::string_view host, std::uint32_t port,
                                        store::ListenerProtocol protocol) {
  store::TextField<store::kHostFieldSize> field;
  field.Set(host);  // compared as it would be stored
  for (const store::Listener& listener : listeners) {
    if (listener.protocol == protocol && listener.server_port == port &&
        mailformat::ascii::EqualsIgnoreCase(listener.server_host.Text(), field.Text())) {
      return &listener;
    }
  }
  return nullptr;
}

class ModelBuilder {
 public:
  explicit ModelBuilder(const std::string& dir) {
    for (std::string_view name :
         {store::kMessageSlotsFile, store::kMessageHeapFile, store::kContactSlotsFile,
          store::kContactHeapFile, store::kAccountsFile, store::kIdentityFile,
          store::kDigestSlotsFile, store::kListenersFile, store::kTrustedDomainsFile}) {
      files_.push_back(ReadDatabaseFile(dir, name));
      FileReport report;
      report.name = name;
      report.readable = !files_.back().present || files_.back().readable;
      reports_.push_back(report);
    }
  }

  DatabaseModel Build() {
    LoadIdentity();
    LoadListenersAndAccounts();
    LoadContacts();
    LoadTrustedDomains();
    LoadMessages();
    LoadDigests();
    for (std::size_t i = 0; i < files_.size(); ++i) {
      if (files_[i].present) model_.reports.push_back(reports_[i]);
    }
    return std::move(model_);
  }

 private:
  // Indexes follow the file numbers: db1.dat is 0.
  enum File { kDb1, kDb2, kDb3, kDb4, kDb5, kDb6, kDb7, kDb8, kDb9 };

  const std::string& Bytes(File file) const { return files_[file].bytes; }
  FileReport& Report(File file) { return reports_[file]; }

  void LoadIdentity() {
    if (!files_[kDb6].readable) return;
    model_.installation_id = store::ParseIdentityFile(Bytes(kDb6));
    ++(model_.installation_id ? Report(kDb6).kept : Report(kDb6).failed);
  }

  // Accounts need their listeners; afterwards every listener no account refers to is
  // dropped, so both files are settled together.
  void LoadListenersAndAccounts() {
    std::vector<store::Listener> candidates;
    std::set<std::uint32_t> listener_ids;
    const store::ListenerFileReport listeners = store::InspectListenerFile(Bytes(kDb8));
    for (const store::ListenerUnit& unit : listeners.units) {
      if (!unit.accepted) {
        ++Report(kDb8).failed;
        continue;
      }
      candidates.push_back(*unit.listener);
      listener_ids.insert(unit.listener->id);
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const store::Listener& a, const store::Listener& b) { return a.id < b.id; });

    const store::AccountFileReport accounts =
        store::InspectAccountFile(Bytes(kDb5), listener_ids);
    model_.accounts_version = accounts.version;
    std::set<std::uint32_t> used_listeners;
    for (const store::AccountUnit& unit : accounts.units) {
      if (!unit.accepted) {
        ++Report(kDb5).failed;
        continue;
      }
      ++Report(kDb5).kept;
      LoadedAccount loaded;
      loaded.account = *unit.account;
      ClearPasswords(loaded.account);
      if (unit.old) {
        OldAccountServers servers{std::string(unit.old->pop3_host.Text()), unit.old->pop3_port,
                                  std::string(unit.old->smtp_host.Text()), unit.old->smtp_port};
        // A server without a listener yet gets a new one at load: its id is not known here.
        const auto* pop3 = MatchingListener(candidates, servers.pop3_host, servers.pop3_port,
                                            store::ListenerProtocol::kPop3);
        const auto* smtp = MatchingListener(candidates, servers.smtp_host, servers.smtp_port,
                                            store::ListenerProtocol::kSmtp);
        loaded.account.pop3_listener_id = pop3 != nullptr ? pop3->id : 0;
        loaded.account.smtp_listener_id = smtp != nullptr ? smtp->id : 0;
        loaded.old_servers = std::move(servers);
      }
      used_listeners.insert(loaded.account.pop3_listener_id);
      used_listeners.insert(loaded.account.smtp_listener_id);
      model_.accounts.push_back(std::move(loaded));
    }
    std::sort(model_.accounts.begin(), model_.accounts.end(),
              [](const LoadedAccount& a, const LoadedAccount& b) {
                return a.account.id < b.account.id;
              });
    for (const LoadedAccount& loaded : model_.accounts) account_ids_.insert(loaded.account.id);

    for (store::Listener& listener : candidates) {
      if (used_listeners.count(listener.id) == 0) {
        ++Report(kDb8).failed;  // no account refers to it: dropped at load
        continue;
      }
      ++Report(kDb8).kept;
      model_.listeners.push_back(std::move(listener));
    }
  }

  void LoadContacts() {
    const std::string_view slots = Bytes(kDb3);
    std::set<std::uint32_t> ids;
    std::set<std::string> addresses;
    for (std::size_t at = 0; slots.size() - at >= store::kContactSlotSize;
         at += store::kContactSlotSize) {
      const store::ContactInspection slot =
          store::InspectContactSlot(slots.substr(at, store::kContactSlotSize), Bytes(kDb4));
      switch (slot.verdict) {
        case store::SlotVerdict::kFree:
          continue;
        case store::SlotVerdict::kBadDigest:
          ++Report(kDb3).failed;
          continue;
        case store::SlotVerdict::kValid:
          break;
        default:  // the item is outside the heap or damaged there
          ++Report(kDb3).failed;
          ++Report(kDb4).failed;
          continue;
      }
      if (!slot.blob_ok) {
        ++Report(kDb3).failed;
        ++Report(kDb4).failed;
        continue;
      }
      // Shared addresses: the contact loaded first keeps them, a later one is dropped.
      bool shared = false;
      for (const std::string& address : slot.blob.addresses) {
        shared = shared || addresses.count(address) != 0;
      }
      if (!slot.passes || shared || !ids.insert(slot.id).second) {
        ++Report(kDb3).failed;
        continue;
      }
      addresses.insert(slot.blob.addresses.begin(), slot.blob.addresses.end());
      ++Report(kDb3).kept;
      ++Report(kDb4).kept;
      model_.contacts.push_back(LoadedContact{slot.id, slot.list_mask, slot.blob});
    }
  }

  void LoadTrustedDomains() {
    const store::TrustedDomainRecords records = store::DecodeTrustedDomainRecords(Bytes(kDb9));
    Report(kDb9).failed += records.bad_digests;
    std::set<std::string> domains;
    for (const std::string& domain : records.domains) {
      // An empty record or a repeat is dropped at load.
      if (domain.empty() || !domains.insert(domain).second) {
        ++Report(kDb9).failed;
      } else {
        ++Report(kDb9).kept;
      }
    }
    model_.trusted_domains.assign(domains.begin(), domains.end());
  }

  void LoadMessages() {
    using Verdict = store::MessageSlotReport::Verdict;
    const std::string_view slots = Bytes(kDb1);
    std::set<std::uint32_t> ids;
    for (std::size_t at = 0; slots.size() - at >= store::kMessageSlotSize;
         at += store::kMessageSlotSize) {
      const std::string_view slot = slots.substr(at, store::kMessageSlotSize);
      store::MessageSlotReport report = store::InspectMessageSlot(slot, Bytes(kDb2));
      switch (report.verdict) {
        case Verdict::kFree:
          continue;
        case Verdict::kBadDigest:
        case Verdict::kDeletePending:
          ++Report(kDb1).failed;
          continue;
        case Verdict::kOutsideHeap:
        case Verdict::kBadHeapHeader:
        case Verdict::kBadSummary:
          ++Report(kDb1).failed;
          ++Report(kDb2).failed;
          continue;
        case Verdict::kOk:
          break;
      }
      store::MessageRecord record;
      if (!report.summary || !store::DecodeMessageEntry(slot.substr(16), record) ||
          account_ids_.count(record.account_id) == 0 || !ids.insert(record.id).second) {
        ++Report(kDb1).failed;
        continue;
      }
      ++Report(kDb1).kept;
      ++Report(kDb2).kept;
      model_.messages.push_back(LoadedMessage{record.id, record.account_id, record.flags,
                                              record.request_sent_time, record.request_number,
                                              record.authorization_code, record.status,
                                              std::move(*report.summary)});
    }
  }

  void LoadDigests() {
    const std::string_view slots = Bytes(kDb7);
    const std::size_t slot_size = 16 + store::kDigestEntrySize;
    for (std::size_t at = 0; slots.size() - at >= slot_size; at += slot_size) {
      const store::DigestSlotReport slot = store::InspectDigestSlot(slots.substr(at, slot_size));
      if (slot.verdict == store::DigestSlotReport::Verdict::kFree) continue;
      if (slot.verdict != store::DigestSlotReport::Verdict::kOk ||
          account_ids_.count(slot.account_id) == 0) {
        ++Report(kDb7).failed;
        continue;
      }
      ++Report(kDb7).kept;
      model_.digests.push_back(LoadedDigest{slot.account_id, slot.digest});
    }
  }

  std::vector<FileBytes> files_;
  std::vector<FileReport> reports_;
  std::set<std::uint32_t> account_ids_;
  DatabaseModel model_;
};

}  // namespace

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

DatabaseModel LoadDatabaseModel(const std::string& dir) { return ModelBuilder(dir).Build(); }

}  // namespace pelrion::dbtool
