#include "mailformat/charset_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace pelrion::mailformat {
namespace {

TEST(CharsetTableTest, LooksUpRowsAndFallsBackToTheDefault) {
  struct Row {
    const char* name;
    long long index;
    std::string display;
    std::string mime;
  };
  const std::vector<Row> rows = {
      {"first", 0, "Arabic (Windows)", "windows-1256"},
      {"hebrew keeps its stored text", 10, "Hebrew Windows)", "windows-1255"},
      {"shift_jis", 11, "Japanese (Shift-JIS)", "shift_jis"},
      {"utf-8", 17, "Unicode (UTF-8)", "utf-8"},
      {"user defined", 18, "User Defined", "x-user-defined"},
      {"default row", 20, "Western European (ISO)", "iso-8859-1"},
      {"last", 21, "Western European (Windows)", "windows-1252"},
      {"negative", -1, "Western European (ISO)", "iso-8859-1"},
      {"one past the end", 22, "Western European (ISO)", "iso-8859-1"},
      {"far out", 1LL << 40, "Western European (ISO)", "iso-8859-1"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(CharsetDisplayName(row.index), row.display);
    EXPECT_EQ(CharsetMimeName(row.index), row.mime);
  }
  EXPECT_EQ(CharsetIndexOrDefault(21), 21);
  EXPECT_EQ(CharsetIndexOrDefault(22), kDefaultCharsetIndex);
}

TEST(CharsetTableTest, RowsAreSortedByDisplayNameWithDistinctMimeNames) {
  ASSERT_EQ(kCharsetTable.size(), 22u);
  std::set<std::string_view> mime_names;
  for (std::size_t i = 0; i < kCharsetTable.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    if (i > 0) {
      EXPECT_LT(kCharsetTable[i - 1].display_name, kCharsetTable[i].display_name);
    }
    EXPECT_TRUE(mime_names.insert(kCharsetTable[i].mime_name).second);
  }
}

}  // namespace
}  // namespace pelrion::mailformat
