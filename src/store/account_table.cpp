#include "store/account_table.h"

#include <memory>

#include "mailformat/ascii.h"
#include "platform/dialogs.h"
#include "platform/main_thread.h"
#include "store/database_files.h"
#include "store/record_digest.h"
#include "store/record_file.h"

namespace pelrion::store {

namespace {

constexpr std::string_view kAccountsCaption = "Mail Accounts";
constexpr std::string_view kProductName = "Pelrion";

std::string JoinPath(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

// Byte-wise comparison after lower-casing ASCII letters, like the C library's stricmp.
int CompareIgnoreCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(mailformat::ascii::ToLower(a[i]));
    const auto y = static_cast<unsigned char>(mailformat::ascii::ToLower(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string HasMessagesText(int count, std::string_view friendly_name) {
  std::string text = "There are " + std::to_string(count) + " messages associated with the '";
  text.append(friendly_name);
  text.append("' Account.\n");
  text.append(kProductName);
  text.append(
      " has highlighted these messages with the red color.\nPlease either delete or download "
      "them before removing the account.");
  return text;
}

std::string ConfirmRemovalText(std::string_view friendly_name) {
  std::string text = "Are you sure you want to delete the '";
  text.append(friendly_name);
  text.append("' Account?");
  return text;
}

}  // namespace

AccountTable::AccountTable(std::string database_folder, ListenerTable& listeners,
                           platform::MainThread& main_thread, StatusNotices& notices)
    : folder_(std::move(database_folder)),
      listeners_(listeners),
      main_thread_(main_thread),
      notices_(notices) {}

// Outstanding references must have been released by now; the table frees what it holds.
AccountTable::~AccountTable() {
  for (MailAccount* account : index_.records()) delete account;
}

std::string AccountTable::path() const {
  return JoinPath(folder_, kAccountsFile);
}

void AccountTable::Load() {
  RecordRules rules;
  rules.record_size = AccountRecordSizeFor;
  rules.accept = [this](std::string_view record) {
    if (record.size() == kOldAccountRecordSize) return DecodeMailAccountV1(record).has_value();
    auto account = DecodeMailAccount(record);
    return account && listeners_.Contains(account->pop3_listener_id) &&
           listeners_.Contains(account->smtp_listener_id);
  };
  const LoadedRecords loaded = LoadRecordFile(path(), rules);
  InstallLoaded(loaded);
  // Version 1 is only read: the file goes back in the current layout at once.
  if (loaded.version == std::uint8_t{1}) SaveAccounts();
  listeners_.DropUnreferenced(*this);
}

void AccountTable::InstallLoaded(const LoadedRecords& loaded) {
  const bool old_layout = loaded.version == std::uint8_t{1};
  std::vector<MailAccount*> accounts;
  accounts.reserve(loaded.records.size());
  for (const std::string& record : loaded.records) {
    MailAccount* account;
    if (old_layout) {
      MailAccountV1 old = *DecodeMailAccountV1(record);
      account = new MailAccount(old.account);
      account->pop3_listener_id = listeners_.FindOrCreateListener(
          old.pop3_host.Text(), old.pop3_port, ListenerProtocol::kPop3, false);
      account->smtp_listener_id = listeners_.FindOrCreateListener(
          old.smtp_host.Text(), old.smtp_port, ListenerProtocol::kSmtp, false);
    } else {
      account = new MailAccount(*DecodeMailAccount(record));
    }
    account->ref_count = 1;
    account->message_count = 0;
    accounts.push_back(account);
  }

  std::lock_guard lock(mutex_);
  for (MailAccount* account : index_.records()) delete account;
  index_.Clear();
  for (MailAccount* account : accounts) {
    if (!index_.Insert(account)) delete account;
  }
  next_id_ = loaded.next_id;
}

MailAccount* AccountTable::FindAccount(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  MailAccount* account = index_.Find(id);
  if (account) ++account->ref_count;
  return account;
}

void AccountTable::ReleaseAccount(MailAccount* account) {
  if (account == nullptr) return;
  const std::uint32_t id = account->id;
  // Outside the lock: the call waits for the main thread, which may itself want the lock.
  if (DropReference(account)) NotifyFreed(id);
}

bool AccountTable::DropReference(MailAccount* account) {
  std::lock_guard lock(mutex_);
  if (--account->ref_count != 0) return false;
  const std::uint32_t id = account->id;
  delete account;
  return index_.Find(id) == nullptr;
}

void AccountTable::NotifyFreed(std::uint32_t id) {
  StatusNotices& notices = notices_;
  main_thread_.Call([&notices, id] {
    notices.RemoveStatusNotices(NoticeOrigin::kAccount, id, 1);
    notices.RemoveStatusNotices(NoticeOrigin::kAccount, id, 0);
  });
}

MailAccount* AccountTable::FindAccountForLogin(std::uint32_t pop3_listener_id,
                                               std::string_view user_name) {
  std::lock_guard lock(mutex_);
  for (MailAccount* account : index_.records()) {
    if (account->pop3_listener_id == pop3_listener_id &&
        mailformat::ascii::EqualsIgnoreCase(account->pop3_user_name.Text(), user_name)) {
      ++account->ref_count;
      return account;
    }
  }
  return nullptr;
}

bool AccountTable::FriendlyNameInUse(std::string_view name, std::uint32_t except_id) const {
  std::lock_guard lock(mutex_);
  for (const MailAccount* account : index_.records()) {
    if (account->id != except_id &&
        mailformat::ascii::EqualsIgnoreCase(account->friendly_name.Text(), name)) {
      return true;
    }
  }
  return false;
}

int AccountTable::CompareAccountNames(std::uint32_t id1, std::uint32_t id2) const {
  std::lock_guard lock(mutex_);
  const MailAccount* a = index_.Find(id1);
  const MailAccount* b = index_.Find(id2);
  return CompareIgnoreCase(a ? a->friendly_name.Text() : std::string_view(),
                           b ? b->friendly_name.Text() : std::string_view());
}

std::uint32_t AccountTable::AddAccount(const MailAccount& fields) {
  auto account = new MailAccount(fields);
  account->ref_count = 1;
  account->message_count = 0;
  std::uint32_t id;
  {
    std::lock_guard lock(mutex_);
    id = next_id_++;
    account->id = id;
    index_.Insert(account);
  }
  SaveAccounts();
  return id;
}

bool AccountTable::UpdateAccount(const MailAccount& fields) {
  auto replacement = std::make_unique<MailAccount>(fields);
  replacement->ref_count = 1;
  MailAccount* old;
  {
    std::lock_guard lock(mutex_);
    old = index_.Remove(fields.id);
    if (old == nullptr) return false;
    replacement->message_count = old->message_count;
    index_.Insert(replacement.release());
  }
  // The table's reference to the old record; its id lives on, so no notice goes.
  ReleaseAccount(old);
  SaveAccounts();
  return true;
}

std::optional<MailAccount> AccountTable::CopyOf(std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  const MailAccount* account = index_.Find(id);
  if (account == nullptr) return std::nullopt;
  return *account;
}

std::optional<AccountSnapshot> AccountTable::Snapshot(std::uint32_t id) const {
  std::optional<MailAccount> account = CopyOf(id);
  if (!account) return std::nullopt;
  std::optional<Listener> pop3 = listeners_.CopyOf(account->pop3_listener_id);
  std::optional<Listener> smtp = listeners_.CopyOf(account->smtp_listener_id);
  if (!pop3 || !smtp) return std::nullopt;
  return AccountSnapshot{std::move(*account), std::move(*pop3), std::move(*smtp)};
}

bool AccountTable::RemoveAccount(std::uint32_t id, AccountRemovalPeers* peers) {
  MailAccount* account = FindAccount(id);
  if (account == nullptr) return false;
  std::optional<MailAccount> fields = CopyOf(id);
  if (!fields) {
    ReleaseAccount(account);
    return false;
  }
  platform::Dialogs& dialogs = platform::CurrentDialogs();

  if (fields->message_count > 0) {
    if (peers) peers->HighlightAccountMessages(id);
    dialogs.MessageBox(HasMessagesText(fields->message_count, fields->friendly_name.Text()),
                       kAccountsCaption, platform::DialogIcon::kWarning,
                       platform::DialogButtons::kOk);
    ReleaseAccount(account);
    return false;
  }
  if (dialogs.MessageBox(ConfirmRemovalText(fields->friendly_name.Text()), kAccountsCaption,
                         platform::DialogIcon::kWarning,
                         platform::DialogButtons::kYesNo) != platform::DialogAnswer::kYes) {
    ReleaseAccount(account);
    return false;
  }
  RemoveHeld(account, *fields, peers);
  return true;
}

AccountRemovalOutcome AccountTable::RemoveAccountUnasked(std::uint32_t id,
                                                         AccountRemovalPeers* peers) {
  MailAccount* account = FindAccount(id);
  if (account == nullptr) return {AccountRemoval::kUnknown, {}};
  std::optional<MailAccount> fields = CopyOf(id);
  if (!fields) {
    ReleaseAccount(account);
    return {AccountRemoval::kUnknown, {}};
  }
  if (fields->message_count > 0) {
    if (peers) peers->HighlightAccountMessages(id);
    ReleaseAccount(account);
    return {AccountRemoval::kHasMessages,
            HasMessagesText(fields->message_count, fields->friendly_name.Text())};
  }
  RemoveHeld(account, *fields, peers);
  return {AccountRemoval::kRemoved, {}};
}

void AccountTable::RemoveHeld(MailAccount* account, const MailAccount& fields,
                              AccountRemovalPeers* peers) {
  if (peers) peers->ForgetDigests(fields.id);
  MailAccount* unlinked;
  {
    std::lock_guard lock(mutex_);
    unlinked = index_.Remove(fields.id);
  }
  DropListenerIfOrphaned(fields.pop3_listener_id);
  DropListenerIfOrphaned(fields.smtp_listener_id);
  if (unlinked) ReleaseAccount(unlinked);  // the table's own reference
  ReleaseAccount(account);                 // the one taken by the caller
  SaveAccounts();
}

bool AccountTable::DropListenerIfOrphaned(std::uint32_t listener_id) {
  return listeners_.DropListenerIfOrphaned(listener_id, *this);
}

void AccountTable::SaveAccounts() {
  std::vector<std::string> records;
  {
    std::lock_guard lock(mutex_);
    records.reserve(index_.size());
    for (const MailAccount* account : index_.records()) {
      records.push_back(EncodeMailAccount(*account));
    }
  }
  RewriteRecordFile(path(), kAccountsVersion, records, kAccountRecordSize);
}

bool AccountTable::AccountExists(std::uint32_t account_id) const {
  std::lock_guard lock(mutex_);
  return index_.Find(account_id) != nullptr;
}

bool AccountTable::AdjustMessageCount(std::uint32_t account_id, int delta) {
  std::lock_guard lock(mutex_);
  MailAccount* account = index_.Find(account_id);
  if (account == nullptr) return false;
  account->message_count += delta;
  return true;
}

bool AccountTable::RefersToListener(std::uint32_t listener_id) const {
  std::lock_guard lock(mutex_);
  for (const MailAccount* account : index_.records()) {
    if (account->pop3_listener_id == listener_id || account->smtp_listener_id == listener_id) {
      return true;
    }
  }
  return false;
}

std::vector<std::uint32_t> AccountTable::Ids() const {
  std::lock_guard lock(mutex_);
  std::vector<std::uint32_t> ids;
  ids.reserve(index_.size());
  for (const MailAccount* account : index_.records()) ids.push_back(account->id);
  return ids;
}

std::size_t AccountTable::size() const {
  std::lock_guard lock(mutex_);
  return index_.size();
}

std::uint32_t AccountTable::next_id() const {
  std::lock_guard lock(mutex_);
  return next_id_;
}

AccountFileReport InspectAccountFile(std::string_view bytes,
                                     const std::set<std::uint32_t>& listener_ids) {
  AccountFileReport report;
  if (bytes.empty()) return report;
  report.version = static_cast<std::uint8_t>(bytes[0]);
  report.record_size = AccountRecordSizeFor(*report.version);
  const bool old_layout = *report.version == 1;
  const std::size_t unit_size = kDigestSize + report.record_size;
  std::set<std::uint32_t> seen;
  std::size_t pos = 1;
  for (; bytes.size() - pos >= unit_size; pos += unit_size) {
    AccountUnit unit;
    unit.offset = pos;
    const std::string_view record = bytes.substr(pos + kDigestSize, report.record_size);
    unit.digest_ok = DigestMatches(bytes.substr(pos, kDigestSize), record);
    bool usable;
    if (old_layout) {
      unit.old = DecodeMailAccountV1(record);
      if (unit.old) unit.account = unit.old->account;
      usable = unit.account.has_value();
    } else {
      unit.account = DecodeMailAccount(record);
      unit.listeners_exist = unit.account &&
                             listener_ids.count(unit.account->pop3_listener_id) != 0 &&
                             listener_ids.count(unit.account->smtp_listener_id) != 0;
      usable = unit.listeners_exist;
    }
    unit.accepted = unit.digest_ok && usable && seen.insert(unit.account->id).second;
    report.units.push_back(std::move(unit));
  }
  report.trailing_bytes = bytes.size() - pos;
  return report;
}

}  // namespace pelrion::store
