// Shared scaffolding for the arrival analysis tests: messages written and scanned the way
// the POP3 client does it, fixture files, and a QuarantineEvents that records what the
// bounce and reply checks report.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/message_record.h"
#include "validation/quarantine_events.h"

namespace pelrion::validation::arrival_testing {

// text with every LF that is not already preceded by CR turned into CR LF.
std::string Crlf(std::string_view text);

// Writes `bytes` to `path`, then feeds the file's lines (each ended after its LF) to a
// MimeScanner with the offset after each line, as the download does, and builds the part
// table. The record's summary holds the header length (-1 when the header block never
// ended), body line count, file size and part table; its id is 0.
std::unique_ptr<store::MessageRecord> WriteAndScan(const std::string& path, std::string_view bytes,
                                                   const std::string& temp_folder);
// The same into an existing record (one whose file the store created), leaving its id.
void WriteAndScanInto(const std::string& path, std::string_view bytes,
                      const std::string& temp_folder, store::MessageRecord& record);

// The bytes of tests/fixtures/arrival/<name>; fails the test when unreadable.
std::string ReadArrivalFixture(std::string_view name);

// `text` with every occurrence of `placeholder` replaced by `value`.
std::string Substitute(std::string text, std::string_view placeholder, std::string_view value);

class RecordingEvents : public QuarantineEvents {
 public:
  struct Bounce {
    std::string address;
    std::int32_t number = 0;
  };
  struct Reply {
    std::string address;
    std::int32_t number = 0;
    std::string text;
  };

  void RequestBounced(const std::string& address, std::int32_t number) override {
    bounces.push_back({address, number});
  }
  void AuthorizationReplyReceived(const std::string& address, std::int32_t number,
                                  std::string_view text) override {
    replies.push_back({address, number, std::string(text)});
  }

  std::vector<Bounce> bounces;
  std::vector<Reply> replies;
};

}  // namespace pelrion::validation::arrival_testing
