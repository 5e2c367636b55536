#include "validation/arrival_analysis.h"

#include <new>
#include <optional>
#include <string_view>

#include "mailformat/header_block.h"
#include "store/store_file.h"
#include "validation/delivery_report.h"
#include "validation/pelrion_marks.h"
#include "validation/summary_fields.h"

namespace pelrion::validation {

namespace {

// The first `length` bytes of the message file (fewer when the file is shorter). nullopt
// when they cannot be held in memory; an unreadable file is a database error.
std::optional<std::string> ReadHeaderBlock(const std::string& path, std::size_t length) {
  std::string block;
  try {
    block.resize(length);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  const std::optional<store::StoreFile> file =
      store::StoreFile::Open(path, store::OpenMode::kReadOnly);
  if (!file) store::DatabaseError();
  block.resize(store::ReadAtOrDie(*file, 0, block.data(), block.size()));
  return block;
}

std::string MessageIdOf(const mailformat::HeaderList& headers) {
  return mailformat::FindHeader(headers, "Message-id", true).value_or(std::string());
}

}  // namespace

std::string MessageIdOfHeaderBlock(std::string block) {
  mailformat::UnfoldHeaderBlock(block);
  return MessageIdOf(mailformat::SplitHeaderBlock(block));
}

bool AnalyseMessage(store::MessageRecord& message, const std::string& message_path,
                    const std::string& temp_folder, ClassificationInput& input,
                    std::string& message_id) {
  store::MessageSummary& summary = message.summary;
  if (summary.header_length < 0) return false;
  std::optional<std::string> block =
      ReadHeaderBlock(message_path, static_cast<std::size_t>(summary.header_length));
  if (!block) return false;
  mailformat::UnfoldHeaderBlock(*block);
  const mailformat::HeaderList headers = mailformat::SplitHeaderBlock(*block);

  input = ClassificationInput();
  DeliveryReport& report = input.report;
  report.is_delivery_status_notification =
      IsDeliveryStatusNotification(headers, summary.part_table());
  if (report.is_delivery_status_notification) {
    CollectReturnedContent(summary.part_table(), message_path, temp_folder, report);
  }

  message_id = MessageIdOf(headers);
  ReadSummaryFields(headers, summary);

  PelrionMarks marks = ReadPelrionMarks(headers, summary.subject(), message_id);
  input.is_authorization_request = marks.is_authorization_request;
  input.signed_by_pelrion = marks.signed_by_pelrion;
  input.installation_mark = std::move(marks.installation_mark);
  return true;
}

}  // namespace pelrion::validation
