#include "store/record_file.h"

#include <algorithm>
#include <cassert>

#include "store/byte_reader.h"
#include "store/record_digest.h"
#include "store/store_file.h"

namespace pelrion::store {

RecordFileContents ParseRecordFile(std::string_view bytes,
                                   const std::function<std::size_t(std::uint8_t)>& record_size) {
  RecordFileContents contents;
  if (bytes.empty()) return contents;
  contents.version = static_cast<std::uint8_t>(bytes[0]);
  const std::size_t r = record_size(*contents.version);
  const std::size_t unit = kDigestSize + r;
  for (std::size_t pos = 1; bytes.size() - pos >= unit; pos += unit) {
    std::string_view digest = bytes.substr(pos, kDigestSize);
    std::string_view record = bytes.substr(pos + kDigestSize, r);
    if (DigestMatches(digest, record)) {
      contents.records.emplace_back(record);
    } else {
      ++contents.bad_digests;
    }
  }
  return contents;
}

LoadedRecords ArrangeRecords(RecordFileContents contents, const RecordRules& rules) {
  LoadedRecords loaded;
  loaded.version = contents.version;
  loaded.dropped = contents.bad_digests;
  auto id_of = [&rules](std::string_view record) -> std::uint32_t {
    if (rules.id_of) return rules.id_of(record);
    return U32At(record, 0).value_or(0);
  };
  std::vector<std::pair<std::uint32_t, std::string>> by_id;
  by_id.reserve(contents.records.size());
  for (std::string& record : contents.records) {
    if (rules.accept && !rules.accept(record)) {
      ++loaded.dropped;
      continue;
    }
    const std::uint32_t id = id_of(record);
    auto at = std::lower_bound(by_id.begin(), by_id.end(), id,
                               [](const auto& entry, std::uint32_t key) { return entry.first < key; });
    if (at != by_id.end() && at->first == id) {
      ++loaded.dropped;
      continue;
    }
    by_id.insert(at, {id, std::move(record)});
  }
  if (!by_id.empty()) loaded.next_id = by_id.back().first + 1;
  loaded.records.reserve(by_id.size());
  for (auto& entry : by_id) loaded.records.push_back(std::move(entry.second));
  return loaded;
}

LoadedRecords LoadRecordFile(const std::string& path, const RecordRules& rules) {
  std::string bytes;
  {
    StoreFile file = OpenForLoad(path, FileKind::kRecordFile);
    bytes = ReadAllOrDie(file);
  }
  return ArrangeRecords(ParseRecordFile(bytes, rules.record_size), rules);
}

std::string EncodeRecordFile(std::uint8_t version, const std::vector<std::string>& records,
                             std::size_t record_size) {
  std::string image;
  image.reserve(1 + records.size() * (kDigestSize + record_size));
  image.push_back(static_cast<char>(version));
  for (const std::string& record : records) {
    assert(record.size() == record_size);
    // Keep the layout exact even if a caller got a record's size wrong.
    std::string fitted = record.substr(0, record_size);
    fitted.resize(record_size, '\0');
    image.append(WithDigest(fitted));
  }
  return image;
}

void RewriteRecordFile(const std::string& path, std::uint8_t version,
                       const std::vector<std::string>& records, std::size_t record_size) {
  const std::string image = EncodeRecordFile(version, records, record_size);
  StoreFile file = OpenForWrite(path);
  SetLengthOrDie(file, image.size());
  WriteAtOrDie(file, 0, image);
}

}  // namespace pelrion::store
