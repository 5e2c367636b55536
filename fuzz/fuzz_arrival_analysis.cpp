// Arbitrary bytes as a downloaded message: written to a file, scanned line by line as the
// download does, analysed, then given to the bounce or reply check with a quarantine that
// only records. Checks the findings keep their documented bounds and that the checks report
// only what they consume.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"
#include "store/message_record.h"
#include "validation/arrival_analysis.h"
#include "validation/arrival_checks.h"

namespace {

using pelrion::validation::QuarantineEvents;

class CountingEvents : public QuarantineEvents {
 public:
  void RequestBounced(const std::string& address, std::int32_t number) override {
    if (number == 0 || address.find('\0') != std::string::npos) std::abort();
    ++bounces;
  }
  void AuthorizationReplyReceived(const std::string& address, std::int32_t number,
                                  std::string_view text) override {
    if (number == 0 || address.find('\0') != std::string::npos) std::abort();
    if (text.size() > pelrion::validation::kReportTextLimit) std::abort();
    ++replies;
  }
  int bounces = 0;
  int replies = 0;
};

// One private folder for the whole run: the message file and the returned-header scratch
// files live there.
const std::string& Folder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/fuzz-arrival-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern + "/";
  }();
  return folder;
}

void EmptyFolder(const std::string& folder) {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    std::filesystem::remove(entry.path(), ignored);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& folder = Folder();
  const std::string path = folder + "message.eml";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  pelrion::mailformat::MimeScanner scanner;
  if (!pelrion::mailformat::FeedMessageFile(path, scanner)) std::abort();
  pelrion::store::MessageRecord record;
  record.summary.header_length =
      scanner.headers_ended() ? static_cast<std::int32_t>(scanner.header_length()) : -1;
  record.summary.body_line_count = scanner.body_line_count();
  record.summary.file_size = static_cast<std::uint32_t>(size);
  record.summary.set_part_table(pelrion::mailformat::BuildPartTable(scanner, path));

  pelrion::validation::ClassificationInput input;
  std::string message_id;
  const bool analysed =
      pelrion::validation::AnalyseMessage(record, path, folder, input, message_id);
  if (analysed != scanner.headers_ended()) std::abort();
  if (analysed) {
    const auto& report = input.report;
    const auto& summary = record.summary;
    if (!input.installation_mark.empty() && input.installation_mark.size() != 11) std::abort();
    if (input.is_authorization_request && input.signed_by_pelrion) std::abort();
    if (report.report_text.size() > pelrion::validation::kReportTextLimit) std::abort();
    if (report.returned_headers_found && report.report_text_used) std::abort();
    if ((report.returned_headers_found || report.report_text_used) !=
        report.is_delivery_status_notification) {
      std::abort();
    }
    for (char c : summary.sender_address()) {
      if (c >= 'A' && c <= 'Z') std::abort();  // stored lower case
    }
    if (summary.sender_address().empty() && summary.sender_name().empty() &&
        !summary.sender_name_decoded().empty()) {
      std::abort();
    }

    CountingEvents events;
    bool consumed = false;
    if (report.is_delivery_status_notification) {
      consumed = pelrion::validation::CheckBounce(record, report, events);
    } else {
      consumed = pelrion::validation::CheckReply(record, path, events);
    }
    if (events.bounces + events.replies > 1) std::abort();
    if (events.bounces + events.replies == 1 && !consumed) std::abort();
    if (events.bounces > 0 && !report.is_delivery_status_notification) std::abort();
  }
  EmptyFolder(folder);
  return 0;
}
