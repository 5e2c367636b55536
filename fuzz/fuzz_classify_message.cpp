// Classifies a message whose sender, returned header block, report text and installation
// mark are arbitrary bytes (NUL-separated in the input; the first byte picks the kind of
// message). Checks the status is one of the codes and the folder flags agree with it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/header_block.h"
#include "store/mail_account.h"
#include "store/message_record.h"
#include "validation/classification.h"

namespace {

std::vector<std::string> SplitAtNul(std::string_view bytes, std::size_t count) {
  std::vector<std::string> parts;
  while (parts.size() + 1 < count) {
    const std::size_t end = bytes.find('\0');
    if (end == std::string_view::npos) break;
    parts.emplace_back(bytes.substr(0, end));
    bytes.remove_prefix(end + 1);
  }
  parts.emplace_back(bytes);
  parts.resize(count);
  return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pelrion;
  if (size == 0) return 0;
  const std::uint8_t kind = data[0];
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::vector<std::string> parts = SplitAtNul(rest, 4);

  validation::ClassificationInput input;
  input.is_authorization_request = (kind & 0x01) != 0;
  input.report.is_delivery_status_notification = (kind & 0x02) != 0;
  input.report.returned_headers_found = (kind & 0x04) != 0;
  std::string block = parts[1];
  mailformat::UnfoldHeaderBlock(block);
  input.report.returned_headers = mailformat::SplitHeaderBlock(block);
  input.report.report_text_used = (kind & 0x08) != 0;
  input.report.report_text = parts[2];
  input.installation_mark = parts[3];

  validation::ClassificationContext context;
  context.installation_id = "USR00C0FFEE";
  context.challenge = (kind & 0x10) != 0 ? 0 : 1;
  const std::uint32_t lists = (kind >> 5) & 0x3;  // what the address lists answer
  context.lookup_address = [lists](std::string_view, std::uint32_t mask) { return lists & mask; };

  store::MailAccount account;
  account.email_address.Set("me@home.example");
  store::MessageRecord message;
  message.summary.set_sender_address(parts[0]);
  validation::ClassifyMessage(message, account, input, context);

  if (message.status < 1 || message.status > 12 || message.status == 2 || message.status == 3 ||
      message.status == 8) {
    std::abort();  // arrival never yields a user move, a sent request, expiry or a reply
  }
  const bool to_inbox =
      message.status == 7 || message.status == 9 || message.status == 10 || message.status == 12;
  const std::uint32_t want = message.status == 1 ? 0u : (to_inbox ? 0x03u : 0x01u);
  if (message.flags != want) std::abort();
  return 0;
}
