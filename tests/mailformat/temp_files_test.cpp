// Temporary files of the message explorer: exclusive creation under random names, extensions
// that a sender cannot choose freely, and exporting a part into such a file.
#include "mailformat/temp_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/part_export.h"
#include "mime_test_helpers.h"
#include "platform/random.h"

namespace pelrion::mailformat {
namespace {

using mimetest::Crlf;

TEST(TempExtensionTest, OnlyShortPlainExtensionsAreKept) {
  struct Row {
    std::string name;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"report.pdf", ".pdf"},
      {"archive.tar.gz", ".gz"},
      {"Photo.JPG", ".JPG"},
      {"a.c++", ".c++"},
      {"x.my_ext-2", ".my_ext-2"},
      {"sixteen.abcdefghijklmnop", ".abcdefghijklmnop"},
      {"seventeen.abcdefghijklmnopq", ".dat"},
      {"no extension", ""},
      {"trailing dot.", ".dat"},
      {"space.p df", ".dat"},
      {"shell.exe;rm -rf ~", ".dat"},
      {"quote.pdf\"", ".dat"},
      {"slash.a/b", ".dat"},
      {"dots..", ".dat"},
      {"eight-bit.caf\xe9", ".dat"},
      {"newline.txt\n", ".dat"},
      {std::string("nul.t\0t", 7), ".dat"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(TempExtensionFor(row.name), row.want);
  }
}

class TempFileTest : public testing::Test {
 protected:
  mimetest::TempDir dir_;
};

TEST_F(TempFileTest, TakenNamesAreDrawnAgainAndLeftAlone) {
  constexpr std::uint32_t kSeed = 1234;
  platform::SeedRand(kSeed);
  const int first = platform::Rand();
  const int second = platform::Rand();
  ASSERT_NE(first, second);
  // A file under the first name, and a link planted under the second pointing elsewhere.
  const std::string taken = dir_.File("E" + std::to_string(first) + ".x");
  const std::string victim = dir_.File("victim");
  mimetest::WriteFile(taken, "keep me");
  mimetest::WriteFile(victim, "keep me too");
  ASSERT_EQ(::symlink(victim.c_str(), dir_.File("E" + std::to_string(second) + ".x").c_str()), 0);

  const int third = platform::Rand();
  ASSERT_TRUE(third != first && third != second);

  platform::SeedRand(kSeed);
  const std::optional<TempFile> file = CreateTempFile(dir_.path(), "E", ".x");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->path, dir_.File("E" + std::to_string(third) + ".x"));
  EXPECT_EQ(mimetest::ReadFile(taken), "keep me");
  EXPECT_EQ(mimetest::ReadFile(victim), "keep me too");
  // A private, empty file whose descriptor is not inherited by started programs.
  struct stat info {};
  ASSERT_EQ(::fstat(file->fd, &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(info.st_size, 0);
  EXPECT_NE(::fcntl(file->fd, F_GETFD) & FD_CLOEXEC, 0);
  ::close(file->fd);
}

TEST_F(TempFileTest, FailsWhenTheFolderCannotTakeFiles) {
  EXPECT_FALSE(CreateTempFile(dir_.File("missing/"), "T", ".dat").has_value());
}

// --- ExportPart -------------------------------------------------------------------------------

TEST_F(TempFileTest, ExportPartWritesTheDecodedPartUnderASafeExtension) {
  const std::string payload = mimetest::RandomBytes(3, 5000);
  std::string message = Crlf(
      "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\ntext\n"
      "--b\nContent-Type: application/pdf; name=\"a.pdf\"\nContent-Transfer-Encoding: base64\n\n");
  message += Base64EncodeLines(payload);
  message +=
      Crlf("--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n");
  message += "!!!!\r\n--b--\r\n";
  const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(s.table.parts.size(), 2u);  // the undecodable third part is left out by the scan

  struct Row {
    const char* label;
    std::string name;
    std::string want_extension;
  };
  const std::vector<Row> rows = {
      {"own extension", "a.pdf", ".pdf"},
      {"as text", "view.txt", ".txt"},
      {"hostile extension", "a.pdf\" & reboot", ".dat"},
      {"no extension", "a", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    const std::optional<std::string> path = ExportPart(s.table, 1, s.path, dir_.path(), row.name);
    ASSERT_TRUE(path.has_value());
    const std::string file_name = path->substr(dir_.path().size());
    EXPECT_TRUE(file_name.starts_with("T")) << file_name;
    EXPECT_TRUE(file_name.ends_with(row.want_extension)) << file_name;
    const std::string digits =
        file_name.substr(1, file_name.size() - 1 - row.want_extension.size());
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << file_name;
    EXPECT_TRUE(mimetest::ReadFile(*path) == payload);
  }
  EXPECT_FALSE(ExportPart(s.table, 2, s.path, dir_.path(), "x.pdf").has_value());
}

TEST_F(TempFileTest, FailedExportLeavesNoFile) {
  PartTable table;
  table.mime = 1;
  PartEntry part;
  part.body_offset = 0;
  part.body_line_count = 2;
  part.transfer_encoding = TransferEncoding::kBase64;
  table.parts.push_back(part);
  const std::string path = dir_.File("message.eml");
  mimetest::WriteFile(path, "QUJD\r\n!!!!\r\n");
  EXPECT_FALSE(ExportPart(table, 0, path, dir_.path(), "a.bin").has_value());
  EXPECT_EQ(mimetest::FileNamesIn(dir_), std::vector<std::string>{"message.eml"});
}

TEST_F(TempFileTest, ExportPartOfAPlainMessageUudecodesItsBlocks) {
  const std::string message =
      Crlf("Subject: x\n\nsee the file\n") + "begin 644 f.zip\r\n" + mimetest::UuencodeBlock("abc");
  const mimetest::Scanned s = mimetest::ScanMessage(dir_, message);
  ASSERT_EQ(s.table.segments.size(), 2u);
  const std::optional<std::string> text = ExportPart(s.table, 0, s.path, dir_.path(), "m.txt");
  const std::optional<std::string> block = ExportPart(s.table, 1, s.path, dir_.path(), "f.zip");
  ASSERT_TRUE(text.has_value() && block.has_value());
  EXPECT_EQ(mimetest::ReadFile(*text), Crlf("see the file\n"));
  EXPECT_EQ(mimetest::ReadFile(*block), "abc");
  EXPECT_TRUE(block->ends_with(".zip"));
}

}  // namespace
}  // namespace pelrion::mailformat
