#include "store/trusted_domains.h"

#include <algorithm>

#include "mailformat/ascii.h"
#include "store/byte_writer.h"
#include "store/database_files.h"
#include "store/record_file.h"
#include "store/store_file.h"

namespace pelrion::store {
namespace {

std::size_t DomainRecordSize(std::uint8_t) { return kTrustedDomainRecordSize; }

std::string_view TextOfRecord(std::string_view record) {
  return record.substr(0, record.find('\0'));
}

std::string EncodeDomainRecord(std::string_view domain) {
  ByteWriter out;
  out.Text(domain, kTrustedDomainRecordSize);
  return out.Take();
}

}  // namespace

TrustedDomainRecords DecodeTrustedDomainRecords(std::string_view db9_bytes) {
  RecordFileContents contents = ParseRecordFile(db9_bytes, DomainRecordSize);
  TrustedDomainRecords out;
  out.bad_digests = contents.bad_digests;
  for (const std::string& record : contents.records) out.domains.emplace_back(TextOfRecord(record));
  return out;
}

std::string DuplicateDomainText(std::string_view domain) {
  return "The '" + std::string(domain) + "' Trusted Domain is already in the list.";
}

TrustedDomainList::TrustedDomainList(std::string database_folder)
    : path_(std::move(database_folder) + std::string(kTrustedDomainsFile)) {}

void TrustedDomainList::Load() {
  const StoreFile file = OpenForLoad(path_, FileKind::kRecordFile);
  const TrustedDomainRecords records = DecodeTrustedDomainRecords(ReadAllOrDie(file));
  std::lock_guard lock(mutex_);
  domains_.clear();
  for (const std::string& domain : records.domains) {
    // An empty domain would match every sender address without a domain part.
    if (domain.empty()) continue;
    auto at = std::lower_bound(domains_.begin(), domains_.end(), domain);
    if (at != domains_.end() && *at == domain) continue;
    domains_.insert(at, domain);
  }
}

bool TrustedDomainList::IsTrustedDomain(std::string_view domain) const {
  std::lock_guard lock(mutex_);
  return std::binary_search(domains_.begin(), domains_.end(), domain,
                            [](std::string_view a, std::string_view b) { return a < b; });
}

AddDomainResult TrustedDomainList::AddTrustedDomain(std::string_view text) {
  const std::string domain = mailformat::ascii::ToLowerCopy(mailformat::ascii::Trim(text));
  if (domain.empty() || domain.find('\0') != std::string::npos) {
    // A zero byte would end the stored text early, so it is treated like no text at all.
    return AddDomainResult::kEmpty;
  }
  if (domain.size() > kMaxDomainLength) return AddDomainResult::kTooLong;
  std::lock_guard lock(mutex_);
  auto at = std::lower_bound(domains_.begin(), domains_.end(), domain);
  if (at != domains_.end() && *at == domain) return AddDomainResult::kDuplicate;
  domains_.insert(at, domain);
  Rewrite();
  return AddDomainResult::kAdded;
}

bool TrustedDomainList::RemoveTrustedDomain(std::string_view domain) {
  std::lock_guard lock(mutex_);
  auto at = std::lower_bound(domains_.begin(), domains_.end(), domain,
                             [](const std::string& a, std::string_view b) { return a < b; });
  if (at == domains_.end() || *at != domain) return false;
  domains_.erase(at);
  Rewrite();
  return true;
}

std::vector<std::string> TrustedDomainList::Domains() const {
  std::lock_guard lock(mutex_);
  return domains_;
}

void TrustedDomainList::Rewrite() const {
  std::vector<std::string> records;
  records.reserve(domains_.size());
  for (const std::string& domain : domains_) records.push_back(EncodeDomainRecord(domain));
  RewriteRecordFile(path_, kTrustedDomainsVersion, records, kTrustedDomainRecordSize);
}

}  // namespace pelrion::store
