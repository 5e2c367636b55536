// The bounce check over the findings of a notification, and the reply check over whole
// messages written and scanned as the download does.
#include "validation/arrival_checks.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mailformat/base64.h"
#include "mailformat/header_block.h"
#include "support/temp_dir.h"
#include "validation/arrival_analysis.h"
#include "validation/arrival_test_helpers.h"

namespace pelrion::validation {
namespace {

using arrival_testing::Crlf;
using arrival_testing::RecordingEvents;
using arrival_testing::Substitute;
using arrival_testing::WriteAndScan;

constexpr char kAddress[] = "john.doe@remote.example.com";

// The Sender-ID token of an address as a request carries it: Base64 of the address and its
// terminating zero byte, padding removed.
std::string TokenOf(std::string_view address) {
  std::string token = mailformat::Base64Encode(std::string(address) + '\0');
  while (!token.empty() && token.back() == '=') token.pop_back();
  return token;
}

std::string Tag() {
  return "[Sender-ID=" + TokenOf(kAddress) + "-12345]";
}

// Placeholders: "{TAG}" a valid tag for kAddress and request number 12345, "{TOKEN}" its
// token, "{BARE_TOKEN}" the token of the address without its zero byte, "{B_SUBJECT}" a
// subject holding the tag in one Base64 encoded word.
std::string Expand(std::string text) {
  std::string bare_token = mailformat::Base64Encode(kAddress);
  while (!bare_token.empty() && bare_token.back() == '=') bare_token.pop_back();
  text = Substitute(text, "{B_SUBJECT}",
                    "=?utf-8?B?" + mailformat::Base64Encode("Re: H\xC3\xA9llo " + Tag()) + "?=");
  text = Substitute(text, "{TAG}", Tag());
  text = Substitute(text, "{BARE_TOKEN}", bare_token);
  return Substitute(text, "{TOKEN}", TokenOf(kAddress));
}

mailformat::HeaderList HeadersOf(std::string text) {
  text = Crlf(text);
  mailformat::UnfoldHeaderBlock(text);
  return mailformat::SplitHeaderBlock(text);
}

// ---------------------------------------------------------------------------------------
// CheckBounce

struct BounceRow {
  std::string name;
  // Exactly one of these describes the notification's findings.
  std::optional<std::string> returned_headers;
  std::optional<std::string> report_text;
  bool consumed;
  bool bounced;  // RequestBounced(kAddress, 12345) reported
};

class CheckBounceTest : public testing::TestWithParam<BounceRow> {};

TEST_P(CheckBounceTest, ConsumesBouncesOfRequests) {
  const BounceRow& row = GetParam();
  DeliveryReport report;
  report.is_delivery_status_notification = true;
  if (row.returned_headers) {
    report.returned_headers_found = true;
    report.returned_headers = HeadersOf(Expand(*row.returned_headers));
  }
  if (row.report_text) {
    report.report_text_used = true;
    report.report_text = Crlf(Expand(*row.report_text));
  }
  RecordingEvents events;
  const store::MessageRecord message;
  EXPECT_EQ(CheckBounce(message, report, events), row.consumed);
  EXPECT_TRUE(events.replies.empty());
  if (row.bounced) {
    ASSERT_EQ(events.bounces.size(), 1u);
    EXPECT_EQ(events.bounces[0].address, kAddress);
    EXPECT_EQ(events.bounces[0].number, 12345);
  } else {
    EXPECT_TRUE(events.bounces.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    ReturnedHeaders, CheckBounceTest,
    testing::Values(
        BounceRow{"AuthReqField",
                  "Subject: Re: Hello {TAG}\nX-KVX-AuthReq: 1\n"
                  "Message-ID: <rewritten@relay.example.org>\n",
                  std::nullopt, true, true},
        BounceRow{"RequestMessageId",
                  "Subject: Re: Hello {TAG}\nMessage-id: <KVX.R.S-abc.0011223344556677@desk>\n",
                  std::nullopt, true, true},
        BounceRow{"FoldedTag",
                  "Subject: Re: Hello [Sender-ID=\n {TOKEN}-12345]\nX-KVX-AuthReq: 1\n",
                  std::nullopt, true, true},
        BounceRow{"NoSubject", "X-KVX-AuthReq: 1\n", std::nullopt, true, false},
        BounceRow{"NumberZero", "Subject: Re: Hello [Sender-ID={TOKEN}-0]\nX-KVX-AuthReq: 1\n",
                  std::nullopt, true, false},
        BounceRow{"SubjectWithoutTag", "Subject: Re: Hello\nX-KVX-AuthReq: 1\n", std::nullopt, true,
                  false},
        BounceRow{"OwnIdWithoutRequestPair",
                  "Subject: Re: Hello {TAG}\nMessage-id: <KVX.U-USR0A1B2C3D.S-abc.00@desk>\n",
                  std::nullopt, false, false},
        BounceRow{"ForeignMessage", "Subject: Re: Hello {TAG}\nMessage-ID: <1@example.org>\n",
                  std::nullopt, false, false},
        BounceRow{"TagWithoutRequestMark", "Subject: Re: Hello {TAG}\n", std::nullopt, false,
                  false}),
    [](const testing::TestParamInfo<BounceRow>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    ReportText, CheckBounceTest,
    testing::Values(
        BounceRow{"QuotesAuthReqField", std::nullopt,
                  "This is a copy of the message.\n\nSubject: Re: Hello {TAG}\nX-KVX-AuthReq: 1\n",
                  true, true},
        BounceRow{
            "QuotesRequestId", std::nullopt,
            "  Subject: Re: Hello {TAG}\n  MESSAGE-ID:\n\t<KVX.R.S-abc.0011223344556677@desk>\n",
            true, true},
        BounceRow{"QuotesRequestIdOnly", std::nullopt,
                  "Message-Id: <KVX.R.S-abc.0011223344556677@desk>\n", true, false},
        BounceRow{"TagBeforeTheQuotedId", std::nullopt,
                  "{TAG}\nMessage-Id: <KVX.R.S-abc.0011223344556677@desk>\n", true, true},
        BounceRow{"QuotesOwnIdWithoutRequestPair", std::nullopt,
                  "Subject: Re: Hello {TAG}\nMessage-Id: <KVX.U-USR0A1B2C3D.S-abc.00@desk>\n",
                  false, false},
        BounceRow{"OnlyTheFirstQuotedIdCounts", std::nullopt,
                  "Message-ID: <1@example.org>\nSubject: Re: {TAG}\n"
                  "Message-ID: <KVX.R.S-abc.00@desk>\n",
                  false, false},
        BounceRow{"IdWithoutAngle", std::nullopt,
                  "Subject: {TAG}\nMessage-ID: KVX.R.S-abc.00@desk\n", false, false},
        BounceRow{"UnclosedAngle", std::nullopt, "Subject: {TAG}\nMessage-ID: <KVX.R.S-abc.00@desk",
                  false, false},
        BounceRow{"AuthReqNameInOtherCase", std::nullopt, "Subject: {TAG}\nx-kvx-authreq: 1\n",
                  false, false},
        BounceRow{"TagAloneIsNotEnough", std::nullopt, "Subject: Re: Hello {TAG}\n", false, false},
        BounceRow{"EmptyText", std::nullopt, "", false, false}),
    [](const testing::TestParamInfo<BounceRow>& info) { return info.param.name; });

TEST(CheckBounceTest, NotificationWithoutFindingsIsNotConsumed) {
  DeliveryReport report;
  report.is_delivery_status_notification = true;
  report.report_text = Expand("X-KVX-AuthReq: 1\nSubject: {TAG}\n");  // but not marked as used
  RecordingEvents events;
  EXPECT_FALSE(CheckBounce(store::MessageRecord(), report, events));
  EXPECT_TRUE(events.bounces.empty());
}

// ---------------------------------------------------------------------------------------
// CheckReply

struct ReplyRow {
  std::string name;
  std::string message;  // "{TAG}" and "{TOKEN}" expanded, LF turned into CR LF
  bool consumed;
  bool reported;
  std::string text;  // the reply text reported (LF turned into CR LF)
};

class CheckReplyTest : public testing::TestWithParam<ReplyRow> {
 protected:
  test_support::TempDir dir_;
};

TEST_P(CheckReplyTest, ConsumesRepliesCarryingATag) {
  const ReplyRow& row = GetParam();
  const std::string path = dir_ / "reply.eml";
  const std::string temp_folder = dir_.path() + "/";
  std::unique_ptr<store::MessageRecord> message =
      WriteAndScan(path, Crlf(Expand(row.message)), temp_folder);
  ClassificationInput input;
  std::string message_id;
  ASSERT_TRUE(AnalyseMessage(*message, path, temp_folder, input, message_id));

  RecordingEvents events;
  EXPECT_EQ(CheckReply(*message, path, events), row.consumed);
  EXPECT_TRUE(events.bounces.empty());
  if (row.reported) {
    ASSERT_EQ(events.replies.size(), 1u);
    EXPECT_EQ(events.replies[0].address, kAddress);
    EXPECT_EQ(events.replies[0].number, 12345);
    EXPECT_EQ(events.replies[0].text, Crlf(row.text));
  } else {
    EXPECT_TRUE(events.replies.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Decodable, CheckReplyTest,
    testing::Values(
        ReplyRow{"PlainReply",
                 "From: John <john.doe@remote.example.com>\nSubject: Re: Re: Hello {TAG}\n\n"
                 "Here I am.\n> code 123456\n",
                 true, true, "Here I am.\n> code 123456\n"},
        ReplyRow{"TagInEncodedWordsOfTheSubject",
                 "From: x@example.org\nSubject: {B_SUBJECT}\n\nyes\n", true, true, "yes\n"},
        ReplyRow{"FoldedSubject",
                 "From: x@example.org\nSubject: Re: Hello [Sender-ID=\n {TOKEN}-12345]\n\nok\n",
                 true, true, "ok\n"},
        ReplyRow{"TextIsTheFirstTextPartDecoded",
                 "From: x@example.org\nSubject: AW: {TAG}\nMIME-Version: 1.0\n"
                 "Content-Type: multipart/alternative; boundary=\"alt\"\n\n--alt\n"
                 "Content-Type: text/plain; charset=iso-8859-1\n"
                 "Content-Transfer-Encoding: quoted-printable\n\nCode: 654=\n321 =E9t=E9\n"
                 "--alt\nContent-Type: text/html\n\n<p>Code</p>\n--alt--\n",
                 true, true, "Code: 654321 \xE9t\xE9\n"},
        ReplyRow{"SinglePartMarkedInline",
                 "From: x@example.org\nSubject: Re: {TAG}\nMIME-Version: 1.0\n"
                 "Content-Type: text/plain\nContent-Disposition: inline\n\n654321\n",
                 true, true, "654321\n"},
        ReplyRow{"TextStopsAt4096Bytes",
                 "From: x@example.org\nSubject: {TAG}\n\n" + std::string(3000, 'a') + "\n" +
                     std::string(3000, 'b') + "\n",
                 true, true, std::string(3000, 'a') + "\n" + std::string(1094, 'b')}),
    [](const testing::TestParamInfo<ReplyRow>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    Undecodable, CheckReplyTest,
    testing::Values(
        ReplyRow{"NumberZero", "Subject: Re: x [Sender-ID={TOKEN}-0]\n\nbody\n", true, false, ""},
        ReplyRow{"LettersBeforeBracket", "Subject: Re: x [Sender-ID={TOKEN}-12345x]\n\nbody\n",
                 true, false, ""},
        ReplyRow{"TokenWithoutZeroByte", "Subject: Re: x [Sender-ID={BARE_TOKEN}-12345]\n\nb\n",
                 true, false, ""},
        ReplyRow{"NoClosingBracket", "Subject: Re: x [Sender-ID={TOKEN}-12345\n\nbody\n", true,
                 false, ""}),
    [](const testing::TestParamInfo<ReplyRow>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    NoTag, CheckReplyTest,
    testing::Values(ReplyRow{"OrdinaryMail", "Subject: Re: Hello\n\n{TAG}\n", false, false, ""},
                    ReplyRow{"TagNameInOtherCase",
                             "Subject: Re: x [sender-id={TOKEN}-12345]\n\nbody\n", false, false,
                             ""},
                    ReplyRow{"NoSubject", "From: x@example.org\n\n{TAG}\n", false, false, ""}),
    [](const testing::TestParamInfo<ReplyRow>& info) { return info.param.name; });

}  // namespace
}  // namespace pelrion::validation
