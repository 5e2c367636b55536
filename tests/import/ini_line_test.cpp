// The settings-file line classifier shared by the readers of other programs' INI files.
#include "import/ini_line.h"

#include <gtest/gtest.h>

#include <string>

namespace pelrion::importtest {
namespace {

using import::IniLineKind;

struct IniCase {
  std::string label;
  std::string line;
  IniLineKind kind;
  std::string name;
  std::string value;
};

class IniLineTest : public testing::TestWithParam<IniCase> {};

TEST_P(IniLineTest, ClassifiesAndTrims) {
  const IniCase& c = GetParam();
  const import::IniLine line = import::ClassifyIniLine(c.line);
  EXPECT_EQ(line.kind, c.kind);
  EXPECT_EQ(line.name, c.name);
  EXPECT_EQ(line.value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniLineTest,
    testing::Values(
        IniCase{"section", "  [Profile0]  ", IniLineKind::kSection, "Profile0", ""},
        IniCase{"section_text_after_bracket", "[General] ; x", IniLineKind::kSection, "General",
                ""},
        IniCase{"section_without_close", "[Profile0", IniLineKind::kMalformed, "", ""},
        IniCase{"key_value_trimmed", "Path \t=  a b \r", IniLineKind::kKeyValue, "Path", "a b"},
        IniCase{"value_with_equals", "k=a=b", IniLineKind::kKeyValue, "k", "a=b"},
        IniCase{"quoted_value_unquoted_and_trimmed_again", "Name= \" Jane Doe \" ",
                IniLineKind::kKeyValue, "Name", "Jane Doe"},
        IniCase{"one_quote_alone_kept", "Name=\"", IniLineKind::kKeyValue, "Name", "\""},
        IniCase{"two_quotes_make_empty", "Name=\"\"", IniLineKind::kKeyValue, "Name", ""},
        IniCase{"quote_at_one_end_kept", "Name=\"Jane", IniLineKind::kKeyValue, "Name", "\"Jane"},
        IniCase{"empty_value", "Path=", IniLineKind::kKeyValue, "Path", ""},
        IniCase{"blank", " \t\r", IniLineKind::kBlank, "", ""},
        IniCase{"comment", "  ; Path=x", IniLineKind::kBlank, "", ""},
        IniCase{"no_equals", "just words", IniLineKind::kMalformed, "", ""}),
    [](const auto& info) { return info.param.label; });

}  // namespace
}  // namespace pelrion::importtest
