#include "mailformat/mime_types.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mime_test_helpers.h"

namespace pelrion::mailformat {
namespace {

class ExtensionForMimeTypeTest : public testing::Test {
 protected:
  void SetUp() override { SetMimeTypesPathForTesting(PELRION_FIXTURES "/mime/mime.types"); }
  void TearDown() override { SetMimeTypesPathForTesting(""); }
};

TEST_F(ExtensionForMimeTypeTest, ReadsTheFirstExtensionOfTheFirstListing) {
  struct Row {
    const char* type;
    std::optional<std::string> want;
  };
  const std::vector<Row> rows = {
      {"text/plain", ".txt"},
      {"TEXT/Plain", ".txt"},
      {"image/png", ".png"},  // listed as Image/PNG
      {"image/x-listed-twice", ".first"},
      {"application/x-no-extension", std::nullopt},
      {"application/x-after-empty", ".aft"},
      {"application/x-commented", std::nullopt},
      {"application/x-indented", ".ind"},
      {"application/x-tabbed", ".tab1"},
      {"message/rfc822", ".eml"},
      {"image/gif", std::nullopt},
      {"text", std::nullopt},
      {"", std::nullopt},
      {"#", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type);
    EXPECT_EQ(ExtensionForMimeType(row.type), row.want);
  }
}

TEST_F(ExtensionForMimeTypeTest, TableIsReadOnceUntilRepointed) {
  mimetest::TempDir dir;
  const std::string path = dir.File("mime.types");
  mimetest::WriteFile(path, "application/x-first one\n");
  SetMimeTypesPathForTesting(path);
  EXPECT_EQ(ExtensionForMimeType("application/x-first"), ".one");
  // Changing the file does not change the cached table...
  mimetest::WriteFile(path, "application/x-first two\n");
  EXPECT_EQ(ExtensionForMimeType("application/x-first"), ".one");
  // ...pointing the look-up at it again does.
  SetMimeTypesPathForTesting(path);
  EXPECT_EQ(ExtensionForMimeType("application/x-first"), ".two");
}

TEST_F(ExtensionForMimeTypeTest, MissingTableKnowsNothing) {
  mimetest::TempDir dir;
  SetMimeTypesPathForTesting(dir.File("absent"));
  EXPECT_EQ(ExtensionForMimeType("text/plain"), std::nullopt);
}

}  // namespace
}  // namespace pelrion::mailformat
