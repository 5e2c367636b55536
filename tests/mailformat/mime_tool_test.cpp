// pelrion-msg parts / decode / text, run as a program over stored message files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/quoted_printable.h"
#include "mime_test_helpers.h"
#include "support/run_command.h"

namespace pelrion::mailformat {
namespace {

using mimetest::Crlf;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

class MimeToolTest : public testing::Test {
 protected:
  RunResult Run(const std::vector<std::string>& args) {
    const std::string err_path = dir_.File("stderr");
    const test_support::RunResult run = test_support::RunCommand(
        test_support::ShellCommand(PELRION_MSG_BIN, args) + " 2>" +
        test_support::ShellQuote(err_path));
    return {run.status, run.out, mimetest::ReadFile(err_path)};
  }

  // A message file in the test folder.
  std::string Store(const std::string& name, const std::string& message) {
    const std::string path = dir_.File(name);
    mimetest::WriteFile(path, message);
    return path;
  }

  mimetest::TempDir dir_;
};

// "key":value as the tool's JSON writes it.
std::string Field(const std::string& key, const std::string& value) {
  return "\"" + key + "\":" + value;
}

// The part's JSON object; without the name, only what follows the name.
std::string PartJson(const PartEntry& p, bool with_name) {
  std::string out;
  if (with_name) {
    out = "{\"type\":\"" + p.type + "\",\"subtype\":\"" + p.subtype + "\",\"name\":\"" + p.name +
          "\",";
  }
  out += "\"attachment\":" + std::string(p.attachment ? "true" : "false") +
         ",\"encoding\":" + std::to_string(TransferEncodingWord(p.transfer_encoding)) +
         ",\"size\":" + std::to_string(p.decoded_size) +
         ",\"lines\":" + std::to_string(p.body_line_count) +
         ",\"offset\":" + std::to_string(p.body_offset) +
         ",\"group\":" + std::to_string(p.group_identity) +
         ",\"alternative\":" + (p.in_alternative ? "true" : "false") + "}";
  return out;
}

TEST_F(MimeToolTest, PartsDecodeAndTextOfAMimeMessage) {
  const std::string text = mimetest::RandomTextLines(51, 6000);
  const std::string zip = mimetest::RandomBytes(52, 3000);
  const std::string picture = mimetest::RandomBytes(53, 700);
  const std::string message =
      Crlf(
          "MIME-Version: 1.0\nSubject: tool\nContent-Type: multipart/mixed; boundary=m\n\n"
          "--m\nContent-Type: multipart/alternative; boundary=a\n\n--a\n"
          "Content-Type: text/plain\nContent-Transfer-Encoding: quoted-printable\n\n") +
      QuotedPrintableEncode(text) +
      Crlf(
          "--a\nContent-Type: text/html\n\n<p>x</p>\n--a--\n"
          "--m\nContent-Type: application/zip; name=\"data.zip\"\n"
          "Content-Transfer-Encoding: base64\n\n") +
      Base64EncodeLines(zip) +
      Crlf("--m\nContent-Type: application/x-pelrion-test\nContent-Transfer-Encoding: base64\n\n") +
      Base64EncodeLines(picture) + Crlf("--m--\n");
  const std::string path = Store("mime.eml", message);
  const mimetest::Scanned want = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(want.table.parts.size(), 4u);

  const RunResult parts = Run({"parts", path});
  ASSERT_EQ(parts.status, 0) << parts.err;
  EXPECT_NE(parts.out.find(Field("mime", "true")), std::string::npos) << parts.out;
  EXPECT_NE(parts.out.find(Field("header_length", std::to_string(want.header_length))),
            std::string::npos);
  EXPECT_NE(parts.out.find(Field("body_lines", std::to_string(want.body_line_count))),
            std::string::npos);
  EXPECT_NE(parts.out.find(Field("text_first", "0")), std::string::npos);
  EXPECT_NE(parts.out.find(Field("text_count", "2")), std::string::npos);
  EXPECT_NE(parts.out.find(Field("segments", "[]")), std::string::npos);
  for (std::size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NE(parts.out.find(PartJson(want.table.parts[i], true)), std::string::npos) << parts.out;
  }
  // The last part's made-up name depends on the clock-seeded generator; the rest is fixed.
  const std::string last_start =
      "{\"type\":\"application\",\"subtype\":\"x-pelrion-test\",\"name\":\"A";
  const std::size_t name_at = parts.out.find(last_start);
  ASSERT_NE(name_at, std::string::npos) << parts.out;
  const std::size_t digits_at = name_at + last_start.size();
  const std::size_t dat_at = parts.out.find(".dat\",", digits_at);
  ASSERT_NE(dat_at, std::string::npos);
  const std::string digits = parts.out.substr(digits_at, dat_at - digits_at);
  EXPECT_TRUE(!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos)
      << digits;
  const std::string rest = PartJson(want.table.parts[3], false);
  EXPECT_EQ(parts.out.compare(dat_at + 6, rest.size(), rest), 0) << parts.out.substr(dat_at);

  struct DecodeRow {
    const char* index;
    std::string want;
  };
  const std::vector<DecodeRow> decode_rows = {{"0", text}, {"2", zip}, {"3", picture}};
  for (const DecodeRow& row : decode_rows) {
    SCOPED_TRACE(row.index);
    const std::string out = dir_.File(std::string("part") + row.index);
    const RunResult decoded = Run({"decode", path, row.index, out});
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_TRUE(mimetest::ReadFile(out) == row.want);
  }

  const RunResult shown = Run({"text", path});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_TRUE(shown.out == text.substr(0, 4096));
}

TEST_F(MimeToolTest, SegmentsOfAPlainMessage) {
  const std::string payload = mimetest::RandomBytes(54, 500);
  const std::string intro = Crlf("Hello,\nfile below.\n");
  const std::string message = Crlf("Subject: plain\n\n") + intro + "begin 644 f.bin\r\n" +
                              mimetest::UuencodeBlock(payload) + Crlf("Bye now.\n");
  const std::string path = Store("plain.eml", message);
  const mimetest::Scanned want = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(want.table.segments.size(), 3u);

  const RunResult parts = Run({"parts", path});
  ASSERT_EQ(parts.status, 0) << parts.err;
  EXPECT_NE(parts.out.find(Field("mime", "false")), std::string::npos) << parts.out;
  EXPECT_NE(parts.out.find(Field("parts", "[]")), std::string::npos);
  EXPECT_NE(parts.out.find(Field("uuencoded_count", "1")), std::string::npos);
  const SegmentEntry& block = want.table.segments[1];
  const std::string block_json =
      "{\"name\":\"f.bin\",\"uuencoded\":true,\"size\":" + std::to_string(block.data_size) +
      ",\"lines\":" + std::to_string(block.data_line_count) +
      ",\"offset\":" + std::to_string(block.data_offset) + "}";
  EXPECT_NE(parts.out.find(block_json), std::string::npos) << parts.out;

  const std::vector<std::pair<const char*, std::string>> rows = {
      {"0", intro}, {"1", payload}, {"2", Crlf("Bye now.\n")}};
  for (const auto& [index, decoded_want] : rows) {
    SCOPED_TRACE(index);
    const std::string out = dir_.File(std::string("segment") + index);
    const RunResult decoded = Run({"decode", path, index, out});
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_TRUE(mimetest::ReadFile(out) == decoded_want);
  }
  const RunResult shown = Run({"text", path});
  ASSERT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, intro);
}

TEST_F(MimeToolTest, ExitCodes) {
  const std::string path = Store("m.eml", Crlf("Subject: x\n\nbody\n"));
  const std::string broken = Store("broken.eml", Crlf("MIME-Version: 1.0\nContent-Transfer-"
                                                      "Encoding: base64\n\nQUJD\n"));
  // A last line without line end is scanned but cannot be decoded strictly.
  const std::string partial = Store("partial.eml", "Subject: x\r\n\r\nno line end");
  struct Row {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* err_contains;
  };
  const std::vector<Row> rows = {
      {"no command", {}, 2, "usage"},
      {"unknown command", {"frobnicate"}, 2, "usage"},
      {"parts without file", {"parts"}, 2, "usage"},
      {"parts of a missing file", {"parts", dir_.File("absent.eml")}, 1, "cannot read"},
      {"decode with too few arguments", {"decode", path, "0"}, 2, "usage"},
      {"decode with a bad index", {"decode", path, "x", dir_.File("o")}, 2, "must be a number"},
      {"decode with a negative index", {"decode", path, "-1", dir_.File("o")}, 2, "number"},
      {"decode past the last entry", {"decode", path, "1", dir_.File("o")}, 1, "no entry 1"},
      {"decode of a missing file",
       {"decode", dir_.File("absent"), "0", dir_.File("o")},
       1,
       "cannot read"},
      {"decode of an unfinished line",
       {"decode", partial, "0", dir_.File("o")},
       1,
       "Decode error."},
      {"decode into a missing folder",
       {"decode", broken, "0", dir_.File("no/dir/o")},
       1,
       "Decode error."},
      {"text of a missing file", {"text", dir_.File("absent")}, 1, "cannot read"},
      {"text with two files", {"text", path, path}, 2, "usage"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const RunResult result = Run(row.args);
    EXPECT_EQ(result.status, row.status);
    EXPECT_NE(result.err.find(row.err_contains), std::string::npos) << result.err;
  }
  EXPECT_FALSE(mimetest::FileExists(dir_.File("o")));
}

}  // namespace
}  // namespace pelrion::mailformat
