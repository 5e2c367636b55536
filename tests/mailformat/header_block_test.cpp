#include "mailformat/header_block.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pelrion::mailformat {
namespace {

using namespace std::string_literals;

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info) {
  return info.param.name;
}

// --- UnfoldHeaderBlock ------------------------------------------------------------------------

struct UnfoldRow {
  std::string name;
  std::string input;
  std::string want;
};

class UnfoldTest : public testing::TestWithParam<UnfoldRow> {};

TEST_P(UnfoldTest, Unfolds) {
  std::string text = GetParam().input;
  UnfoldHeaderBlock(text);
  EXPECT_EQ(text, GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UnfoldTest,
    testing::Values(
        UnfoldRow{"TabContinuation", "Subject: a\r\n\tb\r\n", "Subject: a b\r\n"},
        UnfoldRow{"SpaceContinuationKeepsAllWhiteSpace", "Subject: a\r\n   b\r\n",
                  "Subject: a   b\r\n"},
        UnfoldRow{"RunOfContinuationLinesJoins", "To: a,\r\n b,\r\n\tc\r\nX: y\r\n",
                  "To: a, b, c\r\nX: y\r\n"},
        UnfoldRow{"TabsInsideValuesBecomeSpaces", "X:\ta\t\tb\r\n", "X: a  b\r\n"},
        UnfoldRow{"UnfoldedFieldsUntouched", "A: 1\r\nB: 2\r\n", "A: 1\r\nB: 2\r\n"},
        UnfoldRow{"BlankLineEndingBlockStays", "A: 1\r\n\r\nbody", "A: 1\r\n\r\nbody"},
        UnfoldRow{"BlankLineBeforeContinuationLosesOneBreakOnly", "A: 1\r\n\r\n x", "A: 1\r\n x"},
        UnfoldRow{"FinalLineBreakStays", "A: 1\r\n", "A: 1\r\n"},
        UnfoldRow{"LoneLfBeforeSpaceStays", "A: 1\n 2\r\n", "A: 1\n 2\r\n"},
        UnfoldRow{"LoneCrBeforeSpaceStays", "A: 1\r 2\r\n", "A: 1\r 2\r\n"},
        UnfoldRow{"CrBeforeFoldKept", "A: 1\r\r\n 2", "A: 1\r 2"},
        UnfoldRow{"LeadingFold", "\r\n\tx", " x"},
        UnfoldRow{"EightBitBytesUntouched", "S: \xE9\r\n \xFF\r\n"s, "S: \xE9 \xFF\r\n"s},
        UnfoldRow{"NulBytesUntouched", "S: a\0b\r\n c"s, "S: a\0b c"s}, UnfoldRow{"Empty", "", ""}),
    RowName<UnfoldRow>);

// --- SplitHeaderBlock -------------------------------------------------------------------------

struct SplitRow {
  std::string name;
  std::string input;
  std::vector<std::string> names;
  std::vector<std::string> values;
};

class SplitTest : public testing::TestWithParam<SplitRow> {};

TEST_P(SplitTest, Splits) {
  const HeaderList got = SplitHeaderBlock(GetParam().input);
  EXPECT_EQ(got.names, GetParam().names);
  EXPECT_EQ(got.values, GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SplitTest,
    testing::Values(
        SplitRow{
            "TwoFields", "From: a@b.c\r\nSubject: hi\r\n", {"From", "Subject"}, {" a@b.c", " hi"}},
        SplitRow{"ValueKeepsLeadingSpaceAndLaterColons",
                 "Date: Tue, 6 Dec 2005 10:00:00 -0500\r\n",
                 {"Date"},
                 {" Tue, 6 Dec 2005 10:00:00 -0500"}},
        SplitRow{"NameKeptAsWritten", "SUBJECT : x\r\n", {"SUBJECT "}, {" x"}},
        SplitRow{"DuplicateNamesStaySeparate",
                 "Received: one\r\nReceived: two\r\n",
                 {"Received", "Received"},
                 {" one", " two"}},
        SplitRow{
            "LineWithoutColonJoinsNextName", "X-Bad\r\nFrom: x\r\n", {"X-Bad\r\nFrom"}, {" x"}},
        SplitRow{"LastLineWithoutLineBreakDropped", "A: 1\r\nB: 2", {"A"}, {" 1"}},
        SplitRow{"BlankLineEndingBlockYieldsNothing", "A: 1\r\n\r\n", {"A"}, {" 1"}},
        SplitRow{"EmptyValue", "X-Empty:\r\n", {"X-Empty"}, {""}},
        SplitRow{"EmptyName", ": x\r\n", {""}, {" x"}},
        SplitRow{"NoColonAnywhere", "no field here\r\n", {}, {}}, SplitRow{"Empty", "", {}, {}}),
    RowName<SplitRow>);

// Malformed blocks must come back as the documented fields, never crash or read past the text.
INSTANTIATE_TEST_SUITE_P(
    Malformed, SplitTest,
    testing::Values(SplitRow{"LfOnlyLineEnds", "A: 1\nB: 2\n", {}, {}},
                    SplitRow{"ColonAtVeryEnd", "A:", {}, {}},
                    SplitRow{"ColonThenLoneCr", "A: 1\r", {}, {}},
                    SplitRow{"OnlyLineBreaks", "\r\n\r\n\r\n", {}, {}},
                    SplitRow{"ColonsOnly", ":::\r\n", {""}, {"::"}},
                    SplitRow{"CrLfSplitAcrossColon", "A\r:\n", {}, {}},
                    SplitRow{"NulAndHighBytes", "A\0\xFF: \0v\r\n"s, {"A\0\xFF"s}, {" \0v"s}}),
    RowName<SplitRow>);

// --- FindHeader -------------------------------------------------------------------------------

class FindHeaderTest : public testing::Test {
 protected:
  FindHeaderTest() {
    std::string block =
        "Received: from a\r\n"
        "Subject: a\r\n\tb \r\n"
        "received: from b\r\n"
        "X-Empty:\r\n"
        "X-Space:   \r\n"
        "\r\n";
    UnfoldHeaderBlock(block);
    headers_ = SplitHeaderBlock(block);
  }
  HeaderList headers_;
};

TEST_F(FindHeaderTest, Lookups) {
  struct Row {
    const char* name;
    const char* field;
    bool trim;
    std::optional<std::string> want;
  };
  const Row rows[] = {
      {"UntrimmedAnyCase", "subject", false, " a b "},
      {"Trimmed", "SUBJECT", true, "a b"},
      {"FirstOfDuplicatesWins", "Received", false, " from a"},
      {"FirstOfDuplicatesWinsIgnoringCase", "RECEIVED", true, "from a"},
      {"NoPrefixMatch", "Subj", false, std::nullopt},
      {"NoLongerNameMatch", "Subject2", false, std::nullopt},
      {"TrailingSpaceInRequestNotIgnored", "Subject ", false, std::nullopt},
      {"EmptyValueIsFound", "X-Empty", false, ""},
      {"BlankValueTrimsToEmpty", "x-space", true, ""},
      {"Missing", "Cc", true, std::nullopt},
      {"EmptyNameMissing", "", false, std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FindHeader(headers_, row.field, row.trim), row.want);
  }
}

TEST(FindHeaderEmptyTest, NothingInEmptyList) {
  EXPECT_EQ(FindHeader(HeaderList{}, "From", true), std::nullopt);
}

// --- FindString -------------------------------------------------------------------------------

TEST(FindStringTest, Lookups) {
  const std::vector<std::string> list = {"To", "cc", "CC", "Message-id", ""};
  struct Row {
    const char* name;
    const char* text;
    bool ignore_case;
    std::ptrdiff_t want;
  };
  const Row rows[] = {
      {"ExactFirst", "To", false, 0},
      {"CaseSensitiveTakesExactSpelling", "CC", false, 2},
      {"IgnoreCaseTakesFirst", "CC", true, 1},
      {"IgnoreCaseMixed", "message-ID", true, 3},
      {"CaseSensitiveMismatch", "message-ID", false, -1},
      {"NoPrefixMatch", "Message", true, -1},
      {"EmptyEntryMatchesEmptyText", "", false, 4},
      {"Missing", "Bcc", true, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FindString(list, row.text, row.ignore_case), row.want);
  }
  EXPECT_EQ(FindString({}, "To", true), -1);
}

}  // namespace
}  // namespace pelrion::mailformat
