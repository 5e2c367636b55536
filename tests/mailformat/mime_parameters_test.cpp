#include "mailformat/mime_parameters.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace pelrion::mailformat {
namespace {

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info) {
  return info.param.name;
}

MimeParameters Params(std::vector<std::string> names, std::vector<std::string> values) {
  return MimeParameters{std::move(names), std::move(values)};
}

std::string Describe(const MimeParameters& p) {
  std::string out;
  for (std::size_t i = 0; i < p.size(); ++i) out += "[" + p.names[i] + "=" + p.values[i] + "]";
  return out;
}

// --- ParseContentType -------------------------------------------------------------------------

struct ContentTypeRow {
  std::string name;
  std::string value;
  std::optional<ContentType> want;
};

class ParseContentTypeTest : public testing::TestWithParam<ContentTypeRow> {};

TEST_P(ParseContentTypeTest, Parses) {
  const std::optional<ContentType> got = ParseContentType(GetParam().value);
  const std::optional<ContentType>& want = GetParam().want;
  ASSERT_EQ(got.has_value(), want.has_value());
  if (!want) return;
  EXPECT_EQ(got->type, want->type);
  EXPECT_EQ(got->subtype, want->subtype);
  EXPECT_EQ(got->parameters, want->parameters)
      << "got " << Describe(got->parameters) << ", want " << Describe(want->parameters);
}

INSTANTIATE_TEST_SUITE_P(
    Good, ParseContentTypeTest,
    testing::Values(
        ContentTypeRow{"Plain", "text/plain", ContentType{"text", "plain", {}}},
        ContentTypeRow{"LowerCased", " TEXT/HTML", ContentType{"text", "html", {}}},
        ContentTypeRow{"BlanksAroundSlash", "\t text \t/ plain  ",
                       ContentType{"text", "plain", {}}},
        ContentTypeRow{"OneParameter", "text/plain; charset=us-ascii",
                       ContentType{"text", "plain", Params({"charset"}, {"us-ascii"})}},
        ContentTypeRow{"QuotedBoundaryKeepsCase", "multipart/mixed; BOUNDARY=\"=_Part A\"",
                       ContentType{"multipart", "mixed", Params({"BOUNDARY"}, {"=_Part A"})}},
        ContentTypeRow{
            "SeveralParametersInOrder", "image/png; name=a.png ; x = y;z=\"1\"",
            ContentType{"image", "png", Params({"name", "x", "z"}, {"a.png", "y", "1"})}},
        ContentTypeRow{"SpaceIsNotATSpecial", "text/plain charset=x",
                       ContentType{"text", "plain charset", {}}},
        ContentTypeRow{"ParametersNeedSemicolonRightAfterSubtype", "text/plain (c); a=b",
                       ContentType{"text", "plain", {}}},
        ContentTypeRow{"EmptyParameterList", "text/plain;", ContentType{"text", "plain", {}}},
        ContentTypeRow{"EightBitBytesKept", "x-\xe9/y\xff", ContentType{"x-\xe9", "y\xff", {}}}),
    RowName<ContentTypeRow>);

INSTANTIATE_TEST_SUITE_P(
    Malformed, ParseContentTypeTest,
    testing::Values(ContentTypeRow{"Empty", "", std::nullopt},
                    ContentTypeRow{"NoSlash", "text", std::nullopt},
                    ContentTypeRow{"OtherTSpecialBeforeSlash", "text;plain", std::nullopt},
                    ContentTypeRow{"EmptyType", "  /plain", std::nullopt},
                    ContentTypeRow{"EmptySubtype", "text/", std::nullopt},
                    ContentTypeRow{"BlankSubtype", "text/  ; a=b", std::nullopt},
                    ContentTypeRow{"SecondSlash", "text//plain", std::nullopt}),
    RowName<ContentTypeRow>);

// --- ParseDisposition -------------------------------------------------------------------------

struct DispositionRow {
  std::string name;
  std::string value;
  std::optional<Disposition> want;
};

class ParseDispositionTest : public testing::TestWithParam<DispositionRow> {};

TEST_P(ParseDispositionTest, Parses) {
  const std::optional<Disposition> got = ParseDisposition(GetParam().value);
  const std::optional<Disposition>& want = GetParam().want;
  ASSERT_EQ(got.has_value(), want.has_value());
  if (!want) return;
  EXPECT_EQ(got->type, want->type);
  EXPECT_EQ(got->parameters, want->parameters)
      << "got " << Describe(got->parameters) << ", want " << Describe(want->parameters);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseDispositionTest,
    testing::Values(DispositionRow{"Attachment", "attachment", Disposition{"attachment", {}}},
                    DispositionRow{"InlineLowerCased", "  INLINE ", Disposition{"inline", {}}},
                    DispositionRow{"FileName", "attachment; filename=\"a b.pdf\"",
                                   Disposition{"attachment", Params({"filename"}, {"a b.pdf"})}},
                    DispositionRow{"TypeEndsAtAnyTSpecial", "attachment/x; a=b",
                                   Disposition{"attachment", {}}},
                    DispositionRow{"Empty", "", std::nullopt},
                    DispositionRow{"OnlyBlanks", " \t ", std::nullopt},
                    DispositionRow{"StartsWithTSpecial", "; filename=a", std::nullopt}),
    RowName<DispositionRow>);

// --- ParseParameters --------------------------------------------------------------------------

struct ParametersRow {
  std::string name;
  std::string text;
  MimeParameters want;
};

class ParseParametersTest : public testing::TestWithParam<ParametersRow> {};

TEST_P(ParseParametersTest, Parses) {
  const MimeParameters got = ParseParameters(GetParam().text);
  EXPECT_EQ(got, GetParam().want) << "got " << Describe(got) << ", want "
                                  << Describe(GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Good, ParseParametersTest,
    testing::Values(
        ParametersRow{"Empty", "", {}}, ParametersRow{"One", "a=b", Params({"a"}, {"b"})},
        ParametersRow{"NamesKeepCase", " Name=X;CharSet=Y",
                      Params({"Name", "CharSet"}, {"X", "Y"})},
        ParametersRow{"TrailingBlanksTrimmed", "a = b  ; c=d\t", Params({"a", "c"}, {"b", "d"})},
        ParametersRow{"QuotedWithTSpecials", "a=\"x;y=z\"; b=1",
                      Params({"a", "b"}, {"x;y=z", "1"})},
        ParametersRow{"EscapedQuoteInsideQuotes", "a=\"say \\\"hi\\\"\"",
                      Params({"a"}, {"say \"hi\""})},
        ParametersRow{"TextAfterClosingQuoteIgnored", "a=\"x\" junk; b=2",
                      Params({"a", "b"}, {"x", "2"})},
        ParametersRow{"EmptyQuotedValue", "filename=\"\"", Params({"filename"}, {""})},
        ParametersRow{"EmptyUnquotedValue", "a=;b=c", Params({"a", "b"}, {"", "c"})},
        ParametersRow{"RepeatedNameKeptTwice", "a=1; A=2", Params({"a", "A"}, {"1", "2"})},
        ParametersRow{"UnquotedValueEndsAtTSpecial", "a=x/y; b=2", Params({"a"}, {"x"})}),
    RowName<ParametersRow>);

INSTANTIATE_TEST_SUITE_P(
    Malformed, ParseParametersTest,
    testing::Values(ParametersRow{"NameWithoutEquals", "abc", {}},
                    ParametersRow{"NameEndedByOtherTSpecial", "a:b=c", {}},
                    ParametersRow{"EmptyName", "=b; c=d", {}},
                    ParametersRow{"UnterminatedQuoteDropsPair", "a=1; b=\"open",
                                  Params({"a"}, {"1"})},
                    ParametersRow{"QuoteEscapedAtEndIsUnterminated", "a=\"x\\\"", {}},
                    ParametersRow{"StopsWithoutSemicolon", "a=1 b=2", Params({"a"}, {"1 b"})},
                    ParametersRow{"StopsAfterBadSecondName", "a=1; b; c=3", Params({"a"}, {"1"})},
                    ParametersRow{"TrailingSemicolon", "a=1;", Params({"a"}, {"1"})}),
    RowName<ParametersRow>);

TEST(FindParameterTest, MatchesNamesIgnoringCaseAndTakesTheFirst) {
  const MimeParameters params =
      Params({"Charset", "BOUNDARY", "boundary"}, {"x", "first", "second"});
  struct Row {
    const char* name;
    std::optional<std::string> want;
  };
  const std::vector<Row> rows = {{"charset", "x"},      {"CHARSET", "x"},
                                 {"boundary", "first"}, {"name", std::nullopt},
                                 {"", std::nullopt},    {"charse", std::nullopt}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(FindParameter(params, row.name), row.want);
  }
}

// RFC 2231 forms, parsed from a parameter text as they arrive and looked up by the plain name.
TEST(FindParameterTest, DecodesExtendedValuesAndContinuations) {
  struct Row {
    const char* label;
    std::string parameters;
    std::optional<std::string> want;  // of FindParameter(..., "name")
  };
  const std::vector<Row> rows = {
      {"extended, bytes kept raw", "name*=utf-8'en'%E2%82%AC%20rates.pdf",
       std::string("\xE2\x82\xAC rates.pdf")},
      {"extended without language", "NAME*=iso-8859-1''caf%E9.txt", std::string("caf\xE9.txt")},
      {"extended wins over the plain stand-in", "name=\"fallback.pdf\"; name*=utf-8''real%2Epdf",
       std::string("real.pdf")},
      {"plain alone", "name=plain.txt", std::string("plain.txt")},
      {"sections joined in number order", "name*1=\"b c\"; name*0=a; name*2=d",
       std::string("ab cd")},
      {"encoded sections, charset only in the first",
       "name*0*=utf-8''%C3%A9t%C3%A9; name*1*=%20r%C3%A9sum%C3%A9; name*2=.pdf",
       std::string("\xC3\xA9t\xC3\xA9 r\xC3\xA9sum\xC3\xA9.pdf")},
      {"a gap ends the value", "name*0=a; name*2=c", std::string("a")},
      {"no section 0: plain form used", "name*1=b; name=plain", std::string("plain")},
      {"no section 0 and no plain form", "name*1=b", std::nullopt},
      {"repeated number: first one counts", "name*0=a; name*0=x; name*1=b", std::string("ab")},
      {"leading zero is no section", "name*00=a; name=plain", std::string("plain")},
      {"broken percent escapes kept", "name*=''100%; name2=x", std::string("100%")},
      {"bad hex kept", "name*=''a%zzb%4", std::string("a%zzb%4")},
      {"no charset quotes: whole value decoded", "name*=a%41", std::string("aA")},
      {"other parameter with the same start", "names*=''x; name=plain", std::string("plain")},
      {"extended form of another parameter", "filename*=''x.txt", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_EQ(FindParameter(ParseParameters(row.parameters), "name"), row.want);
  }
}

// --- TransferEncodingCode ---------------------------------------------------------------------

struct EncodingRow {
  std::string name;
  std::string value;
  TransferEncoding want;
};

class TransferEncodingCodeTest : public testing::TestWithParam<EncodingRow> {};

TEST_P(TransferEncodingCodeTest, Codes) {
  EXPECT_EQ(TransferEncodingCode(GetParam().value), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TransferEncodingCodeTest,
    testing::Values(EncodingRow{"SevenBit", "7bit", TransferEncoding::k7Bit},
                    EncodingRow{"EightBitUpper", "8BIT", TransferEncoding::k8Bit},
                    EncodingRow{"Base64MixedCase", "BaSe64", TransferEncoding::kBase64},
                    EncodingRow{"QuotedPrintable", "Quoted-Printable",
                                TransferEncoding::kQuotedPrintable},
                    EncodingRow{"LeadingBlanks", " \t base64", TransferEncoding::kBase64},
                    EncodingRow{"FollowedBySpace", "base64 (comment)", TransferEncoding::kBase64},
                    EncodingRow{"FollowedByTab", "7bit\tx", TransferEncoding::k7Bit},
                    EncodingRow{"LongerWord", "base64x", TransferEncoding::kUndecodable},
                    EncodingRow{"FollowedBySemicolon", "base64;", TransferEncoding::kUndecodable},
                    EncodingRow{"XUuencode", "x-uuencode", TransferEncoding::kUndecodable},
                    EncodingRow{"Binary", "binary", TransferEncoding::kUndecodable},
                    EncodingRow{"Empty", "", TransferEncoding::kUndecodable},
                    EncodingRow{"Prefix", "quoted", TransferEncoding::kUndecodable}),
    RowName<EncodingRow>);

}  // namespace
}  // namespace pelrion::mailformat
