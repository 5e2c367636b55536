#include "mailformat/file_names.h"

#include <gtest/gtest.h>

#include <string>

namespace pelrion::mailformat {
namespace {

struct SanitizeCase {
  const char* name;
  std::string input;
  char replacement;
  std::string want;
};

class SanitizeFileNameTest : public testing::TestWithParam<SanitizeCase> {};

TEST_P(SanitizeFileNameTest, ReplacesForbiddenCharacters) {
  const SanitizeCase& c = GetParam();
  std::string name = c.input;
  SanitizeFileName(name, c.replacement);
  EXPECT_EQ(name, c.want) << "input: " << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    Names, SanitizeFileNameTest,
    testing::Values(
        SanitizeCase{"Plain", "report.pdf", '_', "report.pdf"},
        SanitizeCase{"AllNine", "a\\b/c:d*e?f<g>h|i\"j", '_', "a_b_c_d_e_f_g_h_i_j"},
        SanitizeCase{"OnlyForbidden", "\\/:*?<>|\"", '_', "_________"},
        SanitizeCase{"OtherReplacement", "a/b", '-', "a-b"},
        SanitizeCase{"KeepsSpacesAndEightBit", "Caf\xE9 menu (2).txt", '_', "Caf\xE9 menu (2).txt"},
        SanitizeCase{"KeepsOtherPunctuation", "a;b,c'd[e]f#g%h&.x", '_', "a;b,c'd[e]f#g%h&.x"},
        SanitizeCase{"PathTraversal", "../../etc/passwd", '_', ".._.._etc_passwd"},
        SanitizeCase{"Empty", "", '_', ""}),
    [](const testing::TestParamInfo<SanitizeCase>& info) { return std::string(info.param.name); });

struct PathCase {
  const char* name;
  std::string path;
  std::string extension;
  std::string file_name;
};

class PathPartsTest : public testing::TestWithParam<PathCase> {};

TEST_P(PathPartsTest, ExtensionAndFileName) {
  const PathCase& c = GetParam();
  EXPECT_EQ(FileExtensionOf(c.path), c.extension) << "path: " << c.path;
  EXPECT_EQ(FileNameOf(c.path), c.file_name) << "path: " << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathPartsTest,
    testing::Values(PathCase{"BareName", "photo.jpg", "jpg", "photo.jpg"},
                    PathCase{"FullPath", "/tmp/Pelrion-1000/photo.jpg", "jpg", "photo.jpg"},
                    PathCase{"LastDotCounts", "archive.tar.gz", "gz", "archive.tar.gz"},
                    PathCase{"NoExtension", "/home/u/README", "", "README"},
                    PathCase{"DotInFolderOnly", "/home/u/.local/share/Pelrion/Db/x", "", "x"},
                    PathCase{"TrailingDot", "name.", "", "name."},
                    PathCase{"HiddenFile", "/home/u/.profile", "profile", ".profile"},
                    PathCase{"FolderPath", "/home/u/Pelrion/", "", ""},
                    PathCase{"RootFile", "/a.b", "b", "a.b"},
                    PathCase{"BackslashIsNoSeparator", "C:\\dir\\file.txt", "txt",
                             "C:\\dir\\file.txt"},
                    PathCase{"Empty", "", "", ""}),
    [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::mailformat
