#include "mailformat/addresses.h"

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

// --- ParseAddressList -------------------------------------------------------------------------

struct ParseRow {
  std::string name;
  std::string value;
  bool decode_names;
  std::vector<std::string> names;
  std::vector<std::string> addresses;
};

class ParseAddressListTest : public testing::TestWithParam<ParseRow> {};

TEST_P(ParseAddressListTest, Parses) {
  const ParsedAddressList got = ParseAddressList(GetParam().value, GetParam().decode_names);
  EXPECT_EQ(got.addresses, GetParam().addresses);
  EXPECT_EQ(got.names, GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseAddressListTest,
    testing::Values(
        ParseRow{"QuotedCommaDoesNotSplitNamesAsWritten",
                 R"("Doe, John" <John.Doe@Example.COM>, jane@example.org)",
                 false,
                 {R"("Doe, John")", ""},
                 {"john.doe@example.com", "jane@example.org"}},
        ParseRow{"QuotedCommaDoesNotSplitNamesDecoded",
                 R"("Doe, John" <John.Doe@Example.COM>, jane@example.org)",
                 true,
                 {"Doe, John", ""},
                 {"john.doe@example.com", "jane@example.org"}},
        ParseRow{"BareAddressLowerCased", " User@Example.COM", false, {""}, {"user@example.com"}},
        ParseRow{"UndisclosedRecipientsIsEmpty", "Undisclosed recipients:;", false, {}, {}},
        ParseRow{
            "CommentDropped", "a@b.c (Alice Example), d@e.f", false, {"", ""}, {"a@b.c", "d@e.f"}},
        ParseRow{"CommentInsideNameDropped",
                 "John (the man) Doe <j@x.org>",
                 false,
                 {"John Doe"},
                 {"j@x.org"}},
        ParseRow{"CommentWithEscapedParen",
                 R"(a@b.c (x \) y), d@e.f)",
                 false,
                 {"", ""},
                 {"a@b.c", "d@e.f"}},
        ParseRow{"QuotedLocalPartStaysWithDomain",
                 R"("John Doe"@Example.com)",
                 false,
                 {""},
                 {R"("john doe"@example.com)"}},
        ParseRow{
            "QuotedLocalPartInAngles", R"(Ann <"a b"@x.org>)", false, {"Ann"}, {R"("a b"@x.org)"}},
        ParseRow{"NameWordsJoinedBySingleSpaces",
                 "John \t Q.   Public <JQP@x.org>",
                 false,
                 {"John Q. Public"},
                 {"jqp@x.org"}},
        ParseRow{"AngleAddressTrimmed", "Ann < Ann@X.org >", false, {"Ann"}, {"ann@x.org"}},
        ParseRow{"EmptyAngleAddress", "<>", false, {""}, {""}},
        ParseRow{"CommaInsideAngles", "<a,b@x.org>", false, {""}, {"a,b@x.org"}},
        ParseRow{
            "GroupLabelDropped", "Friends: a@b.c, D@E.F;", false, {"", ""}, {"a@b.c", "d@e.f"}},
        ParseRow{"GroupThenMailbox",
                 "Team: Ann <ann@x.org>;, bob@y.org",
                 false,
                 {"Ann", ""},
                 {"ann@x.org", "bob@y.org"}},
        ParseRow{"SemicolonDoesNotCloseGroup", "a@b.c; d@e.f", false, {"a@b.c"}, {"d@e.f"}},
        ParseRow{"LastWordIsTheAddress", "John Doe", false, {"John"}, {"doe"}},
        ParseRow{"AngleInsideWordDoesNotSplit", "ann<Ann@x.org>", false, {""}, {"ann<ann@x.org>"}},
        ParseRow{"QuoteNotFollowedByAtEndsToken",
                 R"("Ann"x <a@x.org>)",
                 false,
                 {R"("Ann" x)"},
                 {"a@x.org"}},
        ParseRow{"EscapedQuotesAsWritten",
                 R"("A \"B\" C" <a@x.org>)",
                 false,
                 {R"("A \"B\" C")"},
                 {"a@x.org"}},
        ParseRow{
            "EscapedQuotesDecoded", R"("A \"B\" C" <a@x.org>)", true, {R"(A "B" C)"}, {"a@x.org"}},
        ParseRow{"EncodedWordAsWritten",
                 "=?iso-8859-1?Q?Caf=E9?= <Cafe@x.org>",
                 false,
                 {"=?iso-8859-1?Q?Caf=E9?="},
                 {"cafe@x.org"}},
        ParseRow{"EncodedWordDecoded",
                 "=?iso-8859-1?Q?Caf=E9?= <Cafe@x.org>",
                 true,
                 {"Caf\xE9"},
                 {"cafe@x.org"}},
        ParseRow{"EightBitBytesNotLowerCased", "\xC4NN@X.ORG", false, {""}, {"\xC4nn@x.org"}},
        ParseRow{"EmptyGroupsSkipped", " , ,a@b.c,, ", false, {""}, {"a@b.c"}},
        ParseRow{"Empty", "", false, {}, {}}),
    RowName<ParseRow>);

// Unterminated tokens end parsing: the open group is dropped, earlier groups are kept.
INSTANTIATE_TEST_SUITE_P(
    Malformed, ParseAddressListTest,
    testing::Values(
        ParseRow{"UnclosedAngleDropsItsGroup", "Alice <alice@x.org", false, {}, {}},
        ParseRow{"UnclosedAngleKeepsEarlierGroups",
                 "bob@y.org, Alice <alice@x.org",
                 false,
                 {""},
                 {"bob@y.org"}},
        ParseRow{"UnclosedQuote", R"(ann@x.org, "Unclosed <b@y.org>)", false, {""}, {"ann@x.org"}},
        ParseRow{"QuoteClosedOnlyByEscapedQuote", R"("abc\")", false, {}, {}},
        // A quote after an escaped backslash still counts as escaped: the string stays open.
        ParseRow{"QuoteAfterEscapedBackslashStaysOpen", R"("x\\" <a@x.org>)", false, {}, {}},
        ParseRow{"UnclosedComment", "ann@x.org, b@y.org (open", false, {""}, {"ann@x.org"}},
        ParseRow{"CommentClosedOnlyByEscapedParen", R"(a@b.c (x\))", false, {}, {}},
        ParseRow{"LoneQuote", "\"", false, {}, {}}, ParseRow{"LoneParen", "(", false, {}, {}},
        ParseRow{"LoneAngle", "<", false, {}, {}},
        ParseRow{"LoneClosingAngleIsAWord", ">", false, {""}, {">"}},
        ParseRow{"ColonsAndSemicolonsOnly", ":;:;", false, {}, {}},
        ParseRow{"QuoteAtEndBeforeAt", "\"x\"@", false, {""}, {"\"x\"@"}},
        ParseRow{"NulBytes", "a\0b@c"s, false, {""}, {"a\0b@c"s}}),
    RowName<ParseRow>);

// A name quoted for an outgoing header must come back unchanged when parsed with decoding.
TEST(AddressRoundTripTest, QuotedNameSurvivesParse) {
  const char* names[] = {"Ann",       "John Q. Public", R"(Say "hi")",    R"(back\slash)",
                         "Doe, John", "a;b:c<d>",       "Caf\xE9 au lait"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string value = QuotePhraseIfNeeded(name) + " <ann@x.org>";
    const ParsedAddressList got = ParseAddressList(value, true);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got.names[0], name);
    EXPECT_EQ(got.addresses[0], "ann@x.org");
  }
}

// --- ExtractAngleAddress ----------------------------------------------------------------------

TEST(ExtractAngleAddressTest, Values) {
  struct Row {
    const char* name;
    const char* value;
    std::optional<std::string> want;
  };
  const Row rows[] = {
      {"LowerCased", "<John@Example.COM>", "john@example.com"},
      {"OuterAndInnerWhiteSpaceTrimmed", " \t< a@b.c >\r\n", "a@b.c"},
      {"EmptyAngles", "<>", ""},
      {"BareAddress", "a@b.c", std::nullopt},
      {"NameBeforeAngles", "Ann <a@b.c>", std::nullopt},
      {"TextAfterAngles", "<a@b.c> x", std::nullopt},
      {"NoClosingAngle", "<a@b.c", std::nullopt},
      {"LoneOpeningAngle", "<", std::nullopt},
      {"LoneClosingAngle", ">", std::nullopt},
      {"Empty", "", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ExtractAngleAddress(row.value), row.want);
  }
}

// --- IsSystemSender, IsValidAddress, DomainOf -------------------------------------------------

TEST(AddressPredicatesTest, IsSystemSender) {
  struct Row {
    const char* name;
    const char* address;
    bool want;
  };
  const Row rows[] = {
      {"Empty", "", true},
      {"MailerDaemon", "mailer-daemon@mx.example.org", true},
      {"Postmaster", "postmaster@example.org", true},
      {"PostmasterNothingAfterAt", "postmaster@", true},
      {"UpperCaseNotMatched", "MAILER-DAEMON@example.org", false},
      {"WithoutAt", "mailer-daemon", false},
      {"PrefixedLocalPart", "xpostmaster@example.org", false},
      {"Ordinary", "bob@example.org", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsSystemSender(row.address), row.want);
  }
}

TEST(AddressPredicatesTest, IsValidAddressAndDomainOf) {
  struct Row {
    const char* name;
    const char* address;
    bool valid;
    const char* domain;
  };
  const Row rows[] = {
      {"Ordinary", "a@b.c", true, "b.c"},
      {"AtFirst", "@b.c", false, "b.c"},
      {"AtLast", "a@", false, ""},
      {"NoAt", "abc", false, ""},
      {"Empty", "", false, ""},
      {"LoneAt", "@", false, ""},
      {"SecondAtBelongsToDomain", "a@b@c", true, "b@c"},
      {"DoubleAtNotLast", "a@@", true, "@"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsValidAddress(row.address), row.valid);
    EXPECT_EQ(DomainOf(row.address), row.domain);
  }
}

// --- UnquoteString, QuotePhraseIfNeeded -------------------------------------------------------

TEST(QuotingTest, UnquoteString) {
  struct Row {
    const char* name;
    const char* quoted;
    const char* want;
  };
  const Row rows[] = {
      {"Plain", R"("abc")", "abc"},
      {"EscapedQuote", R"("a\"b")", R"(a"b)"},
      {"EscapedBackslash", R"("a\\b")", R"(a\b)"},
      {"EscapedOrdinaryCharacter", R"("\a")", "a"},
      {"EmptyQuotes", R"("")", ""},
      {"AnyOuterBytesDropped", "'x'", "x"},
      {"LoneTrailingBackslashDropped", R"("abc\")", "abc"},
      {"SingleByte", "\"", ""},
      {"Empty", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(UnquoteString(row.quoted), row.want);
  }
}

TEST(QuotingTest, QuotePhraseIfNeeded) {
  struct Row {
    const char* name;
    std::string phrase;
    std::string want;
  };
  const Row rows[] = {
      {"SpacesAndFullStop", "John Q. Public", R"("John Q. Public")"},
      {"DoubleQuoteEscaped", R"(say "hi")", R"("say \"hi\"")"},
      {"BackslashEscaped", R"(a\b)", R"("a\\b")"},
      {"LettersAndDigitsUnchanged", "abc123", "abc123"},
      {"AtomCharactersUnchanged", "a-b_c+d=e!f#g$h%i&j'k*l/m?n^o`p{q|r}s~t",
       "a-b_c+d=e!f#g$h%i&j'k*l/m?n^o`p{q|r}s~t"},
      {"EightBitUnchanged", "Caf\xE9", "Caf\xE9"},
      {"TabNeedsQuotes", "a\tb", "\"a\tb\""},
      {"CrNeedsQuotes", "a\rb", "\"a\rb\""},
      {"Empty", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(QuotePhraseIfNeeded(row.phrase), row.want);
  }
}

TEST(QuotingTest, EverySpecialNeedsQuotes) {
  for (const char special : std::string_view("()<>[]:;@\\,.\"")) {
    const std::string phrase = std::string("a") + special + "b";
    SCOPED_TRACE(phrase);
    const std::string escaped = (special == '"' || special == '\\') ? "\\" : "";
    EXPECT_EQ(QuotePhraseIfNeeded(phrase), "\"a" + escaped + special + "b\"");
  }
}

// --- JoinDisplayNames, JoinNameAddressList ----------------------------------------------------

TEST(JoinTest, Joins) {
  struct Row {
    const char* name;
    std::vector<std::string> names;
    std::vector<std::string> addresses;
    const char* display;
    const char* name_address;
  };
  const Row rows[] = {
      {"NameAndBareAddress",
       {"Ann", ""},
       {"ann@x.org", "bob@y.org"},
       "Ann; bob@y.org",
       "Ann <ann@x.org>; bob@y.org"},
      {"Single", {"Ann Lee"}, {"ann@x.org"}, "Ann Lee", "Ann Lee <ann@x.org>"},
      {"OnlyAddresses", {"", "", ""}, {"a@x", "b@y", "c@z"}, "a@x; b@y; c@z", "a@x; b@y; c@z"},
      {"Empty", {}, {}, "", ""},
      {"MissingNamesCountAsEmpty",
       {"Ann"},
       {"ann@x.org", "bob@y.org"},
       "Ann; bob@y.org",
       "Ann <ann@x.org>; bob@y.org"},
      {"SurplusNamesIgnored", {"Ann", "Bob"}, {"ann@x.org"}, "Ann", "Ann <ann@x.org>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(JoinDisplayNames(row.names, row.addresses), row.display);
    EXPECT_EQ(JoinNameAddressList(row.names, row.addresses), row.name_address);
  }
}

TEST(JoinTest, JoinsParsedList) {
  const ParsedAddressList list =
      ParseAddressList(R"("Doe, John" <John@X.org>, ann@y.org (Ann))", true);
  EXPECT_EQ(JoinDisplayNames(list), "Doe, John; ann@y.org");
  EXPECT_EQ(JoinNameAddressList(list), "Doe, John <john@x.org>; ann@y.org");
}

}  // namespace
}  // namespace pelrion::mailformat
