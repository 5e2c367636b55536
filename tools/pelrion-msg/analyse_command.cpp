// pelrion-msg analyse FILE [--installation-id ID]: what arrival analysis finds in a message
// file (sender, display texts, dates, notification findings, the program's marks, the
// Sender-ID tag) and what the bounce or reply check would do with it, as one JSON object.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_registry.h"
#include "common/json_writer.h"
#include "message_scan.h"
#include "store/message_record.h"
#include "validation/arrival_analysis.h"
#include "validation/arrival_checks.h"
#include "validation/request_marks.h"

namespace pelrion::msgtool {

namespace {

constexpr char kUsage[] = "usage: pelrion-msg analyse FILE [--installation-id ID]\n";

// A fresh mode-0700 folder under $TMPDIR (or /tmp) for returned header blocks, removed with
// its files on destruction.
class ScratchFolder {
 public:
  ScratchFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pelrion-msg-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }  // ends in '/'; empty on failure

 private:
  std::string path_;
};

// What the bounce or reply check reports, kept instead of reaching a quarantine.
class ReportedEvents : public validation::QuarantineEvents {
 public:
  void RequestBounced(const std::string& address, std::int32_t number) override {
    event = "RequestBounced";
    this->address = address;
    this->number = number;
  }
  void AuthorizationReplyReceived(const std::string& address, std::int32_t number,
                                  std::string_view text) override {
    event = "AuthorizationReplyReceived";
    this->address = address;
    this->number = number;
    text_length = text.size();
  }

  std::string event;  // empty when nothing was reported
  std::string address;
  std::int32_t number = 0;
  std::size_t text_length = 0;
};

struct Arguments {
  std::string file;
  std::optional<std::string> installation_id;
};

std::optional<Arguments> ParseArguments(const std::vector<std::string>& args) {
  Arguments parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--installation-id") {
      if (i + 1 >= args.size() || parsed.installation_id) return std::nullopt;
      parsed.installation_id = args[++i];
    } else if (parsed.file.empty() && !args[i].empty()) {
      parsed.file = args[i];
    } else {
      return std::nullopt;
    }
  }
  if (parsed.file.empty()) return std::nullopt;
  return parsed;
}

void WriteSummary(tools::JsonWriter& json, const store::MessageSummary& summary) {
  const std::pair<const char*, std::string_view> texts[] = {
      {"sender", summary.sender_address()},
      {"sender_name", summary.sender_name()},
      {"sender_name_decoded", summary.sender_name_decoded()},
      {"subject", summary.subject()},
      {"subject_decoded", summary.subject_decoded()},
      {"from", summary.from_text()},
      {"to", summary.to_text()},
      {"cc", summary.cc_text()},
  };
  for (const auto& [key, text] : texts) {
    json.Key(key);
    json.String(text);
  }
  json.Key("sent");
  json.Int(summary.sent);
  json.Key("received");
  json.Int(summary.received);
}

void WriteReport(tools::JsonWriter& json, const validation::DeliveryReport& report) {
  json.Key("is_dsn");
  json.Bool(report.is_delivery_status_notification);
  json.Key("returned_headers_found");
  json.Bool(report.returned_headers_found);
  if (report.returned_headers_found) {
    json.Key("returned_headers");
    json.BeginArray();
    for (std::size_t i = 0; i < report.returned_headers.size(); ++i) {
      json.BeginObject();
      json.Key("name");
      json.String(report.returned_headers.names[i]);
      json.Key("value");
      json.String(report.returned_headers.values[i]);
      json.EndObject();
    }
    json.EndArray();
  }
  json.Key("report_text_used");
  json.Bool(report.report_text_used);
  if (report.report_text_used) {
    json.Key("report_text");
    json.String(report.report_text);
  }
}

void WriteTag(tools::JsonWriter& json, const validation::SenderIdTag& tag) {
  json.Key("tag");
  json.BeginObject();
  json.Key("present");
  json.Bool(tag.tag_present);
  json.Key("decoded");
  json.Bool(tag.decoded);
  json.Key("address");
  json.String(tag.address);
  json.Key("number");
  json.Int(tag.number);
  json.EndObject();
}

// The check the download would run next, unless the message is an authorization request.
void WriteCheck(tools::JsonWriter& json, const store::MessageRecord& record,
                const std::string& path, const validation::ClassificationInput& input) {
  ReportedEvents events;
  const char* kind = "none";
  bool consumed = false;
  if (!input.is_authorization_request) {
    if (input.report.is_delivery_status_notification) {
      kind = "bounce";
      consumed = validation::CheckBounce(record, input.report, events);
    } else {
      kind = "reply";
      consumed = validation::CheckReply(record, path, events);
    }
  }
  json.Key("check");
  json.BeginObject();
  json.Key("kind");
  json.String(kind);
  json.Key("consumed");
  json.Bool(consumed);
  if (!events.event.empty()) {
    json.Key("event");
    json.String(events.event);
    json.Key("address");
    json.String(events.address);
    json.Key("number");
    json.Int(events.number);
    if (events.event == "AuthorizationReplyReceived") {
      json.Key("text_length");
      json.Int(static_cast<std::int64_t>(events.text_length));
    }
  }
  json.EndObject();
}

int RunAnalyse(const std::vector<std::string>& args) {
  const std::optional<Arguments> arguments = ParseArguments(args);
  if (!arguments) {
    std::cerr << kUsage;
    return kUsageStatus;
  }
  const std::optional<ScannedMessage> scanned = ScanMessage(arguments->file, "analyse");
  if (!scanned) return 1;
  if (!scanned->headers_ended) {
    std::cerr << "pelrion-msg analyse: the header block of '" << arguments->file
              << "' never ends\n";
    return 1;
  }
  const ScratchFolder scratch;
  if (scratch.path().empty()) {
    std::cerr << "pelrion-msg analyse: cannot create a temporary folder\n";
    return 1;
  }

  store::MessageRecord record;
  record.summary.header_length = static_cast<std::int32_t>(scanned->header_length);
  record.summary.body_line_count = scanned->body_lines;
  record.summary.set_part_table(scanned->table);
  validation::ClassificationInput input;
  std::string message_id;
  if (!validation::AnalyseMessage(record, arguments->file, scratch.path(), input, message_id)) {
    std::cerr << "pelrion-msg analyse: cannot read the header block of '" << arguments->file
              << "'\n";
    return 1;
  }

  tools::JsonWriter json(std::cout);
  json.BeginObject();
  json.Key("file");
  json.String(arguments->file);
  WriteSummary(json, record.summary);
  json.Key("message_id");
  json.String(message_id);
  WriteReport(json, input.report);
  json.Key("is_auth_request");
  json.Bool(input.is_authorization_request);
  json.Key("signed");
  json.Bool(input.signed_by_pelrion);
  json.Key("installation_mark");
  json.String(input.installation_mark);
  if (arguments->installation_id) {
    json.Key("own_installation");
    json.Bool(!input.installation_mark.empty() &&
              input.installation_mark == *arguments->installation_id);
  }
  const validation::SenderIdTag tag = validation::ParseSenderIdTag(record.summary.subject_decoded());
  if (tag.tag_present) WriteTag(json, tag);
  WriteCheck(json, record, arguments->file, input);
  json.EndObject();
  return 0;
}

const bool kRegistered = RegisterCommand(
    "analyse", Command{"FILE [--installation-id ID]",
                       "what arrival analysis finds in the message and what the bounce or reply "
                       "check would do with it, as JSON",
                       RunAnalyse});

}  // namespace

}  // namespace pelrion::msgtool
