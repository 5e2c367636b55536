#include "validation/authorization_request.h"

#include <cstdio>

#include "core/default_templates.h"
#include "mailformat/addresses.h"
#include "mailformat/base64.h"
#include "mailformat/encoded_words.h"
#include "mailformat/mail_date.h"
#include "mailformat/mime_identifiers.h"
#include "mailformat/quoted_printable.h"
#include "platform/clock.h"
#include "platform/host_name.h"
#include "platform/random.h"
#include "validation/captcha.h"
#include "validation/request_marks.h"

namespace pelrion::validation {

namespace {

using core::TemplateKind;
using core::ValidationMethod;

constexpr std::string_view kProductName = "Pelrion";
// The longest line mail may carry, without its CR LF; folded lines aim at the usual width.
constexpr std::size_t kMaxLineLength = 998;
constexpr std::size_t kFoldWidth = 78;
constexpr std::string_view kSubjectFieldPrefix = "Subject: ";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kPreamble = "This is a multi-part message in MIME format.\r\n";

// Text that goes into a header line must not end it early: a CR or LF taken from a received
// message would otherwise start a line of its own (another header field, or a line that
// the SMTP server reads as the end of the data). Zero bytes would cut the text for C readers.
std::string OneLine(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  return out;
}

// Template files are held with LF line ends while the built-in texts use CR LF. The
// quoted-printable encoder keeps only CR LF as a line end (a lone LF would become "=0A"),
// so every LF not already preceded by CR gets one before encoding. A lone CR stays as it
// is and is encoded.
std::string WithCrLfLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32 + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

// Every occurrence of from replaced by to, scanning left to right; returns the count.
std::size_t ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::size_t count = 0;
  std::string out;
  std::size_t pos = 0;
  for (std::size_t hit = text.find(from); hit != std::string::npos; hit = text.find(from, pos)) {
    if (count == 0) out.reserve(text.size() + to.size());
    out.append(text, pos, hit - pos);
    out += to;
    pos = hit + from.size();
    ++count;
  }
  if (count == 0) return 0;
  out.append(text, pos, std::string::npos);
  text = std::move(out);
  return count;
}

std::string Hex8(std::uint32_t value) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(value));
  return std::string(digits, 8);
}

std::string WithoutTrailingPads(std::string text) {
  while (!text.empty() && text.back() == '=') text.pop_back();
  return text;
}

// The program's own form: dotted pairs R (no value) and S (the signature without padding),
// then the random value and the time, then the host.
std::string RequestMessageId(std::string_view signature) {
  const std::uint32_t random = platform::Random32();
  const auto now = static_cast<std::uint32_t>(platform::Now());
  return "<KVX.R.S-" + WithoutTrailingPads(std::string(signature)) + "." + Hex8(random) +
         Hex8(now) + "@" + platform::HostName() + ">";
}

// A line longer than the limit folded before blanks (CR LF inserted, the blank kept, so
// unfolding gives the line back byte for byte), each piece kFoldWidth bytes where the
// blanks allow; a shorter line as it is. Ends with CR LF.
std::string FoldedLine(std::string_view line) {
  std::string out;
  std::size_t start = 0;
  if (line.size() > kMaxLineLength) {
    while (line.size() - start > kFoldWidth) {
      std::size_t cut = line.rfind(' ', start + kFoldWidth);
      if (cut == std::string_view::npos || cut <= start) cut = line.find(' ', start + 1);
      if (cut == std::string_view::npos) break;
      out.append(line, start, cut - start);
      out += kCrLf;
      start = cut;
    }
  }
  out.append(line, start);
  out += kCrLf;
  return out;
}

void WriteHeader(RequestOutput& output, std::string_view name, std::string_view value) {
  std::string line;
  line.reserve(name.size() + value.size() + 2);
  line += name;
  line += ": ";
  line += value;
  output.Write(FoldedLine(line));
}

// text with a blank put into every run of non-blank bytes after each `piece` bytes of it.
// Used on a subject tag too long for one line: the only word that can be that long is the
// Sender-ID token, and the tag reader drops white space, so the token still reads whole.
std::string BreakLongWords(std::string_view text, std::size_t piece) {
  std::string out;
  out.reserve(text.size() + text.size() / piece + 1);
  std::size_t run = 0;
  for (char c : text) {
    if (c == ' ') {
      run = 0;
    } else if (run++ == piece) {
      out += ' ';
      run = 1;
    }
    out += c;
  }
  return out;
}

// The sender's name as written with the address, or the bare address. A name that would
// make the line longer than SMTP allows is left out: the server would refuse the request
// again at every mail cycle.
std::string ToFieldValue(const std::string& name, const std::string& address) {
  const std::size_t line_length =
      std::string_view("To: ").size() + name.size() + 2 + address.size() + 1;
  if (name.empty() || line_length > kMaxLineLength) return address;
  return name + " <" + address + ">";
}

void WriteHeaderFields(const RequestFacts& facts, RequestOutput& output,
                       const core::Preferences& preferences) {
  WriteHeader(output, "Date",
              mailformat::FormatMailDate(static_cast<std::time_t>(platform::Now())));
  WriteHeader(output, "From",
              RequestFromName(preferences.from, OneLine(facts.user_name)) + " <" +
                  OneLine(facts.user_email) + ">");
  const std::string sender_name = OneLine(facts.sender_name);
  const std::string sender_address = OneLine(facts.sender_address);
  WriteHeader(output, "To", ToFieldValue(sender_name, sender_address));
  const std::string subject = RequestSubject(facts);
  WriteHeader(output, "Subject", subject);
  const std::string signature = SignSubject(subject);
  WriteHeader(output, kSignatureFieldName, signature);
  WriteHeader(output, "Message-id", RequestMessageId(signature));
  WriteHeader(output, kAuthRequestFieldName, "1");
  WriteHeader(output, "MIME-Version", "1.0");
}

std::string Delimiter(std::string_view boundary) {
  return "\r\n--" + std::string(boundary) + "\r\n";
}

std::string CloseDelimiter(std::string_view boundary) {
  return "\r\n--" + std::string(boundary) + "--\r\n";
}

// The body of a template as it is sent: CR LF line ends, placeholders filled (escaped for
// HTML in the HTML templates).
std::string FilledTemplate(const core::Preferences& preferences, ValidationMethod method,
                           TemplateKind kind, const RequestFacts& facts) {
  const std::string text = WithCrLfLineEnds(core::TemplateText(preferences, method, kind));
  return kind == TemplateKind::kHtml ? FillHtmlPlaceholders(text, facts)
                                     : FillPlaceholders(text, facts);
}

struct PlaceholderValues {
  std::string_view user_name;
  std::string_view user_email;
  std::string_view sender_name;
  std::string_view sender_address;
};

std::string FillPlaceholderValues(std::string_view text, const PlaceholderValues& values) {
  std::string out(text);
  ReplaceAll(out, "[LOCAL_USER_NAME]", values.user_name);
  ReplaceAll(out, "[LOCAL_EMAIL]", values.user_email);
  ReplaceAll(out, "[REMOTE_USER_NAME]", values.sender_name);
  ReplaceAll(out, "[REMOTE_EMAIL]", values.sender_address);
  return out;
}

void WriteTextPart(RequestOutput& output, std::string_view subtype, std::string_view charset,
                   std::string_view body) {
  output.Write("Content-Type: text/" + std::string(subtype) + "; charset=" + std::string(charset) +
               "\r\n");
  output.Write("Content-Transfer-Encoding: quoted-printable\r\n");
  output.Write(kCrLf);
  output.Write(mailformat::QuotedPrintableEncode(body));
}

void WriteMultipartStart(RequestOutput& output, std::string_view subtype, std::string_view boundary,
                         std::string_view extra) {
  output.Write("Content-Type: multipart/" + std::string(subtype) + "; boundary=\"" +
               std::string(boundary) + "\"" + std::string(extra) + "\r\n");
  output.Write(kCrLf);
}

void WriteReplyLayout(const RequestFacts& facts, RequestOutput& output,
                      const core::Preferences& preferences) {
  int counter = 0;
  const std::string alternative = mailformat::MakeBoundary(counter);
  const std::string_view charset = core::CharsetName(preferences, ValidationMethod::kReply);

  WriteMultipartStart(output, "alternative", alternative, "");
  output.Write(kPreamble);
  output.Write(Delimiter(alternative));
  WriteTextPart(
      output, "plain", charset,
      FilledTemplate(preferences, ValidationMethod::kReply, TemplateKind::kPlainText, facts));
  output.Write(Delimiter(alternative));
  WriteTextPart(output, "html", charset,
                FilledTemplate(preferences, ValidationMethod::kReply, TemplateKind::kHtml, facts));
  output.Write(CloseDelimiter(alternative));
}

void WriteCaptchaLayout(const RequestFacts& facts, RequestOutput& output,
                        const core::Preferences& preferences) {
  const std::string image_lines =
      mailformat::Base64EncodeLines(RenderCaptcha(facts.authorization_code).gif);
  const std::string content_id = mailformat::MakeContentId("IMG");
  int counter = 0;
  const std::string mixed = mailformat::MakeBoundary(counter);
  const std::string related = mailformat::MakeBoundary(counter);
  const std::string alternative = mailformat::MakeBoundary(counter);
  const std::string_view charset = core::CharsetName(preferences, ValidationMethod::kCaptcha);

  WriteMultipartStart(output, "mixed", mixed, "");
  output.Write(kPreamble);
  output.Write(Delimiter(mixed));
  WriteMultipartStart(output, "related", related, "; type=\"multipart/alternative\"");
  output.Write(Delimiter(related));
  WriteMultipartStart(output, "alternative", alternative, "");
  output.Write(Delimiter(alternative));

  // The plain text gets no image: a placeholder in it stays as written.
  WriteTextPart(
      output, "plain", charset,
      FilledTemplate(preferences, ValidationMethod::kCaptcha, TemplateKind::kPlainText, facts));
  output.Write(Delimiter(alternative));
  std::string html =
      FilledTemplate(preferences, ValidationMethod::kCaptcha, TemplateKind::kHtml, facts);
  const bool image_shown =
      ReplaceAll(html, kCaptchaImagePlaceholder, "<IMG src=\"cid:" + content_id + "\">") > 0;
  WriteTextPart(output, "html", charset, html);

  if (image_shown) {
    output.Write(Delimiter(alternative));
    output.Write("Content-ID: <" + content_id + ">\r\n");
    output.Write("Content-Type: image/gif\r\n");
    output.Write("Content-Transfer-Encoding: base64\r\n");
    output.Write("Content-Disposition: inline\r\n");
    output.Write(kCrLf);
    output.Write(image_lines);
  }
  output.Write(CloseDelimiter(alternative));
  output.Write(CloseDelimiter(related));

  output.Write(Delimiter(mixed));
  output.Write("Content-Type: image/gif; name=\"" + std::string(kCaptchaAttachmentName) + "\"\r\n");
  output.Write("Content-Transfer-Encoding: base64\r\n");
  output.Write("Content-Disposition: attachment; filename=\"" +
               std::string(kCaptchaAttachmentName) + "\"\r\n");
  output.Write(kCrLf);
  output.Write(image_lines);
  output.Write(CloseDelimiter(mixed));
}

}  // namespace

std::string FillPlaceholders(std::string_view text, const RequestFacts& facts) {
  return FillPlaceholderValues(
      text, {facts.user_name, facts.user_email, facts.sender_name_decoded, facts.sender_address});
}

std::string FillHtmlPlaceholders(std::string_view text, const RequestFacts& facts) {
  const std::string user_name = EscapeHtml(facts.user_name);
  const std::string user_email = EscapeHtml(facts.user_email);
  const std::string sender_name = EscapeHtml(facts.sender_name_decoded);
  const std::string sender_address = EscapeHtml(facts.sender_address);
  return FillPlaceholderValues(text, {user_name, user_email, sender_name, sender_address});
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string RequestSubject(const RequestFacts& facts) {
  const std::string subject = OneLine(facts.subject);
  const auto number = static_cast<std::uint32_t>(facts.request_number);
  std::string tag = FormatSubjectTag(subject, facts.sender_address, number);
  if (tag.size() >= kLongSubjectTag) {
    tag = FormatSubjectTag(subject.substr(0, kShortSubjectLength) + "...", facts.sender_address,
                           number);
  }
  // A long sender address still makes a tag too long for one line; it is then given blanks
  // to be folded at. The signature covers the text with them, as the receiver unfolds it.
  if (kSubjectFieldPrefix.size() + tag.size() > kMaxLineLength) {
    tag = BreakLongWords(tag, kFoldWidth - 2);
  }
  return tag;
}

std::string RequestFromName(std::uint32_t from, std::string_view user_name) {
  std::string name;
  if (from == 1) {
    name = user_name;
  } else if (from == 2) {
    name = std::string(kProductName) + " on behalf of " + std::string(user_name);
  } else {
    name = kProductName;
  }
  return mailformat::IsSevenBit(name) ? mailformat::QuotePhraseIfNeeded(name)
                                      : mailformat::EncodeHeaderText(name);
}

void ComposeAuthorizationRequest(const RequestFacts& facts, RequestOutput& output,
                                 const core::Preferences& preferences) {
  WriteHeaderFields(facts, output, preferences);
  if (facts.authorization_code == 0) {
    WriteReplyLayout(facts, output, preferences);
  } else {
    WriteCaptchaLayout(facts, output, preferences);
  }
}

}  // namespace pelrion::validation
