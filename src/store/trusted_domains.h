// TrustedDomainList: the domains whose senders are trusted, lower case, sorted bytewise,
// without duplicates, each at most 255 bytes. Persisted in "db9.dat" (RecordFile version 1,
// 256-byte zero-padded records in sort order), rewritten whole on every change. Changed on
// the main thread only; worker threads read it directly, so every lookup, insert and
// removal takes the list's own lock. Any file error is FatalStop.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::store {

inline constexpr std::size_t kMaxDomainLength = 255;

enum class AddDomainResult {
  kAdded,
  kDuplicate,  // already listed (compared after lower-casing)
  kEmpty,      // nothing left after trimming
  kTooLong,    // more than 255 bytes: it would not survive the 256-byte record
};

// The records of "db9.dat" bytes as a check tool sees them, without touching any file.
struct TrustedDomainRecords {
  std::vector<std::string> domains;  // each record with a correct digest, in file order
  std::size_t bad_digests = 0;
};
TrustedDomainRecords DecodeTrustedDomainRecords(std::string_view db9_bytes);

// "The '%s' Trusted Domain is already in the list." for the box captioned "Trusted Domains".
std::string DuplicateDomainText(std::string_view domain);
inline constexpr std::string_view kTrustedDomainsCaption = "Trusted Domains";

class TrustedDomainList {
 public:
  // database_folder ends in '/'.
  explicit TrustedDomainList(std::string database_folder);

  // Loads "db9.dat" (created empty when missing). The version byte is ignored; records with
  // a correct digest go to their sorted place; a repeat, or an empty record, is dropped.
  void Load();

  // Exact match only: a subdomain of a trusted domain is not trusted. Any thread.
  bool IsTrustedDomain(std::string_view domain) const;

  // Trims and lower-cases text, inserts it at its sorted place and rewrites "db9.dat".
  AddDomainResult AddTrustedDomain(std::string_view text);
  // Removes the domain (as listed) and rewrites "db9.dat"; false when it is not listed.
  bool RemoveTrustedDomain(std::string_view domain);

  // A copy of the list in sort order. Any thread.
  std::vector<std::string> Domains() const;

 private:
  // Writes every domain as the file's records. Called with the lock held.
  void Rewrite() const;

  std::string path_;
  mutable std::mutex mutex_;
  std::vector<std::string> domains_;
};

}  // namespace pelrion::store
