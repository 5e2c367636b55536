#include "core/default_templates.h"

namespace pelrion::core {
namespace {

// Every line below ends in CR LF, as mail bodies do. The addresses are spelled out
// rather than spliced from the constants so that each text stays one literal.

constexpr std::string_view kReplyPlain =
    "You are receiving this message because of a message you sent to [LOCAL_USER_NAME].\r\n"
    "\r\n"
    "[LOCAL_USER_NAME] is protected by Pelrion. As such he/she only accepts e-mail from "
    "authenticated users. This is to insure that messages from automated spammers cannot get "
    "through.\r\n"
    "\r\n"
    "In order for your message to be delivered, you will need to reply to this message. You "
    "will only need to do this once.\r\n"
    "\r\n"
    "Please follow the instructions below:\r\n"
    "\r\n"
    "In your e-mail program\r\n"
    "\r\n"
    "1. Click Reply.\r\n"
    "2. Click Send.\r\n"
    "\r\n"
    "Note: Please do not alter the Sender-ID block, enclosed between brackets '[' and ']' in "
    "the e-mail subject.\r\n"
    "\r\n"
    "Online Help is available at: https://www.pelrion.org/help/reply.html.\r\n"
    "\r\n"
    "Pelrion\r\n"
    "https://www.pelrion.org/\r\n"
    "\r\n";

constexpr std::string_view kCaptchaPlain =
    "You are receiving this message because of a message you sent to [LOCAL_USER_NAME].\r\n"
    "\r\n"
    "[LOCAL_USER_NAME] is protected by Pelrion. As such he/she only accepts e-mail from "
    "authenticated users. This is to insure that messages from automated spammers cannot get "
    "through.\r\n"
    "\r\n"
    "In order for your message to be delivered, you will need to authorize yourself. You will "
    "only need to do this once.\r\n"
    "\r\n"
    "Please follow the instructions below:\r\n"
    "\r\n"
    "In your e-mail program\r\n"
    "\r\n"
    "1. Open the attachment named 'Authorization Code.gif'. It contains a 6-digit "
    "Authorization Code.\r\n"
    "2. Click Reply.\r\n"
    "3. Type the Authorization Code in the reply message body.\r\n"
    "4. Click Send.\r\n"
    "\r\n"
    "Note: Please do not alter the Sender-ID block, enclosed between brackets '[' and ']' in "
    "the e-mail subject.\r\n"
    "\r\n"
    "Online Help is available at: https://www.pelrion.org/help/captcha.html.\r\n"
    "\r\n"
    "Pelrion\r\n"
    "https://www.pelrion.org/\r\n"
    "\r\n";

constexpr std::string_view kReplyHtml =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
    "<HTML><HEAD>\r\n"
    "<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">\r\n"
    "<STYLE></STYLE>\r\n"
    "</HEAD>\r\n"
    "<BODY><FONT face=\"Courier New\" size=2>\r\n"
    "<DIV>You are receiving this message because of a message you sent to\r\n"
    "[LOCAL_USER_NAME].</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>[LOCAL_USER_NAME] is protected by Pelrion. As such he/she only accepts\r\n"
    "e-mail from authenticated users. This is to insure that messages from automated\r\n"
    "spammers cannot get through.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>In order for your message to be delivered, you will need to reply to this\r\n"
    "message. You will only need to do this once.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Please follow the instructions below:</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>In your e-mail program</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>1. Click Reply.<BR>2. Click Send.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Note: Please do not alter the Sender-ID block, enclosed between brackets\r\n"
    "'[' and ']' in the e-mail subject.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Online Help is available <A\r\n"
    "href=\"https://www.pelrion.org/help/reply.html\">here</A>.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Pelrion<BR><A\r\n"
    "href=\"https://www.pelrion.org/\">https://www.pelrion.org/</A></DIV>\r\n"
    "</FONT></BODY></HTML>\r\n";

constexpr std::string_view kCaptchaHtml =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\r\n"
    "<HTML><HEAD>\r\n"
    "<META http-equiv=Content-Type content=\"text/html; charset=iso-8859-1\">\r\n"
    "<STYLE></STYLE>\r\n"
    "</HEAD>\r\n"
    "<BODY><FONT face=\"Courier New\" size=2>\r\n"
    "<DIV>You are receiving this message because of a message you sent to\r\n"
    "[LOCAL_USER_NAME].</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>[LOCAL_USER_NAME] is protected by Pelrion. As such he/she only accepts\r\n"
    "e-mail from authenticated users. This is to insure that messages from automated\r\n"
    "spammers cannot get through.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>In order for your message to be delivered, you will need to authorize\r\n"
    "yourself. You will only need to do this once.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Please follow the instructions below:</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>In your e-mail program</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>1. Click Reply.<BR>2. Type the Authorization Code in the reply message\r\n"
    "body.<BR>3. Click Send.<BR>&nbsp;<BR>Your Authorization Code:<BR>&nbsp;<BR>\r\n"
    "[CAPTCHA_IMAGE]<BR>&nbsp;<BR>(If the image is not shown, open the attachment\r\n"
    "named 'Authorization Code.gif'.)</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Note: Please do not alter the Sender-ID block, enclosed between brackets\r\n"
    "'[' and ']' in the e-mail subject.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Online Help is available <A\r\n"
    "href=\"https://www.pelrion.org/help/captcha.html\">here</A>.</DIV>\r\n"
    "<DIV>&nbsp;</DIV>\r\n"
    "<DIV>Pelrion<BR><A\r\n"
    "href=\"https://www.pelrion.org/\">https://www.pelrion.org/</A></DIV>\r\n"
    "</FONT></BODY></HTML>\r\n";

}  // namespace

std::string_view DefaultTemplateText(ValidationMethod method, TemplateKind kind) {
  const bool captcha = method == ValidationMethod::kCaptcha;
  if (kind == TemplateKind::kHtml) return captcha ? kCaptchaHtml : kReplyHtml;
  return captcha ? kCaptchaPlain : kReplyPlain;
}

std::string_view DefaultTemplateFileName(ValidationMethod method, TemplateKind kind) {
  const bool captcha = method == ValidationMethod::kCaptcha;
  if (kind == TemplateKind::kHtml) return captcha ? "captcha.htm" : "reply.htm";
  return captcha ? "captcha.txt" : "reply.txt";
}

}  // namespace pelrion::core
