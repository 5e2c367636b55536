#include "transport/smtp_header_stamp.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "mailformat/addresses.h"
#include "mailformat/header_block.h"
#include "validation/request_marks.h"

namespace pelrion::transport {
namespace {

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (std::size_t found; (found = text.find(from, at)) != std::string::npos;
       at = found + from.size()) {
    out.append(text, at, found - at);
    out.append(to);
  }
  out.append(text, at);
  text = std::move(out);
}

// Every folded field becomes one line; each tab left in the block marks where a fold was.
void UnfoldKeepingFolds(std::string& block) {
  std::replace(block.begin(), block.end(), '\t', ' ');
  ReplaceAll(block, "\r\n ", "\t");
}

void RefoldAtTabs(std::string& block) { ReplaceAll(block, "\t", "\r\n "); }

// Before the block's final CR LF, the one of its empty last line.
void InsertBeforeEnd(std::string& block, std::string_view name, std::string_view value) {
  const std::size_t end = block.size() >= 2 ? block.size() - 2 : 0;
  block.insert(end, std::string(name) + ": " + std::string(value) + "\r\n");
}

std::string SubjectOf(const mailformat::HeaderList& headers) {
  std::string subject = mailformat::FindHeader(headers, "Subject", true).value_or("");
  std::replace(subject.begin(), subject.end(), '\t', ' ');
  return subject;
}

std::string MessageIdLine(const StampValues& values, std::string signature) {
  while (!signature.empty() && signature.back() == '=') signature.pop_back();
  char numbers[17];
  std::snprintf(numbers, sizeof numbers, "%08X%08X", values.random, values.seconds);
  return "Message-id: <KVX.U-" + values.installation_id + ".S-" + signature + "." + numbers +
         "@" + values.host_name + ">\r\n";
}

// The line of the field named exactly `name` (as written), through its LF. The colon is part
// of the match, so a longer name that begins the same ("Message-IDs") is left alone.
void EraseFieldLine(std::string& block, const std::string& name) {
  const std::string start_of_field = name + ":";
  std::size_t start = std::string::npos;
  if (block.starts_with(start_of_field)) {
    start = 0;
  } else if (const std::size_t lf = block.find("\n" + start_of_field); lf != std::string::npos) {
    start = lf + 1;
  }
  if (start == std::string::npos) return;
  const std::size_t lf = block.find('\n', start);
  block.erase(start, lf == std::string::npos ? std::string::npos : lf + 1 - start);
}

void AddRecipients(const mailformat::HeaderList& headers, std::string_view field,
                   std::vector<RecipientToTrust>& recipients) {
  const auto value = mailformat::FindHeader(headers, field, true);
  if (!value) return;
  const mailformat::ParsedAddressList list = mailformat::ParseAddressList(*value, true);
  for (std::size_t i = list.size(); i-- > 0;) {
    if (!list.addresses[i].empty()) recipients.push_back({list.names[i], list.addresses[i]});
  }
}

}  // namespace

StampedHeader StampHeaderBlock(std::string block, const StampValues& values) {
  UnfoldKeepingFolds(block);
  const mailformat::HeaderList headers = mailformat::SplitHeaderBlock(block);

  const std::string signature = validation::SignSubject(SubjectOf(headers));
  InsertBeforeEnd(block, validation::kSignatureFieldName, signature);

  const std::ptrdiff_t old_id = mailformat::FindString(headers.names, "Message-id", true);
  if (old_id >= 0) EraseFieldLine(block, headers.names[static_cast<std::size_t>(old_id)]);
  block.insert(0, MessageIdLine(values, signature));
  InsertBeforeEnd(block, validation::kInstallationFieldName, values.installation_id);

  StampedHeader stamped;
  AddRecipients(headers, "To", stamped.recipients);
  AddRecipients(headers, "Cc", stamped.recipients);
  RefoldAtTabs(block);
  stamped.block = std::move(block);
  return stamped;
}

}  // namespace pelrion::transport
