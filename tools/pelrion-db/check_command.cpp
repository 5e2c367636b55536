#include "check_command.h"

#include <sys/stat.h>

#include <optional>
#include <set>
#include <string_view>

#include "store/byte_reader.h"
#include "store/installation_id.h"
#include "store/record_file.h"
#include "store/store_file.h"

namespace pelrion::dbtool {

namespace {

using store::OpenMode;
using store::StoreFile;

FileReport NamedReport(const std::string& name) {
  FileReport report;
  report.name = name;
  return report;
}

enum class Presence { kAbsent, kPresent };

Presence PresenceOf(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 ? Presence::kPresent : Presence::kAbsent;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  auto file = StoreFile::Open(path, OpenMode::kReadOnly);
  if (!file) return std::nullopt;
  return file->ReadAll();
}

void CheckRecordFile(const FileRules& rules, std::string_view bytes, FileReport& report) {
  store::RecordFileContents contents = store::ParseRecordFile(bytes, rules.record_size);
  report.failed += contents.bad_digests;
  std::set<std::string> seen;
  for (const std::string& record : contents.records) {
    if (rules.accept_record && !rules.accept_record(record)) {
      ++report.failed;
      continue;
    }
    std::string key = rules.keyed_by_text
                          ? std::string(record.substr(0, record.find('\0')))
                          : std::to_string(store::U32At(record, 0).value_or(0));
    if (!seen.insert(std::move(key)).second) {
      ++report.failed;
      continue;
    }
    ++report.kept;
  }
}

void CheckIdentity(std::string_view bytes, FileReport& report) {
  if (store::ParseIdentityFile(bytes)) {
    ++report.kept;
  } else {
    ++report.failed;
  }
}

// Checks a slot file, and its heap when rules name one. Returns the heap's report, if any.
std::optional<FileReport> CheckSlots(const std::string& dir, const FileRules& rules,
                                     std::string_view slot_bytes, FileReport& report) {
  std::optional<FileReport> heap_report;
  std::optional<StoreFile> heap_file;
  std::optional<store::HeapView> heap;
  if (rules.shape == FileShape::kSlotPair) {
    const std::string heap_path = JoinPath(dir, rules.heap_name);
    std::uint64_t length = 0;  // a missing heap holds nothing: every item lies outside it
    if (PresenceOf(heap_path) == Presence::kPresent) {
      heap_report = NamedReport(rules.heap_name);
      heap_file = StoreFile::Open(heap_path, OpenMode::kReadOnly);
      auto heap_length = heap_file ? heap_file->Length() : std::nullopt;
      if (!heap_length) {
        heap_report->readable = false;
        heap_file.reset();
      } else {
        length = *heap_length;
      }
    }
    const StoreFile* reader = heap_file ? &*heap_file : nullptr;
    heap = store::HeapView{rules.heap_header, length,
                           [reader](std::uint64_t offset, std::size_t size) {
                             std::optional<std::string> bytes;
                             if (reader == nullptr) return bytes;
                             bytes.emplace(size, '\0');
                             auto got = reader->ReadAt(offset, bytes->data(), size);
                             if (!got || *got != size) bytes.reset();
                             return bytes;
                           }};
  }

  store::ScanSlots(slot_bytes, rules.layout, heap ? &*heap : nullptr,
                   [&](store::ScannedSlot& slot, store::SlotVerdict verdict) {
                     using store::SlotVerdict;
                     switch (verdict) {
                       case SlotVerdict::kFree:
                         return;
                       case SlotVerdict::kValid:
                         if (rules.accept_slot && !rules.accept_slot(slot.entry, slot.blob)) {
                           ++report.failed;
                           return;
                         }
                         ++report.kept;
                         if (heap_report) ++heap_report->kept;
                         return;
                       case SlotVerdict::kHeapReadError:
                         if (heap_report) heap_report->readable = false;
                         ++report.failed;
                         return;
                       case SlotVerdict::kOutsideHeap:
                       case SlotVerdict::kBadHeapHeader:
                       case SlotVerdict::kBadBlobDigest:
                         if (heap_report) ++heap_report->failed;
                         ++report.failed;
                         return;
                       case SlotVerdict::kBadDigest:
                         ++report.failed;
                         return;
                     }
                   });
  return heap_report;
}

}  // namespace

std::vector<FileReport> CheckDirectory(const std::string& dir,
                                       const std::vector<FileRules>& all_rules) {
  std::vector<FileReport> reports;
  for (const FileRules& rules : all_rules) {
    const std::string path = JoinPath(dir, rules.name);
    const bool present = PresenceOf(path) == Presence::kPresent;
    FileReport report = NamedReport(rules.name);
    std::optional<std::string> bytes;
    if (present) {
      bytes = ReadFileBytes(path);
      report.readable = bytes.has_value();
    }
    std::optional<FileReport> heap_report;
    if (present && bytes) {
      switch (rules.shape) {
        case FileShape::kSlotPair:
        case FileShape::kSlotsOnly:
          heap_report = CheckSlots(dir, rules, *bytes, report);
          break;
        case FileShape::kRecordFile:
          CheckRecordFile(rules, *bytes, report);
          break;
        case FileShape::kIdentity:
          CheckIdentity(*bytes, report);
          break;
      }
    } else if (rules.shape == FileShape::kSlotPair) {
      // A heap without its slot file: nothing refers to it, so nothing is kept or failed.
      const std::string heap_path = JoinPath(dir, rules.heap_name);
      if (PresenceOf(heap_path) == Presence::kPresent) {
        heap_report = NamedReport(rules.heap_name);
        heap_report->readable = ReadFileBytes(heap_path).has_value();
      }
    }
    if (present) reports.push_back(report);
    if (heap_report) reports.push_back(*heap_report);
  }
  return reports;
}

int RunCheck(const std::string& dir, std::ostream& out, std::ostream& err) {
  struct stat info;
  if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    err << "pelrion-db: cannot read directory '" << dir << "'\n";
    return 1;
  }
  int status = 0;
  for (const FileReport& report : CheckDirectory(dir, AllFileRules())) {
    if (!report.readable) {
      out << report.name << ": cannot be read\n";
      status = 1;
      continue;
    }
    out << report.name << ": " << report.kept << " kept, " << report.failed << " failed\n";
  }
  return status;
}

}  // namespace pelrion::dbtool
