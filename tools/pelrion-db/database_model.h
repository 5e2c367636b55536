// The database folder as the program would load it, worked out without touching any file:
// every file is opened read-only, missing files are not created, and each table's own
// acceptance rules are applied in the program's load order (listeners, accounts, contacts,
// trusted domains, messages, duplicate digests). Account passwords are never kept here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "crypto/md5.h"
#include "store/list_blob.h"
#include "store/listener_record.h"
#include "store/mail_account.h"
#include "store/message_summary.h"

namespace pelrion::dbtool {

// One file present in the folder: the records kept and the records a load would drop.
struct FileReport {
  std::string name;  // "db1.dat"
  std::size_t kept = 0;
  std::size_t failed = 0;
  bool readable = true;
};

// A version-1 account keeps its servers inside the record; loading turns them into
// listeners (an existing listener for the same server, or a new one).
struct OldAccountServers {
  std::string pop3_host;
  std::uint32_t pop3_port = 0;
  std::string smtp_host;
  std::uint32_t smtp_port = 0;
};

struct LoadedAccount {
  store::MailAccount account;  // both password fields are all zero
  std::optional<OldAccountServers> old_servers;
};

struct LoadedMessage {
  std::uint32_t id = 0;
  std::uint32_t account_id = 0;
  std::uint32_t flags = 0;
  std::int32_t request_sent_time = 0;
  std::int32_t request_number = 0;
  std::int32_t authorization_code = 0;
  std::int32_t status = 0;
  store::MessageSummary summary;
};

struct LoadedContact {
  std::uint32_t id = 0;
  std::uint32_t list_mask = 0;
  store::ListBlob blob;
};

struct LoadedDigest {
  std::uint32_t account_id = 0;
  crypto::Md5Digest digest{};
};

struct DatabaseModel {
  std::vector<FileReport> reports;  // files present, in name order
  std::optional<std::string> installation_id;
  std::optional<std::uint8_t> accounts_version;
  std::vector<store::Listener> listeners;  // id order
  std::vector<LoadedAccount> accounts;     // id order
  std::vector<LoadedMessage> messages;     // slot order
  std::vector<LoadedContact> contacts;     // slot order
  std::vector<std::string> trusted_domains;  // sort order
  std::vector<LoadedDigest> digests;         // slot order
};

// Reads the nine files of dir (read-only; a missing file is an empty table, as at load).
DatabaseModel LoadDatabaseModel(const std::string& dir);

// dir + "/" + name, without doubling a trailing slash.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace pelrion::dbtool
