// Authorization requests read back by the program's own MIME scanner, as an installation
// that receives one (or the user's mail client through the local server) would store it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "mailformat/message_text.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/part_decoder.h"
#include "support/temp_dir.h"
#include "validation/captcha.h"
#include "validation/request_test_helpers.h"

namespace pelrion::validation {
namespace {

using testing_support::Compose;
using testing_support::PreferencesWithTemplates;
using testing_support::SampleFacts;

constexpr std::int32_t kCode = 314159;

struct StoredRequest {
  std::string path;
  mailformat::PartTable table;
};

// Writes the request as a message file and scans it line by line, each line with the file
// offset after it, the way the download does.
StoredRequest StoreAndScan(const test_support::TempDir& dir, const std::string& request) {
  StoredRequest stored;
  stored.path = dir / "request.eml";
  std::ofstream(stored.path, std::ios::binary) << request;
  mailformat::MimeScanner scanner;
  for (std::size_t start = 0; start < request.size();) {
    std::size_t end = request.find('\n', start);
    end = end == std::string::npos ? request.size() : end + 1;
    scanner.FeedLine(std::string_view(request).substr(start, end - start),
                     static_cast<std::uint32_t>(end));
    start = end;
  }
  stored.table = mailformat::BuildPartTable(scanner, stored.path);
  return stored;
}

std::string Decoded(const StoredRequest& stored, const mailformat::PartEntry& part) {
  std::string buffer(part.decoded_size + 16, '\0');
  std::size_t placed = 0;
  EXPECT_TRUE(mailformat::DecodePartToMemory(part.body_offset, part.body_line_count, true,
                                             part.transfer_encoding, stored.path, buffer.data(),
                                             buffer.size(), placed));
  buffer.resize(placed);
  return buffer;
}

struct ParseBackRow {
  std::string name;
  std::int32_t code;
  std::string captcha_html;
  // Expected leaf parts as "type/subtype" in order.
  std::vector<std::string> types;
  // The decoded HTML body; "{cid}" stands for any content id. The scanner counts the empty
  // line before a boundary as the part's last line, so each text ends in one more CR LF.
  std::string html;
};

void PrintTo(const ParseBackRow& row, std::ostream* out) {
  *out << row.name;
}

class RequestParseBackTest : public testing::TestWithParam<ParseBackRow> {};

TEST_P(RequestParseBackTest, ScannerFindsEveryPartAndDecodesIt) {
  const ParseBackRow& row = GetParam();
  test_support::TempDir dir;
  const core::Preferences preferences =
      PreferencesWithTemplates("Hello [REMOTE_USER_NAME]\n.\n", "<b>[LOCAL_USER_NAME]</b>\n",
                               "Code: see image\n", row.captcha_html);
  const StoredRequest stored = StoreAndScan(dir, Compose(SampleFacts(row.code), preferences));

  EXPECT_NE(stored.table.mime, 0u);
  ASSERT_EQ(stored.table.parts.size(), row.types.size());
  for (std::size_t i = 0; i < row.types.size(); ++i) {
    SCOPED_TRACE(i);
    const mailformat::PartEntry& part = stored.table.parts[i];
    EXPECT_EQ(part.type + "/" + part.subtype, row.types[i]);
  }
  // The two texts are the message text; the attached picture is an attachment.
  EXPECT_EQ(stored.table.parts[0].attachment, 0u);
  EXPECT_EQ(stored.table.parts[1].attachment, 0u);
  EXPECT_EQ(stored.table.parts.back().attachment != 0, row.code != 0);

  const std::string plain = Decoded(stored, stored.table.parts[0]);
  EXPECT_EQ(plain, row.code == 0 ? "Hello Smith, John\r\n.\r\n\r\n" : "Code: see image\r\n\r\n");
  EXPECT_EQ(mailformat::ReadMessageText(stored.table, stored.path, 4096), plain);

  const std::string html = Decoded(stored, stored.table.parts[1]);
  const std::size_t cid_at = row.html.find("{cid}");
  if (cid_at == std::string::npos) {
    EXPECT_EQ(html, row.html);
  } else {
    ASSERT_EQ(html.size(), row.html.size() - 5 + 11);  // "IMG" and eight hex digits
    EXPECT_EQ(html.substr(0, cid_at), row.html.substr(0, cid_at));
    EXPECT_EQ(html.substr(cid_at, 3), "IMG");
    EXPECT_EQ(html.substr(cid_at + 11), row.html.substr(cid_at + 5));
  }

  if (row.code != 0) {
    const std::string gif = RenderCaptcha(row.code).gif;
    for (std::size_t i = 2; i < stored.table.parts.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(stored.table.parts[i].decoded_size, gif.size());
      EXPECT_EQ(Decoded(stored, stored.table.parts[i]), gif);
    }
    EXPECT_EQ(stored.table.parts.back().name, "Authorization Code.gif");
    EXPECT_EQ(plain.find(std::to_string(row.code)), std::string::npos);
    EXPECT_EQ(html.find(std::to_string(row.code)), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RequestParseBackTest,
    testing::Values(
        ParseBackRow{"Reply", 0, "", {"text/plain", "text/html"}, "<b>Jane Doe</b>\r\n\r\n"},
        ParseBackRow{"CaptchaInline",
                     kCode,
                     "<p>[CAPTCHA_IMAGE]</p>\n",
                     {"text/plain", "text/html", "image/gif", "image/gif"},
                     "<p><IMG src=\"cid:{cid}\"></p>\r\n\r\n"},
        ParseBackRow{"CaptchaAttachmentOnly",
                     kCode,
                     "<p>see the attachment</p>\n",
                     {"text/plain", "text/html", "image/gif"},
                     "<p>see the attachment</p>\r\n\r\n"}),
    [](const testing::TestParamInfo<ParseBackRow>& info) { return info.param.name; });

}  // namespace
}  // namespace pelrion::validation
