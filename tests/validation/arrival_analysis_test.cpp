// Arrival analysis over whole message files, written and scanned as the download does.
#include "validation/arrival_analysis.h"

#include <gtest/gtest.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "mailformat/header_block.h"
#include "platform/fatal_stop.h"
#include "support/temp_dir.h"
#include "validation/arrival_test_helpers.h"
#include "validation/request_marks.h"

namespace pelrion::validation {
namespace {

using arrival_testing::Crlf;
using arrival_testing::Substitute;
using arrival_testing::WriteAndScan;

struct Analysis {
  bool ok = false;
  std::unique_ptr<store::MessageRecord> record;
  ClassificationInput input;
  std::string message_id;
};

class ArrivalAnalysisTest : public testing::Test {
 protected:
  // Analyses `text` (LF line ends, turned into CR LF) as a freshly downloaded message.
  Analysis Analyse(std::string_view text) {
    Analysis result;
    const std::string path = dir_ / ("m" + std::to_string(++count_) + ".eml");
    result.record = WriteAndScan(path, Crlf(text), temp_folder());
    // What the analysis finds must not depend on what a previous message left behind.
    result.input.is_authorization_request = true;
    result.input.installation_mark = "stale";
    result.message_id = "stale";
    result.ok =
        AnalyseMessage(*result.record, path, temp_folder(), result.input, result.message_id);
    return result;
  }

  std::string temp_folder() const { return dir_.path() + "/"; }

  test_support::TempDir dir_;
  int count_ = 0;
};

// Seconds since 1970 of a UTC calendar time, computed by the C library.
mailformat::Timestamp Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return static_cast<mailformat::Timestamp>(timegm(&tm));
}

// ---------------------------------------------------------------------------------------
// The sender to validate.

struct SenderRow {
  std::string name;
  std::string headers;  // header lines without the ending empty line
  std::string address;
  std::string display_name;
  std::string display_name_decoded;
};

class SenderChoiceTest : public ArrivalAnalysisTest,
                         public testing::WithParamInterface<SenderRow> {};

TEST_P(SenderChoiceTest, PicksTheFirstFieldWithExactlyOneAddress) {
  const SenderRow& row = GetParam();
  const Analysis got = Analyse(row.headers + "\n\nbody\n");
  ASSERT_TRUE(got.ok);
  const store::MessageSummary& summary = got.record->summary;
  EXPECT_EQ(summary.sender_address(), row.address);
  EXPECT_EQ(summary.sender_name(), row.display_name);
  EXPECT_EQ(summary.sender_name_decoded(), row.display_name_decoded);
  EXPECT_TRUE(summary.has_strings);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SenderChoiceTest,
    testing::Values(
        SenderRow{"SenderBeatsFrom",
                  "Sender: list-bounces@lists.example.org\nFrom: ann@example.com",
                  "list-bounces@lists.example.org", "", ""},
        SenderRow{"SenderWithTwoAddressesFallsBackToFrom",
                  "Sender: a@example.com, b@example.com\nFrom: \"Bob Baker\" <Bob@Example.COM>",
                  "bob@example.com", "\"Bob Baker\"", "Bob Baker"},
        SenderRow{"SenderAfterFromStillWins",
                  "From: ann@example.com\nSender: \"Sec\" <sec@example.com>", "sec@example.com",
                  "\"Sec\"", "Sec"},
        SenderRow{"ReplyToWhenFromNamesTwo",
                  "From: a@example.com, b@example.com\nReply-To: Desk <desk@example.com>",
                  "desk@example.com", "Desk", "Desk"},
        SenderRow{"EmptyGroupIsSkipped", "Sender: undisclosed-recipients:;\nFrom: c@example.com",
                  "c@example.com", "", ""},
        SenderRow{"EncodedWordNameIsDecoded",
                  "From: =?iso-8859-1?Q?J=F6rg_M=FCller?= <joerg@example.de>", "joerg@example.de",
                  "=?iso-8859-1?Q?J=F6rg_M=FCller?=", "J\xF6rg M\xFCller"},
        SenderRow{"QuotedNameIsUnquotedNotDecoded",
                  "From: \"=?iso-8859-1?Q?x?= O\\\"Neil\" <p@example.ie>", "p@example.ie",
                  "\"=?iso-8859-1?Q?x?= O\\\"Neil\"", "=?iso-8859-1?Q?x?= O\"Neil"},
        SenderRow{"QuotedWordThenPlainWordIsUnquoted", "From: \"John\" Smith <js@example.com>",
                  "js@example.com", "\"John\" Smith", "John Smith"},
        SenderRow{"PlainWordThenQuotedWordIsUnquoted", "From: John \"Q.\" Public <jqp@example.com>",
                  "jqp@example.com", "John \"Q.\" Public", "John Q. Public"},
        SenderRow{"QuotedWordWithEscapedQuoteThenPlainWord",
                  "From: \"O\\\"Neil\" Jr <on@example.ie>", "on@example.ie", "\"O\\\"Neil\" Jr",
                  "O\"Neil Jr"},
        SenderRow{"QuotedWordThenEncodedWordEachDecoded",
                  "From: \"Dr.\" =?iso-8859-1?Q?J=F6rg?= <dr@example.de>", "dr@example.de",
                  "\"Dr.\" =?iso-8859-1?Q?J=F6rg?=", "Dr. J\xF6rg"},
        SenderRow{"CommentBetweenWordsIsDropped",
                  "From: \"John\" (the boss) Smith <js@example.com>", "js@example.com",
                  "\"John\" Smith", "John Smith"},
        SenderRow{"FieldNamesMatchInAnyCase", "FROM: Ann <ANN@EXAMPLE.COM>", "ann@example.com",
                  "Ann", "Ann"},
        SenderRow{"FoldedFromIsUnfolded", "From: \"Ann\n Other\" <ann@example.com>",
                  "ann@example.com", "\"Ann Other\"", "Ann Other"}),
    [](const testing::TestParamInfo<SenderRow>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    NoUsableSender, SenderChoiceTest,
    testing::Values(SenderRow{"NoAddressFields", "Subject: hello\nTo: me@example.org", "", "", ""},
                    SenderRow{"EveryFieldNamesTwo",
                              "Sender: a@x.org, b@x.org\nFrom: c@x.org, d@x.org\n"
                              "Reply-To: e@x.org, f@x.org",
                              "", "", ""},
                    SenderRow{"EmptyFromValue", "From: \nTo: me@example.org", "", "", ""}),
    [](const testing::TestParamInfo<SenderRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// The display texts of From, To and Cc.

struct DisplayRow {
  std::string name;
  std::string headers;
  std::string from;
  std::string to;
  std::string cc;
};

class DisplayTextTest : public ArrivalAnalysisTest,
                        public testing::WithParamInterface<DisplayRow> {};

TEST_P(DisplayTextTest, JoinsDecodedNamesOrAddresses) {
  const DisplayRow& row = GetParam();
  const Analysis got = Analyse(row.headers + "\n\nbody\n");
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.record->summary.from_text(), row.from);
  EXPECT_EQ(got.record->summary.to_text(), row.to);
  EXPECT_EQ(got.record->summary.cc_text(), row.cc);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DisplayTextTest,
    testing::Values(
        DisplayRow{"NamesAndBareAddresses",
                   "From: \"Ann A\" <ann@example.com>, bob@example.com\n"
                   "To: =?utf-8?B?w6lsaXNl?= <e@example.fr>\nCc: x@example.org, Y <y@example.org>",
                   "Ann A; bob@example.com", "\xC3\xA9lise", "x@example.org; Y"},
        DisplayRow{"SenderWhenNoFrom", "Sender: Desk <desk@example.com>\nTo: me@example.org",
                   "Desk", "me@example.org", ""},
        DisplayRow{"SenderWhenFromGivesNothing", "From: \nSender: desk@example.com",
                   "desk@example.com", "", ""},
        DisplayRow{"FromBeatsSender", "Sender: desk@example.com\nFrom: Ann <ann@example.com>",
                   "Ann", "", ""},
        DisplayRow{"AbsentFieldsAreEmpty", "Subject: nothing else", "", "", ""}),
    [](const testing::TestParamInfo<DisplayRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// The Sent and Received dates.

struct DateRow {
  std::string name;
  std::string headers;
  mailformat::Timestamp sent;
  mailformat::Timestamp received;
};

class DateTest : public ArrivalAnalysisTest, public testing::WithParamInterface<DateRow> {};

TEST_P(DateTest, ReadsDateAndFirstReceived) {
  const DateRow& row = GetParam();
  const Analysis got = Analyse("From: a@example.com\n" + row.headers + "\n\nbody\n");
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.record->summary.sent, row.sent);
  EXPECT_EQ(got.record->summary.received, row.received);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DateTest,
    testing::Values(
        DateRow{"DateAndReceived",
                "Received: from relay.example.org by mx.example.org with ESMTP id 42;\n"
                "\tTue, 6 Dec 2005 10:05:30 -0500\nDate: Tue, 6 Dec 2005 10:00:00 -0500",
                Utc(2005, 12, 6, 15, 0, 0), Utc(2005, 12, 6, 15, 5, 30)},
        DateRow{"FirstReceivedOnly",
                "Received: by mx.example.org; Wed, 7 Dec 2005 01:00:00 +0100\n"
                "Received: by relay.example.org; Tue, 6 Dec 2005 23:00:00 +0000\n"
                "Date: Tue, 6 Dec 2005 22:00:00 +0000",
                Utc(2005, 12, 6, 22, 0, 0), Utc(2005, 12, 7, 0, 0, 0)},
        DateRow{"NoReceivedCopiesSent", "Date: Sat, 1 Jan 2000 00:00:00 +0000",
                Utc(2000, 1, 1, 0, 0, 0), Utc(2000, 1, 1, 0, 0, 0)},
        DateRow{"NoReceivedNoDate", "Subject: undated", -1, -1},
        DateRow{"ReceivedWithoutSemicolon",
                "Received: from relay.example.org by mx.example.org\n"
                "Date: Tue, 6 Dec 2005 10:00:00 -0500",
                Utc(2005, 12, 6, 15, 0, 0), -1},
        DateRow{"SemicolonInsideCommentIsNotTheDate",
                "Received: from x (helo; odd) by y; Tue, 6 Dec 2005 10:00:00 +0000\n"
                "Date: garbage",
                -1, Utc(2005, 12, 6, 10, 0, 0)},
        DateRow{"UnparsableReceivedDate",
                "Received: by y; yesterday\nDate: Tue, 6 Dec 2005 10:00:00 +0000",
                Utc(2005, 12, 6, 10, 0, 0), -1}),
    [](const testing::TestParamInfo<DateRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Subject and Message-id.

struct SubjectRow {
  std::string name;
  std::string headers;
  std::string subject;
  std::string subject_decoded;
  std::string message_id;
};

class SubjectTest : public ArrivalAnalysisTest, public testing::WithParamInterface<SubjectRow> {};

TEST_P(SubjectTest, KeepsTrimmedAndDecodedForms) {
  const SubjectRow& row = GetParam();
  const Analysis got = Analyse("From: a@example.com\n" + row.headers + "\n\nbody\n");
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.record->summary.subject(), row.subject);
  EXPECT_EQ(got.record->summary.subject_decoded(), row.subject_decoded);
  EXPECT_EQ(got.message_id, row.message_id);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SubjectTest,
    testing::Values(SubjectRow{"Trimmed", "Subject:   Lunch?  \nMessage-ID:  <abc@example.com>  ",
                               "Lunch?", "Lunch?", "<abc@example.com>"},
                    SubjectRow{"EncodedWords",
                               "Subject: =?iso-8859-1?Q?Gr=FC=DFe?= aus =?utf-8?B?S8O2bG4=?=",
                               "=?iso-8859-1?Q?Gr=FC=DFe?= aus =?utf-8?B?S8O2bG4=?=",
                               "Gr\xFC\xDF"
                               "e aus K\xC3\xB6ln",
                               ""},
                    SubjectRow{"FoldedSubject", "Subject: Re: a long\n\tsubject\nMessage-id: <x@y>",
                               "Re: a long subject", "Re: a long subject", "<x@y>"},
                    SubjectRow{"Absent", "To: b@example.com", "", "", ""}),
    [](const testing::TestParamInfo<SubjectRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Delivery status notifications: recognition and what they return.

struct NotificationRow {
  std::string name;
  std::string message;
  bool is_notification;
};

class NotificationTest : public ArrivalAnalysisTest,
                         public testing::WithParamInterface<NotificationRow> {};

TEST_P(NotificationTest, RecognisesNotifications) {
  const NotificationRow& row = GetParam();
  const Analysis got = Analyse(row.message);
  ASSERT_TRUE(got.ok);
  const DeliveryReport& report = got.input.report;
  EXPECT_EQ(report.is_delivery_status_notification, row.is_notification);
  // Only a notification is searched for what it returns.
  EXPECT_EQ(report.returned_headers_found || report.report_text_used, row.is_notification);
}

const char kReportBody[] =
    "\n"
    "--b1\n"
    "Content-Type: text/plain\n"
    "\n"
    "Delivery failed.\n"
    "--b1\n"
    "Content-Type: message/delivery-status\n"
    "\n"
    "Action: failed\n"
    "--b1--\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, NotificationTest,
    testing::Values(
        NotificationRow{"NullReturnPathOnPlainMessage",
                        "Return-Path: <>\nFrom: x@example.org\n\nYour mail bounced.\n", true},
        NotificationRow{"MailerDaemonInAngles",
                        "Return-Path: <MAILER-DAEMON@mx.example.org>\n\nbounced\n", true},
        NotificationRow{"PostmasterInAngles", "Return-Path:  < postmaster@example.org > \n\nx\n",
                        true},
        NotificationRow{"BareMailerDaemonIsNotAngleForm",
                        "Return-Path: MAILER-DAEMON@mx.example.org\n\nbounced\n", false},
        NotificationRow{"OrdinaryReturnPath", "Return-Path: <ann@example.com>\n\nhello\n", false},
        NotificationRow{"DaemonNotAtStart", "Return-Path: <not-mailer-daemon@example.com>\n\nx\n",
                        false},
        NotificationRow{"ReportTypeMixedCase",
                        std::string("MIME-Version: 1.0\nContent-Type: multipart/report; "
                                    "Report-Type=\"Delivery-Status\"; boundary=b1\n") +
                            kReportBody,
                        true},
        NotificationRow{"ContentTypeFolded",
                        std::string("MIME-Version: 1.0\nContent-Type: multipart/report;\n"
                                    "\treport-type=delivery-status;\n\tboundary=\"b1\"\n") +
                            kReportBody,
                        true},
        NotificationRow{"DispositionReportIsNot",
                        std::string("MIME-Version: 1.0\nContent-Type: multipart/report; "
                                    "report-type=disposition-notification; boundary=b1\n") +
                            kReportBody,
                        false},
        NotificationRow{"ReportWithoutMimeVersionIsPlain",
                        std::string("Content-Type: multipart/report; "
                                    "report-type=delivery-status; boundary=b1\n") +
                            kReportBody,
                        false},
        NotificationRow{"MixedIsNot",
                        std::string("MIME-Version: 1.0\nContent-Type: multipart/mixed; "
                                    "report-type=delivery-status; boundary=b1\n") +
                            kReportBody,
                        false}),
    [](const testing::TestParamInfo<NotificationRow>& info) { return info.param.name; });

struct ReturnedRow {
  std::string name;
  std::string parts;  // the body parts after the notification's header block
  bool headers_found;
  std::string returned_subject;  // Subject of the returned headers when found
  std::string report_text;       // the report text when no headers were found
};

class ReturnedContentTest : public ArrivalAnalysisTest,
                            public testing::WithParamInterface<ReturnedRow> {};

TEST_P(ReturnedContentTest, TakesTheFirstReturnedPartOrTheText) {
  const ReturnedRow& row = GetParam();
  const Analysis got = Analyse(
      "Return-Path: <>\nMIME-Version: 1.0\n"
      "Content-Type: multipart/report; report-type=delivery-status; boundary=\"b1\"\n"
      "\nThis is a MIME-encapsulated message.\n" +
      row.parts);
  ASSERT_TRUE(got.ok);
  const DeliveryReport& report = got.input.report;
  ASSERT_TRUE(report.is_delivery_status_notification);
  EXPECT_EQ(report.returned_headers_found, row.headers_found);
  EXPECT_EQ(report.report_text_used, !row.headers_found);
  if (row.headers_found) {
    EXPECT_EQ(mailformat::FindHeader(report.returned_headers, "Subject", true),
              std::optional<std::string>(row.returned_subject));
    EXPECT_TRUE(report.report_text.empty());
  } else {
    EXPECT_EQ(report.report_text, Crlf(row.report_text));
    EXPECT_EQ(report.returned_headers.size(), 0u);
  }
}

const char kTextPart[] = "--b1\nContent-Type: text/plain\n\nThe mail system failed.\n";
const char kStatusPart[] = "--b1\nContent-Type: message/delivery-status\n\nAction: failed\n";
const char kRfc822Part[] =
    "--b1\nContent-Type: message/rfc822\n\nSubject: whole message\nFrom: a@b\n\nits body\n";
const char kHeadersPart[] =
    "--b1\nContent-Type: text/rfc822-headers\n\nSubject: headers only\nFrom: a@b\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, ReturnedContentTest,
    testing::Values(
        ReturnedRow{"Rfc822BeforeHeaders",
                    std::string(kTextPart) + kStatusPart + kRfc822Part + kHeadersPart + "--b1--\n",
                    true, "whole message", ""},
        ReturnedRow{"HeadersBeforeRfc822",
                    std::string(kTextPart) + kStatusPart + kHeadersPart + kRfc822Part + "--b1--\n",
                    true, "headers only", ""},
        ReturnedRow{"HeadersPartWithoutEmptyLineAtEnd",
                    std::string(kTextPart) + kHeadersPart + "--b1--\n", true, "headers only", ""},
        ReturnedRow{"Base64ReturnedHeaders",
                    std::string(kTextPart) +
                        "--b1\nContent-Type: text/rfc822-headers\nContent-Transfer-Encoding: "
                        "base64\n\nU3ViamVjdDogZW5jb2RlZA0KRnJvbTogYUBiDQo=\n--b1--\n",
                    true, "encoded", ""},
        ReturnedRow{"NoReturnedPartGivesText", std::string(kTextPart) + kStatusPart + "--b1--\n",
                    false, "", "The mail system failed.\n"},
        ReturnedRow{"TextLimitedTo4096Bytes",
                    "--b1\nContent-Type: text/plain\n\n" + std::string(5000, 'x') + "\n--b1--\n",
                    false, "", std::string(4096, 'x')}),
    [](const testing::TestParamInfo<ReturnedRow>& info) { return info.param.name; });

TEST_F(ArrivalAnalysisTest, SinglePartNotificationGivesItsBodyAsText) {
  const Analysis got =
      Analyse("Return-Path: <>\nSubject: failure\n\nThis message was created automatically.\n");
  ASSERT_TRUE(got.ok);
  EXPECT_TRUE(got.input.report.report_text_used);
  EXPECT_EQ(got.input.report.report_text, Crlf("This message was created automatically.\n"));
}

TEST_F(ArrivalAnalysisTest, FailedReturnedPartFallsBackToTheTextWithoutTryingTheNext) {
  // A forwarded message whose header block never ends cannot be read; the later
  // rfc822-headers part is not tried, the notification's text is used instead.
  const Analysis got = Analyse(
      "Return-Path: <>\nMIME-Version: 1.0\n"
      "Content-Type: multipart/report; report-type=delivery-status; boundary=b1\n\n" +
      std::string(kTextPart) + "--b1\nContent-Type: message/rfc822\n\nSubject: unended\n" +
      kHeadersPart + "--b1--\n");
  ASSERT_TRUE(got.ok);
  EXPECT_FALSE(got.input.report.returned_headers_found);
  EXPECT_TRUE(got.input.report.report_text_used);
  EXPECT_EQ(got.input.report.report_text, Crlf("The mail system failed.\n"));
}

// ---------------------------------------------------------------------------------------
// The program's marks.

struct MarksRow {
  std::string name;
  std::string subject;  // as written in the message
  // Further header lines; "{SIG}" becomes SignSubject(signed_subject), "{SIGID}" the same
  // without its padding.
  std::string headers;
  bool request;
  bool signed_by_pelrion;
  std::string mark;
  std::string signed_subject = "";  // defaults to the subject, trimmed
};

class MarksTest : public ArrivalAnalysisTest, public testing::WithParamInterface<MarksRow> {};

TEST_P(MarksTest, ReadsSignatureRequestMarkAndInstallationId) {
  const MarksRow& row = GetParam();
  const std::string signature =
      SignSubject(row.signed_subject.empty() ? row.subject : row.signed_subject);
  std::string unpadded = signature;
  while (!unpadded.empty() && unpadded.back() == '=') unpadded.pop_back();
  std::string headers = Substitute(row.headers, "{SIGID}", unpadded);
  headers = Substitute(headers, "{SIG}", signature);
  const Analysis got =
      Analyse("From: other@example.net\nSubject: " + row.subject + "\n" + headers + "\n\nbody\n");
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.input.is_authorization_request, row.request);
  EXPECT_EQ(got.input.signed_by_pelrion, row.signed_by_pelrion);
  EXPECT_EQ(got.input.installation_mark, row.mark);
}

INSTANTIATE_TEST_SUITE_P(
    HeaderFields, MarksTest,
    testing::Values(
        MarksRow{"SignedRequestWithForeignMessageId", "Re: hi [Sender-ID=eEB5AA-12345]",
                 "X-KVX-Signature: {SIG}\nX-KVX-AuthReq: 1\nMessage-ID: <123@mx.example.net>", true,
                 false, ""},
        MarksRow{"SignedWithInstallationId", "Lunch",
                 "X-KVX-Signature: {SIG}\nX-KVX-UUID:  USR0A1B2C3D  ", false, true, "USR0A1B2C3D"},
        MarksRow{"TwelveCharacterIdIsNoMark", "Lunch",
                 "X-KVX-Signature: {SIG}\nX-KVX-UUID: USR0A1B2C3D4", false, true, ""},
        MarksRow{"SignedWithoutId", "Lunch", "x-kvx-signature: {SIG}", false, true, ""},
        MarksRow{"SignatureCoversSubjectAsWritten", "=?utf-8?Q?Caf=C3=A9?=",
                 "X-KVX-Signature: {SIG}\nX-KVX-UUID: USR0A1B2C3D", false, true, "USR0A1B2C3D"},
        MarksRow{"SignatureOfDecodedSubjectFails",
                 "=?utf-8?Q?Caf=C3=A9?=", "X-KVX-Signature: {SIG}\nX-KVX-UUID: USR0A1B2C3D", false,
                 false, "", "Caf\xC3\xA9"},
        MarksRow{"AuthReqWithoutSignature", "Lunch", "X-KVX-AuthReq: 1", false, false, ""},
        MarksRow{"FailingFieldIsNotFollowedByMessageId", "Lunch",
                 "X-KVX-Signature: AAAAAAAAAAAAAAAAAAAAAA==\n"
                 "Message-id: <KVX.U-USR0A1B2C3D.S-{SIGID}.0011223344556677@desk>",
                 false, false, ""},
        MarksRow{"EmptySignatureFieldAlsoBlocksMessageId", "Lunch",
                 "X-KVX-Signature:\nMessage-id: <KVX.R.S-{SIGID}.0011223344556677@desk>", false,
                 false, ""}),
    [](const testing::TestParamInfo<MarksRow>& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    OwnMessageId, MarksTest,
    testing::Values(
        MarksRow{"RequestId", "Re: hi [Sender-ID=eEB5AA-12345]",
                 "Message-id: <KVX.R.S-{SIGID}.0011223344556677@desk>", true, false, ""},
        MarksRow{"RelayId", "Lunch", "Message-ID: <KVX.U-USR0A1B2C3D.S-{SIGID}.00AA@desk>", false,
                 true, "USR0A1B2C3D"},
        MarksRow{"PairNamesInAnyCase", "Lunch", "Message-ID: <KVX.u-USR0A1B2C3D.s-{SIGID}.00@h>",
                 false, true, "USR0A1B2C3D"},
        MarksRow{"FoldedId", "Lunch", "Message-ID: <KVX.U-USR0A1B2C3D.\n S-{SIGID}.00@h>", false,
                 true, "USR0A1B2C3D"},
        MarksRow{"TwelveCharacterUPair", "Lunch", "Message-ID: <KVX.U-USR0A1B2C3DE.S-{SIGID}.0@h>",
                 false, true, ""},
        MarksRow{"SignatureOfAnotherSubject", "Lunch",
                 "Message-ID: <KVX.R.S-{SIGID}.0011223344556677@desk>", false, false, "", "Dinner"},
        MarksRow{"NoSignaturePair", "Lunch", "Message-ID: <KVX.R.U-USR0A1B2C3D.0@desk>", false,
                 false, ""},
        MarksRow{"LowerCasePrefixIsForeign", "Lunch", "Message-ID: <kvx.R.S-{SIGID}.0@desk>", false,
                 false, ""},
        MarksRow{"PaddedSignatureInIdStillVerifies", "Lunch",
                 "Message-ID: <KVX.R.S-{SIG}.0011223344556677@desk>", true, false, ""}),
    [](const testing::TestParamInfo<MarksRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Reading the header block.

TEST_F(ArrivalAnalysisTest, OnlyTheHeaderBlockIsRead) {
  // Header-like lines in the body must not count as fields.
  const Analysis got = Analyse(
      "Subject: outer\n\nFrom: body@example.com\nSubject: inner\nDate: Sat, 1 Jan 2000 "
      "00:00:00 +0000\n");
  ASSERT_TRUE(got.ok);
  EXPECT_EQ(got.record->summary.subject(), "outer");
  EXPECT_EQ(got.record->summary.sender_address(), "");
  EXPECT_EQ(got.record->summary.sent, -1);
}

TEST_F(ArrivalAnalysisTest, UnknownHeaderLengthCannotBeAnalysed) {
  const Analysis got = Analyse("From: a@example.com\nSubject: the header block never ends\n");
  EXPECT_EQ(got.record->summary.header_length, -1);
  EXPECT_FALSE(got.ok);
}

TEST_F(ArrivalAnalysisTest, MissingMessageFileIsADatabaseError) {
  store::MessageRecord record;
  record.summary.header_length = 10;
  ClassificationInput input;
  std::string message_id;
  EXPECT_EXIT(AnalyseMessage(record, dir_ / "absent.eml", temp_folder(), input, message_id),
              testing::ExitedWithCode(1), std::string(platform::kDatabaseError));
}

}  // namespace
}  // namespace pelrion::validation
