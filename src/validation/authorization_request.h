// The authorization request: the e-mail that asks an unknown sender to reply, plainly (Reply
// layout, authorization code 0) or quoting the code shown in a GIF image (CAPTCHA layout).
// It carries the program's marks: the Sender-ID subject tag, the X-KVX-Signature and
// X-KVX-AuthReq fields and the program's own Message-id form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/preferences.h"
#include "validation/request_facts.h"
#include "validation/request_output.h"

namespace pelrion::validation {

// A subject tag of this many characters or more is made again from the first
// kShortSubjectLength characters of the subject and "...", so the Subject line stays short.
inline constexpr std::size_t kLongSubjectTag = 990;
inline constexpr std::size_t kShortSubjectLength = 80;

inline constexpr std::string_view kCaptchaImagePlaceholder = "[CAPTCHA_IMAGE]";
inline constexpr std::string_view kCaptchaAttachmentName = "Authorization Code.gif";

// Writes the whole request (header fields, then the body of the layout the authorization
// code selects) to output, each piece as soon as it is formatted. Uses the "from" setting,
// the method's charset row and the template texts of preferences; draws the Message-id and
// boundary numbers from the process-wide generators and stamps the current time
// (platform::Now). Failures of output propagate unchanged.
void ComposeAuthorizationRequest(const RequestFacts& facts, RequestOutput& output,
                                 const core::Preferences& preferences);

// Replaces every "[LOCAL_USER_NAME]", then every "[LOCAL_EMAIL]", "[REMOTE_USER_NAME]" and
// "[REMOTE_EMAIL]" with the user's name and address and the sender's decoded name and
// address. Each pass works on the result of the one before; inserted text is not searched
// again by the pass that inserted it.
std::string FillPlaceholders(std::string_view text, const RequestFacts& facts);
// The same for an HTML template: every value is escaped first (EscapeHtml). The sender's
// name and address come from the received message, which anyone can forge, and the
// request goes out from the user's own address.
std::string FillHtmlPlaceholders(std::string_view text, const RequestFacts& facts);

// text with "&", "<", ">" and '"' written as "&amp;", "&lt;", "&gt;" and "&quot;".
std::string EscapeHtml(std::string_view text);

// The Subject of the request: the subject tag of the subject, the sender address and the
// request number, made from a shortened subject when it is kLongSubjectTag long or longer.
// Carriage returns, line feeds and zero bytes of the subject become spaces first. When the
// Subject line would still pass 998 bytes (a long sender address), every word longer than
// 76 bytes gets a blank after each 76 bytes, so the line can be folded; the Subject field
// is then written folded, and unfolds to exactly this text.
std::string RequestSubject(const RequestFacts& facts);

// The display name of the From field for a "from" setting (0 the program, 1 the user,
// 2 the program on behalf of the user; any other value as 0): quoted where needed when it
// is 7-bit, else RFC 2047 encoded.
std::string RequestFromName(std::uint32_t from, std::string_view user_name);

}  // namespace pelrion::validation
