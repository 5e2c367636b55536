#include "ui/message_properties_fields.h"

#include <ctime>
#include <fstream>

#include "mailformat/addresses.h"
#include "mailformat/header_block.h"
#include "mailformat/size_text.h"
#include "ui/message_list_columns.h"
#include "validation/message_status.h"

namespace pelrion::ui {
namespace {

// A header block larger than this is not a real one; only its start is read.
constexpr std::int32_t kMaxHeaderRead = 1 << 20;

std::string ReadHeaderBlock(const std::string& message_path, std::int32_t header_length) {
  std::ifstream file(message_path, std::ios::binary);
  if (!file) return {};
  const std::int32_t length =
      header_length < 0 || header_length > kMaxHeaderRead ? kMaxHeaderRead : header_length;
  std::string block(static_cast<std::size_t>(length), '\0');
  file.read(block.data(), length);
  block.resize(static_cast<std::size_t>(file.gcount()));
  return block;
}

}  // namespace

std::string SenderText(const std::string& message_path, std::int32_t header_length) {
  std::string block = ReadHeaderBlock(message_path, header_length);
  mailformat::UnfoldHeaderBlock(block);
  const mailformat::HeaderList headers = mailformat::SplitHeaderBlock(block);
  for (const char* field : {"From", "Sender"}) {
    const std::optional<std::string> value = mailformat::FindHeader(headers, field, true);
    if (!value) continue;
    const mailformat::ParsedAddressList list = mailformat::ParseAddressList(*value, true);
    if (list.size() != 0) return mailformat::JoinNameAddressList(list);
  }
  return {};
}

MessageGeneralFields GeneralFieldsOf(const store::MessageRecord& record,
                                     const std::string& message_path) {
  const store::MessageSummary& summary = record.summary;
  MessageGeneralFields fields;
  fields.subject = summary.subject_decoded();
  fields.title = fields.subject.empty() ? "[No Subject]" : fields.subject;
  fields.sender = SenderText(message_path, summary.header_length);
  fields.location = store::FolderName(record.folder());
  fields.size = mailformat::FormatSizeKb(summary.file_size);
  fields.sent = ListDateText(summary.sent);
  fields.received = ListDateText(summary.received);
  fields.status = validation::MessageStatusText(record.status);
  if (record.folder() == store::Folder::kQuarantine) {
    fields.request_sent =
        record.request_sent_time != 0 ? ListDateText(record.request_sent_time) : "[Pending]";
  }
  return fields;
}

}  // namespace pelrion::ui
