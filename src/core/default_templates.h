// The built-in authorization-request templates and their default file names. They are
// written in iso-8859-1 (the default charset table row) and use the placeholders [LOCAL_USER_NAME]
// and, in the CAPTCHA HTML body, [CAPTCHA_IMAGE], which the request composer fills.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelrion::core {

// Sender-validation method; the numbers are the stored "method" values.
enum class ValidationMethod : std::uint32_t { kReply = 0, kCaptcha = 1 };
// The two bodies of a request.
enum class TemplateKind { kPlainText = 0, kHtml = 1 };

inline constexpr std::string_view kHelpPageReply = "https://www.pelrion.org/help/reply.html";
inline constexpr std::string_view kHelpPageCaptcha = "https://www.pelrion.org/help/captcha.html";
inline constexpr std::string_view kProductWebAddress = "https://www.pelrion.org/";

// The built-in text: plain text with CR LF line ends, or an HTML 4.0 document whose
// source lines are wrapped with CR LF. Static storage.
std::string_view DefaultTemplateText(ValidationMethod method, TemplateKind kind);

// "reply.txt", "captcha.txt", "reply.htm" or "captcha.htm".
std::string_view DefaultTemplateFileName(ValidationMethod method, TemplateKind kind);

}  // namespace pelrion::core
