// Saving parts under the names a (possibly hostile) mail gives them: every save lands inside
// the chosen folder, as a new file, and nothing already there is replaced.
#include "mailformat/safe_save_name.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "mailformat/part_export.h"
#include "mime_test_helpers.h"

namespace pelrion::mailformat {
namespace {

using mimetest::FileExists;
using mimetest::ReadFile;
using mimetest::TempDir;
using mimetest::WriteFile;

bool IsUtf8Boundary(const std::string& text) {
  return text.empty() || (static_cast<unsigned char>(text.back()) & 0xC0) != 0xC0;
}

TEST(SafeSaveNameTest, KeepsOnlyAPlainFinalName) {
  const std::string long_stem(300, 'a');
  // 2-byte characters so that 255 falls inside one.
  std::string long_utf8;
  for (int i = 0; i < 150; ++i) long_utf8 += "\xC3\xA9";
  const struct {
    std::string name;
    std::string want;
  } rows[] = {
      {"report.pdf", "report.pdf"},
      {"../x", "x"},
      {"../../etc/passwd", "passwd"},
      {"..\\..\\windows\\evil.exe", "evil.exe"},
      {"dir/sub\\mixed/name.txt", "name.txt"},
      {"../.profile", ".profile"},
      {"/absolute/path.sh", "path.sh"},
      {"..", "attachment"},
      {".", "attachment"},
      {"", "attachment"},
      {"folder/", "attachment"},
      {"a/..", "attachment"},
      {"line\nbreak.txt", "attachment.txt"},
      {"tab\there", "attachment"},
      {"esc\x1b[31m.doc", "attachment.doc"},
      {"del\x7f.bin", "attachment.bin"},
      {"bad\r\n.odd ext", "attachment.dat"},
      {long_stem + ".pdf", std::string(251, 'a') + ".pdf"},
      {long_stem, std::string(255, 'a')},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.name));
    EXPECT_EQ(SafeSaveName(row.name), row.want);
  }
  const std::string cut = SafeSaveName(long_utf8 + ".txt");
  EXPECT_LE(cut.size(), kMaxSaveNameBytes);
  EXPECT_TRUE(cut.ends_with(".txt"));
  EXPECT_TRUE(IsUtf8Boundary(cut.substr(0, cut.size() - 4)));
}

TEST(SafeSaveNameTest, NumberedNamesPutTheNumberBeforeTheExtensionAndStayShort) {
  EXPECT_EQ(NumberedSaveName("a.txt", 2), "a (2).txt");
  EXPECT_EQ(NumberedSaveName("archive.tar.gz", 3), "archive.tar (3).gz");
  EXPECT_EQ(NumberedSaveName(".profile", 2), ".profile (2)");
  EXPECT_EQ(NumberedSaveName("noext", 10), "noext (10)");
  const std::string full = SafeSaveName(std::string(300, 'b') + ".pdf");
  const std::string numbered = NumberedSaveName(full, 12);
  EXPECT_EQ(numbered.size(), kMaxSaveNameBytes);
  EXPECT_TRUE(numbered.ends_with(" (12).pdf"));
}

class SaveIntoFolderTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(root_.File("target"));
    WriteFile(source_, "PART BYTES");
    WriteFile(root_.File("x"), "outside, must stay");
    WriteFile(root_.File(".profile"), "outside profile");
  }

  // Every regular file or link below root_, as paths relative to it.
  std::vector<std::string> Tree() const {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_.path())) {
      paths.push_back(std::filesystem::relative(entry.path(), root_.path()).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  std::string target() const { return root_.File("target"); }

  TempDir root_;
  TempDir source_dir_;
  std::string source_ = source_dir_.File("exported.dat");
};

TEST_F(SaveIntoFolderTest, HostileNamesLandInsideTheFolderAndNeverReplaceAFile) {
  WriteFile(target() + "/existing.txt", "the user's own file");
  const struct {
    std::string name;
    std::string saved_as;
  } rows[] = {
      {"../x", "x"},
      {"../.profile", ".profile"},  // the name a "begin 644 ../.profile" block carries
      {"..", "attachment"},
      {"", "attachment (2)"},
      {"evil\n.txt", "attachment.txt"},
      {"sub/../../x", "x (2)"},
      {"existing.txt", "existing (2).txt"},
      {"dup.pdf", "dup.pdf"},
      {"dup.pdf", "dup (2).pdf"},
      {std::string(300, 'n') + ".pdf", std::string(251, 'n') + ".pdf"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.name));
    const std::optional<std::string> saved = SaveCopyInto(source_, target(), row.name);
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(*saved, target() + "/" + row.saved_as);
    EXPECT_EQ(ReadFile(*saved), "PART BYTES");
  }
  EXPECT_EQ(ReadFile(target() + "/existing.txt"), "the user's own file");
  EXPECT_EQ(ReadFile(root_.File("x")), "outside, must stay");
  EXPECT_EQ(ReadFile(root_.File(".profile")), "outside profile");
  // Nothing besides the saves appeared anywhere under the root.
  EXPECT_EQ(Tree().size(), 3u + std::size(rows) + 1u);
}

TEST_F(SaveIntoFolderTest, ALinkUnderTheNameIsNeitherFollowedNorReplaced) {
  const std::string victim = root_.File("victim");
  WriteFile(victim, "keep");
  ASSERT_EQ(::symlink(victim.c_str(), (target() + "/a.txt").c_str()), 0);
  const std::optional<std::string> saved = SaveCopyInto(source_, target(), "a.txt");
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(*saved, target() + "/a (2).txt");
  EXPECT_EQ(ReadFile(victim), "keep");
}

TEST_F(SaveIntoFolderTest, AFailedCopyLeavesNothingBehind) {
  EXPECT_FALSE(SaveCopyInto(source_dir_.File("missing"), target(), "a.txt").has_value());
  EXPECT_FALSE(FileExists(target() + "/a.txt"));
  EXPECT_FALSE(SaveCopyInto(source_, root_.File("no-such-folder"), "a.txt").has_value());
}

TEST_F(SaveIntoFolderTest, CopyFileToReplacesWhatTheUserAgreedToAndNotALinksTarget) {
  const std::string chosen = target() + "/chosen.txt";
  WriteFile(chosen, "old");
  ASSERT_TRUE(CopyFileTo(source_, chosen));
  EXPECT_EQ(ReadFile(chosen), "PART BYTES");

  const std::string victim = root_.File("victim");
  WriteFile(victim, "keep");
  const std::string link = target() + "/link.txt";
  ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
  ASSERT_TRUE(CopyFileTo(source_, link));
  EXPECT_EQ(ReadFile(victim), "keep");
  EXPECT_EQ(ReadFile(link), "PART BYTES");

  EXPECT_FALSE(CopyFileTo(source_dir_.File("missing"), chosen));
  EXPECT_EQ(ReadFile(chosen), "PART BYTES");
  // No scratch file is left in the folder.
  for (const auto& entry : std::filesystem::directory_iterator(target())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".pelrion-save-"));
  }
}

// Names the parser itself decodes: an RFC 2231 name with "%2F" and a uuencoded block's name.
TEST_F(SaveIntoFolderTest, NamesDecodedByTheParserStayInsideTheFolder) {
  const mimetest::Scanned mime = mimetest::ScanMessage(
      source_dir_,
      mimetest::Crlf("MIME-Version: 1.0\n"
                     "Content-Type: multipart/mixed; boundary=b\n\n"
                     "--b\nContent-Type: text/plain\n\nhello\n"
                     "--b\nContent-Type: application/octet-stream\n"
                     "Content-Disposition: attachment; filename*=us-ascii''..%2F..%2Fx\n\n"
                     "payload\n--b--\n"));
  ASSERT_EQ(mime.table.parts.size(), 2u);
  const PartEntry& attachment = mime.table.parts[1];
  EXPECT_NE(attachment.name.find('/'), std::string::npos) << attachment.name;
  const std::optional<std::string> exported =
      ExportPart(mime.table, 1, mime.path, source_dir_.path(), attachment.name);
  ASSERT_TRUE(exported.has_value());
  const std::optional<std::string> saved = SaveCopyInto(*exported, target(), attachment.name);
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(*saved, target() + "/x");
  EXPECT_EQ(ReadFile(root_.File("x")), "outside, must stay");
}

}  // namespace
}  // namespace pelrion::mailformat
