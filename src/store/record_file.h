// RecordFile: a version byte, then [16-byte MD5][R-byte record] units. Small tables
// (accounts, listeners, trusted domains) kept whole in memory and rewritten whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::store {

// What a RecordFile holds once its digests are checked.
struct RecordFileContents {
  std::optional<std::uint8_t> version;  // nullopt for a file shorter than one byte
  std::vector<std::string> records;     // records whose digest matched, in file order
  std::size_t bad_digests = 0;          // complete records dropped for their digest
};

// Parses RecordFile bytes. record_size gives R for the version byte read (a file may know
// older layouts). Units are read until the first incomplete one; a partial tail is ignored.
RecordFileContents ParseRecordFile(std::string_view bytes,
                                   const std::function<std::size_t(std::uint8_t)>& record_size);

// The owner's rules for turning checked records into a table.
struct RecordRules {
  std::function<std::size_t(std::uint8_t version)> record_size;
  // The record's 32-bit id; defaults to the little-endian word at offset 0.
  std::function<std::uint32_t(std::string_view record)> id_of;
  // The owner's acceptance rule; defaults to accepting every record.
  std::function<bool(std::string_view record)> accept;
};

struct LoadedRecords {
  std::optional<std::uint8_t> version;
  std::vector<std::string> records;  // accepted records, ascending id
  std::uint32_t next_id = 1;         // largest id + 1, or 1 for an empty table
  std::size_t dropped = 0;           // digest failures, rejected records and duplicate ids
};

// Applies acceptance and the duplicate-id rule (the first record of an id wins), sorts by id.
LoadedRecords ArrangeRecords(RecordFileContents contents, const RecordRules& rules);

// Loads path (created empty when missing). Dies on any file error.
LoadedRecords LoadRecordFile(const std::string& path, const RecordRules& rules);

// The complete file image: version byte, then digest + record for each record in order.
// Every record must be exactly record_size bytes.
std::string EncodeRecordFile(std::uint8_t version, const std::vector<std::string>& records,
                             std::size_t record_size);

// Rewrites path in place: the length is set to n * (16 + R) + 1 first, then the version byte
// and every digest + record are written from offset 0. Dies on any file error.
void RewriteRecordFile(const std::string& path, std::uint8_t version,
                       const std::vector<std::string>& records, std::size_t record_size);

}  // namespace pelrion::store
