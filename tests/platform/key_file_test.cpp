#include "platform/key_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelrion::platform {
namespace {

TEST(KeyFileTest, ReadsGroupsAndKeys) {
  const KeyFile file = ParseKeyFile(
      "Orphan=before any group\n"
      "# comment=not a key\n"
      "[Desktop Entry]\r\n"
      "Exec = viewer %f \r\n"
      "Name=First\n"
      "Name=Second\n"
      "Name[de]=Erster\n"
      "no equals sign\n"
      "=no key\n"
      "Empty=\n"
      "\n"
      "  [Other]\n"
      "Key=a=b\n"
      "[Broken\n"
      "Lost=value\n");
  EXPECT_EQ(KeyFileValue(file, "Desktop Entry", "Exec"), "viewer %f");
  EXPECT_EQ(KeyFileValue(file, "Desktop Entry", "Name"), "First");
  EXPECT_EQ(KeyFileValue(file, "Desktop Entry", "Name[de]"), "Erster");
  EXPECT_EQ(KeyFileValue(file, "Desktop Entry", "Empty"), "");
  EXPECT_EQ(KeyFileValue(file, "Desktop Entry", "Orphan"), std::nullopt);
  EXPECT_EQ(KeyFileValue(file, "Desktop Entry", "# comment"), std::nullopt);
  EXPECT_EQ(KeyFileValue(file, "Desktop Entry", "exec"), std::nullopt);  // keys keep their case
  EXPECT_EQ(file.at("Desktop Entry").size(), 4u);
  EXPECT_EQ(KeyFileValue(file, "Other", "Key"), "a=b");
  EXPECT_EQ(KeyFileValue(file, "Other", "Lost"), std::nullopt);
  EXPECT_EQ(KeyFileValue(file, "Missing", "Key"), std::nullopt);
}

TEST(KeyFileTest, UnreadableFileIsNotAnEmptyOne) {
  EXPECT_EQ(ReadKeyFile(PELRION_FIXTURES "/xdg/absent.list"), std::nullopt);
  EXPECT_EQ(ReadKeyFile(PELRION_FIXTURES "/xdg"), std::nullopt);  // a folder
}

TEST(KeyFileTest, SplitsListValues) {
  EXPECT_EQ(SplitListValue("a.desktop;b.desktop;"),
            (std::vector<std::string>{"a.desktop", "b.desktop"}));
  EXPECT_EQ(SplitListValue(";;a.desktop;;b.desktop"),
            (std::vector<std::string>{"a.desktop", "b.desktop"}));
  EXPECT_TRUE(SplitListValue("").empty());
  EXPECT_TRUE(SplitListValue(";").empty());
}

}  // namespace
}  // namespace pelrion::platform
