// Composes authorization requests from arbitrary facts and templates and checks what must
// hold for any input: every line ends in CR LF, no line starts with a full stop, the header
// block has exactly the nine fixed fields (folded where long, no header line over 998
// bytes), the signature verifies against the unfolded Subject, and the Sender-ID tag reads
// back the sender address and number.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mailformat/ascii.h"
#include "validation/authorization_request.h"
#include "validation/request_marks.h"
#include "validation/request_output.h"

namespace {

using namespace pelrion;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string WithoutWhiteSpace(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (!mailformat::ascii::IsSpace(c)) out += c;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  core::Preferences preferences;
  preferences.from = input.ConsumeIntegralInRange<std::uint32_t>(0, 4);
  preferences.charset_reply = input.ConsumeIntegralInRange<std::uint32_t>(0, 30);
  preferences.charset_captcha = input.ConsumeIntegralInRange<std::uint32_t>(0, 30);
  const bool captcha = input.ConsumeBool();
  validation::RequestFacts facts;
  facts.request_number = input.ConsumeIntegral<std::int32_t>();
  facts.authorization_code = captcha ? input.ConsumeIntegral<std::int32_t>() | 1 : 0;
  facts.sender_address = input.ConsumeRandomLengthString(300);
  facts.sender_name = input.ConsumeRandomLengthString(300);
  facts.sender_name_decoded = input.ConsumeRandomLengthString(300);
  facts.subject = input.ConsumeRandomLengthString(1200);
  facts.user_email = input.ConsumeRandomLengthString(300);
  facts.user_name = input.ConsumeRandomLengthString(300);
  for (auto& kinds : preferences.template_texts) {
    for (std::string& text : kinds) text = input.ConsumeRandomLengthString(2000);
  }

  validation::StringRequestOutput output;
  validation::ComposeAuthorizationRequest(facts, output, preferences);
  const std::string& request = output.text();

  // Lines: CR only before LF, LF only after CR, no full stop at a line start.
  Check(request.size() >= 2 && request.compare(request.size() - 2, 2, "\r\n") == 0);
  for (std::size_t i = 0; i < request.size(); ++i) {
    if (request[i] == '\r') Check(i + 1 < request.size() && request[i + 1] == '\n');
    if (request[i] == '\n') Check(i > 0 && request[i - 1] == '\r');
    if (i == 0 || request[i - 1] == '\n') Check(request[i] != '.');
  }

  // Header block: the fixed field names in order, each field possibly folded (a line
  // starting with a blank continues the field; unfolding removes only the CR LF), and no
  // header line passing 998 bytes.
  static constexpr std::string_view kNames[] = {
      "Date: ",       "From: ",          "To: ",           "Subject: ",     "X-KVX-Signature: ",
      "Message-id: ", "X-KVX-AuthReq: ", "MIME-Version: ", "Content-Type: "};
  std::size_t line_start = 0;
  std::string subject;
  std::string signature;
  for (std::string_view name : kNames) {
    std::string field;
    do {
      const std::size_t end = request.find("\r\n", line_start);
      Check(end != std::string::npos);
      Check(end - line_start <= 998);
      field.append(request, line_start, end - line_start);
      line_start = end + 2;
    } while (line_start < request.size() &&
             (request[line_start] == ' ' || request[line_start] == '\t'));
    Check(field.compare(0, name.size(), name) == 0);
    if (name == "Subject: ") subject = field.substr(name.size());
    if (name == "X-KVX-Signature: ") signature = field.substr(name.size());
  }
  Check(request.compare(line_start, 2, "\r\n") == 0);
  Check(validation::VerifySignature(subject, signature));

  // The tag reads back unless the subject itself brought an earlier tag opening.
  const std::string compact = WithoutWhiteSpace(subject);
  const std::size_t tag = compact.find("[Sender-ID=");
  const std::string sent_address = facts.sender_address.substr(0, facts.sender_address.find('\0'));
  if (tag != std::string::npos && tag == compact.rfind("[Sender-ID=") &&
      facts.request_number != 0 && static_cast<std::uint32_t>(facts.request_number) != UINT32_MAX) {
    const validation::SenderIdTag read = validation::ParseSenderIdTag(subject);
    Check(read.decoded);
    Check(read.address == sent_address);
    Check(read.number == static_cast<std::uint32_t>(facts.request_number));
  }
  return 0;
}
