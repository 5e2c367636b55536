#include "platform/desktop_entry.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pelrion::platform {
namespace {

using Argv = std::vector<std::string>;

const std::string kFile = "/tmp/a file.txt";

struct ExecCase {
  const char* name;
  std::string exec;  // string escapes already undone
  std::string file;
  std::optional<Argv> want;
};

const ExecCase kExecCases[] = {
    {"FileCode", "viewer %f", kFile, Argv{"viewer", kFile}},
    {"NoFileCodeAppends", "viewer --new", kFile, Argv{"viewer", "--new", kFile}},
    {"EveryFileCode", "viewer %u", kFile, Argv{"viewer", kFile}},
    {"ListCodes", "viewer --window %U", kFile, Argv{"viewer", "--window", kFile}},
    {"UpperF", "viewer %F --last", kFile, Argv{"viewer", kFile, "--last"}},
    {"InsideAWord", "viewer --file=%f", kFile, Argv{"viewer", "--file=" + kFile}},
    {"BlanksCollapse", "  viewer \t  %f  ", kFile, Argv{"viewer", kFile}},
    {"QuotedProgram", "\"/opt/My App/viewer\" %f", kFile, Argv{"/opt/My App/viewer", kFile}},
    {"QuoteEscapes", R"(viewer "a \"b\" \`c\` \$d \\e" %f)", kFile,
     Argv{"viewer", R"(a "b" `c` $d \e)", kFile}},
    {"OtherBackslashInQuotesKept", R"(viewer "a\nb")", kFile, Argv{"viewer", R"(a\nb)", kFile}},
    {"BackslashOutsideQuotesKept", R"(viewer a\b)", kFile, Argv{"viewer", R"(a\b)", kFile}},
    {"QuotesJoinAWord", R"(viewer pre"fix mid"post)", kFile,
     Argv{"viewer", "prefix midpost", kFile}},
    {"EmptyQuotedArgumentKept", R"(viewer "" %f)", kFile, Argv{"viewer", "", kFile}},
    {"DroppedCodes", "viewer %i %c %k %f", kFile, Argv{"viewer", kFile}},
    {"DeprecatedCodes", "viewer %d %D %n %N %v %m %f", kFile, Argv{"viewer", kFile}},
    {"DroppedCodeInAWord", "viewer --icon=%i %f", kFile, Argv{"viewer", "--icon=", kFile}},
    {"DroppedCodesOnly", "viewer %i%c %f", kFile, Argv{"viewer", kFile}},
    {"PercentLiteral", "viewer 100%% %f", kFile, Argv{"viewer", "100%", kFile}},
    {"EscapedPercentIsNoFileCode", "viewer %%f", kFile, Argv{"viewer", "%f", kFile}},
    {"TwoFileCodes", "viewer %f --again %u", kFile, Argv{"viewer", kFile, "--again", kFile}},
    // The path is data: nothing in it is quoting, splitting, a field code or a shell word.
    {"PathWithShellWords", "viewer %f", "/tmp/$(touch x); rm -rf ~ && `id` | cat >y",
     Argv{"viewer", "/tmp/$(touch x); rm -rf ~ && `id` | cat >y"}},
    {"PathWithQuotes", "viewer %f", "/tmp/\"it's\" \\\"here\\\".txt",
     Argv{"viewer", "/tmp/\"it's\" \\\"here\\\".txt"}},
    {"PathWithFieldCode", "viewer %f", "/tmp/100%f %u.txt", Argv{"viewer", "/tmp/100%f %u.txt"}},
    {"PathWithNewline", "viewer", "/tmp/a\nb", Argv{"viewer", "/tmp/a\nb"}},
    {"QuotedFieldCode", R"(viewer "--in %f")", kFile, Argv{"viewer", "--in " + kFile}},
    {"Empty", "", kFile, std::nullopt},
    {"BlanksOnly", " \t ", kFile, std::nullopt},
    {"UnterminatedQuote", R"(viewer "--open %f)", kFile, std::nullopt},
    {"UnknownCode", "viewer %x %f", kFile, std::nullopt},
    {"TrailingPercent", "viewer %f %", kFile, std::nullopt},
    {"FileAsProgram", "%f", kFile, std::nullopt},
    {"FileInProgram", "/usr/bin/%f --x", kFile, std::nullopt},
    {"DroppedProgram", "%i viewer %f", kFile, std::nullopt},
    {"EmptyProgram", R"("" %f)", kFile, std::nullopt},
};

class SplitExecLineTest : public testing::TestWithParam<ExecCase> {};

TEST_P(SplitExecLineTest, Splits) {
  EXPECT_EQ(SplitExecLine(GetParam().exec, GetParam().file), GetParam().want)
      << "exec: " << GetParam().exec;
}

INSTANTIATE_TEST_SUITE_P(Lines, SplitExecLineTest, testing::ValuesIn(kExecCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UnescapeStringValueTest, UndoesTheStringEscapes) {
  struct Row {
    std::string raw;
    std::string want;
  };
  const std::vector<Row> rows = {
      {R"(a\sb)", "a b"},   {R"(\n\t\r)", "\n\t\r"}, {R"(\\s)", R"(\s)"},  // an escaped backslash,
                                                                           // then a plain 's'
      {R"(\\\s)", R"(\ )"}, {R"(\q\")", R"(\q\")"},  {R"(end\)", R"(end\)"}, {"plain", "plain"},
  };
  for (const Row& row : rows) EXPECT_EQ(UnescapeStringValue(row.raw), row.want) << row.raw;
}

// A value as written in a file goes through both layers: string escapes, then Exec quoting.
TEST(SplitExecLineTest, StringEscapesComeBeforeQuoting) {
  EXPECT_EQ(SplitExecLine(UnescapeStringValue(R"(viewer "a\\\\b" %f)"), kFile),
            (Argv{"viewer", R"(a\b)", kFile}));
  EXPECT_EQ(SplitExecLine(UnescapeStringValue(R"(viewer "a\sb" %f)"), kFile),
            (Argv{"viewer", "a b", kFile}));
  EXPECT_EQ(SplitExecLine(UnescapeStringValue(R"(viewer a\sb)"), kFile),
            (Argv{"viewer", "a", "b", kFile}));
}

TEST(ReadDesktopEntryTest, ReadsTheKeysOfFixtureEntries) {
  const std::string folder = PELRION_FIXTURES "/xdg/";
  const std::optional<DesktopEntry> home =
      ReadDesktopEntry(folder + "home/applications/homeview.desktop");
  ASSERT_TRUE(home);
  EXPECT_EQ(home->type, "Application");
  EXPECT_EQ(home->exec, "present-viewer --title \"Home View\" %f");
  EXPECT_EQ(home->try_exec, "");
  EXPECT_FALSE(home->hidden);

  const std::optional<DesktopEntry> hidden =
      ReadDesktopEntry(folder + "sys/applications/hidden.desktop");
  ASSERT_TRUE(hidden);
  EXPECT_TRUE(hidden->hidden);

  const std::optional<DesktopEntry> recorder =
      ReadDesktopEntry(folder + "sys/applications/recorder.desktop");
  ASSERT_TRUE(recorder);
  EXPECT_EQ(recorder->try_exec, "record-args");

  EXPECT_EQ(ReadDesktopEntry(folder + "sys/applications/absent.desktop"), std::nullopt);
  EXPECT_EQ(ReadDesktopEntry(folder + "sys/applications/mimeinfo.cache"), std::nullopt);
}

}  // namespace
}  // namespace pelrion::platform
