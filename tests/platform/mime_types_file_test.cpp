#include "platform/mime_types_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pelrion::platform {
namespace {

const std::string kTable = PELRION_FIXTURES "/mime/mime.types";

TEST(MimeTypeForExtensionTest, FindsTheTypeOfTheFirstLineListingTheExtension) {
  struct Row {
    const char* extension;
    std::optional<std::string> want;
  };
  const std::vector<Row> rows = {
      {".txt", "text/plain"},
      {"txt", "text/plain"},
      {".TXT", "text/plain"},
      {".asc", "text/plain"},  // a later extension of the line
      {".png", "image/png"},   // listed as Image/PNG
      {".eml", "message/rfc822"},
      {".first", "image/x-listed-twice"},
      {".second", "image/x-listed-twice"},
      {".ind2", "application/x-indented"},
      {".tab2", "application/x-tabbed"},
      {".cmt", std::nullopt},  // only in a comment
      {".nothing", std::nullopt},
      {".", std::nullopt},
      {"", std::nullopt},
      {"..txt", std::nullopt},
      {"text/plain", std::nullopt},  // a type is not an extension
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.extension);
    EXPECT_EQ(MimeTypeForExtension(row.extension, kTable), row.want);
  }
}

TEST(MimeTypeForExtensionTest, MissingTableKnowsNothing) {
  EXPECT_EQ(MimeTypeForExtension(".txt", PELRION_FIXTURES "/mime/absent.types"), std::nullopt);
}

TEST(ReadMimeTypesFileTest, KeepsEveryTypeLineInOrderWithItsExtensions) {
  const std::vector<MimeTypesLine> lines = ReadMimeTypesFile(kTable);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].type, "text/plain");
  EXPECT_EQ(lines[0].extensions, (std::vector<std::string>{"txt", "asc", "text"}));
  EXPECT_EQ(lines[1].type, "Image/PNG");
  bool saw_empty = false;
  for (const MimeTypesLine& line : lines) {
    EXPECT_NE(line.type.front(), '#');
    if (line.type == "application/x-no-extension") saw_empty = line.extensions.empty();
  }
  EXPECT_TRUE(saw_empty);
}

}  // namespace
}  // namespace pelrion::platform
