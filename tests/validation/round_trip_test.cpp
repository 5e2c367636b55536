// Whole round trips through the real stores: a message from an unknown sender is held,
// the authorization request for it is composed, and what comes back (the sender's reply,
// or a delivery status notification in the style of a real mail server) is downloaded the
// way the POP3 client does it: written, scanned line by line, then given its fate on a
// worker thread while the main thread serves the synchronous calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/default_templates.h"
#include "core/preferences.h"
#include "mailformat/header_block.h"
#include "platform/main_thread.h"
#include "store/address_calls.h"
#include "store/message_calls.h"
#include "validation/arrival_test_helpers.h"
#include "validation/authorization_request.h"
#include "validation/default_arrival_checks.h"
#include "validation/file_request_output.h"
#include "validation/main_thread_quarantine_events.h"
#include "validation/message_fate.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"
#include "validation/request_facts.h"

namespace pelrion::validation {
namespace {

using arrival_testing::Crlf;
using arrival_testing::Substitute;

constexpr char kUser[] = "jane@example.org";
constexpr char kSender[] = "john.doe@remote.example.com";
constexpr char kInstallationId[] = "USR0A1B2C3D";

std::string MessageFrom(std::string_view from, std::string_view subject, std::string_view body) {
  return Crlf(
      "Received: from mx.remote.example.com by mail.example.org with ESMTP id 77;\n"
      "\tTue, 6 Dec 2005 10:00:00 -0500\n"
      "From: " +
      std::string(from) + "\nTo: Jane <" + kUser + ">\nSubject: " + std::string(subject) +
      "\nDate: Tue, 6 Dec 2005 09:59:00 -0500\n\n" + std::string(body));
}

// The request's own header block, without the empty line that ends it.
std::string HeaderBlockOf(const std::string& message) {
  return message.substr(0, message.find("\r\n\r\n") + 2);
}

class RoundTripTest : public ::testing::Test {
 protected:
  RoundTripTest()
      : message_calls_(main_, *world_.messages, *world_.digests, *world_.accounts),
        address_calls_(main_, *world_.address_lists),
        events_(main_, *world_.quarantine),
        checks_(DefaultArrivalChecks(world_.folder(), world_.folder(), events_)) {
    account_id_ = world_.AddAccount(kUser);
    for (const core::ValidationMethod method :
         {core::ValidationMethod::kReply, core::ValidationMethod::kCaptcha}) {
      for (const core::TemplateKind kind :
           {core::TemplateKind::kPlainText, core::TemplateKind::kHtml}) {
        core::MutableTemplateText(world_.preferences, method, kind) =
            std::string(core::DefaultTemplateText(method, kind));
      }
    }
    context_.installation_id = kInstallationId;
    context_.challenge = world_.preferences.challenge;
    context_.lookup_address = [this](std::string_view address, std::uint32_t mask) {
      return address_calls_.LookupAddress(address, mask);
    };
    context_.trusted_domains = world_.trusted_domains.get();
  }

  // Downloads `bytes` into the account as the mail-check thread does and returns its fate.
  MessageFate Download(const std::string& bytes) {
    store::MailAccount* account = world_.accounts->FindAccount(account_id_);
    EXPECT_NE(account, nullptr);
    const FateServices services{checks_, context_, message_calls_};
    std::atomic<bool> done = false;
    MessageFate fate = MessageFate::kUnreadable;
    std::thread worker([&] {
      auto record = std::make_unique<store::MessageRecord>();
      const std::string path = message_calls_.CreateMessageFile(*record);
      arrival_testing::WriteAndScanInto(path, bytes, world_.folder(), *record);
      last_path_ = path;
      fate = DecideMessageFate(std::move(record), path, *account, {}, services);
      done = true;
    });
    main_.RunUntil([&] { return done.load(); });
    worker.join();
    world_.accounts->ReleaseAccount(account);
    return fate;
  }

  // Two messages of the unknown sender, held under one request.
  void HoldTwoMessages() {
    ASSERT_EQ(Download(MessageFrom("John Doe <John.Doe@Remote.Example.COM>", "Meeting on Friday",
                                   "Shall we meet?\n")),
              MessageFate::kFiled);
    ASSERT_EQ(
        Download(MessageFrom("John Doe <john.doe@remote.example.com>", "Agenda", "Here it is.\n")),
        MessageFate::kFiled);
    const PendingSender* entry = world_.list->Find(kSender);
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(entry->messages.size(), 2u);
    held_ = entry->messages;
    for (const store::MessageRecord* message : held_) {
      EXPECT_EQ(message->status, kStatusAwaitingRequest);
      EXPECT_EQ(message->folder(), store::Folder::kQuarantine);
    }
  }

  // The request for the held sender, composed into a file and read back.
  std::string ComposeRequest(std::string_view sender = kSender) {
    store::MailAccount* account = world_.accounts->FindAccount(account_id_);
    const RequestFacts facts = RequestFactsOf(world_.list->Find(sender)->first(), *account);
    world_.accounts->ReleaseAccount(account);
    const std::string path = world_.folder() + "request.eml";
    FileRequestOutput output(path);
    ComposeAuthorizationRequest(facts, output, world_.preferences);
    EXPECT_TRUE(output.Close());
    return ReadFile(path);
  }

  static std::string ReadFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::string bytes;
    if (file == nullptr) return bytes;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
      bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
  }

  static std::string SubjectOf(const std::string& message) {
    std::string block = HeaderBlockOf(message);
    mailformat::UnfoldHeaderBlock(block);
    return mailformat::FindHeader(mailformat::SplitHeaderBlock(block), "Subject", true)
        .value_or(std::string());
  }

  static std::string MessageIdOf(const std::string& message) {
    std::string block = HeaderBlockOf(message);
    mailformat::UnfoldHeaderBlock(block);
    return mailformat::FindHeader(mailformat::SplitHeaderBlock(block), "Message-id", true)
        .value_or(std::string());
  }

  void ExpectHeldWithStatus(std::int32_t status, store::Folder folder) {
    for (const store::MessageRecord* message : held_) {
      EXPECT_EQ(message->status, status);
      EXPECT_EQ(message->folder(), folder);
    }
  }

  bool IsTrustedContact(std::string_view address) {
    return (world_.address_lists->LookupAddress(address, 3) & 1) != 0;
  }

  validation::testing::QuarantineWorld world_;
  platform::PlainMainThread main_;
  store::MessageCalls message_calls_;
  store::AddressCalls address_calls_;
  MainThreadQuarantineEvents events_;
  ArrivalChecks checks_;
  ClassificationContext context_;
  std::uint32_t account_id_ = 0;
  std::vector<store::MessageRecord*> held_;
  std::string last_path_;
};

// ---------------------------------------------------------------------------------------
// Replies

TEST_F(RoundTripTest, ReplyReleasesTheHeldMessagesAndTrustsTheSender) {
  HoldTwoMessages();
  const std::string request = ComposeRequest();
  const std::string reply =
      MessageFrom("John Doe <john.doe@remote.example.com>", "Re: " + SubjectOf(request),
                  "Yes, that was me.\n\n> Jane Doe asked me to reply.\n");

  EXPECT_EQ(Download(reply), MessageFate::kConsumed);
  EXPECT_FALSE(std::filesystem::exists(last_path_)) << "a consumed reply is never filed";
  ExpectHeldWithStatus(kStatusAuthorized, store::Folder::kInbox);
  EXPECT_EQ(world_.list->Find(kSender), nullptr);
  EXPECT_TRUE(IsTrustedContact(kSender));

  // From now on the sender's mail goes straight to the Inbox.
  ASSERT_EQ(Download(MessageFrom(kSender, "Thanks", "ok\n")), MessageFate::kFiled);
  const std::vector<store::MessageRecord*>& records = world_.messages->records();
  EXPECT_EQ(std::count_if(
                records.begin(), records.end(),
                [](const store::MessageRecord* r) { return r->status == kStatusTrustedContact; }),
            1);
}

TEST_F(RoundTripTest, TheTagDecidesWhoIsReleasedNotTheReplyFrom) {
  HoldTwoMessages();
  const std::string request = ComposeRequest();
  // The sender answers from another mailbox; the tag still names the request's address.
  EXPECT_EQ(Download(MessageFrom("john@home.example.net", "Re: " + SubjectOf(request), "me\n")),
            MessageFate::kConsumed);
  ExpectHeldWithStatus(kStatusAuthorized, store::Folder::kInbox);
  EXPECT_TRUE(IsTrustedContact(kSender));
  EXPECT_FALSE(IsTrustedContact("john@home.example.net"));
}

TEST_F(RoundTripTest, ReplyToAnOlderRequestNumberReleasesNothing) {
  HoldTwoMessages();
  std::string subject = SubjectOf(ComposeRequest());
  const std::string number = std::to_string(held_.front()->request_number);
  const std::string other = std::to_string(
      held_.front()->request_number == 99999 ? 10000 : held_.front()->request_number + 1);
  subject = Substitute(subject, "-" + number + "]", "-" + other + "]");
  EXPECT_EQ(Download(MessageFrom(kSender, "Re: " + subject, "me\n")), MessageFate::kConsumed);
  ExpectHeldWithStatus(kStatusAwaitingRequest, store::Folder::kQuarantine);
  EXPECT_FALSE(IsTrustedContact(kSender));
}

TEST_F(RoundTripTest, AnotherInstallationsRequestIsFiledNotTakenForAReply) {
  HoldTwoMessages();
  // Our own request, as another installation's request to us would look: signed, marked,
  // its subject carrying a Sender-ID tag. It must reach the Inbox, not the reply check.
  EXPECT_EQ(Download(ComposeRequest()), MessageFate::kFiled);
  const std::vector<store::MessageRecord*>& records = world_.messages->records();
  EXPECT_EQ(std::count_if(records.begin(), records.end(),
                          [](const store::MessageRecord* r) {
                            return r->status == kStatusAuthorizationRequest &&
                                   r->folder() == store::Folder::kInbox;
                          }),
            1);
  ExpectHeldWithStatus(kStatusAwaitingRequest, store::Folder::kQuarantine);
}

// A sender address long enough that the request's Subject has to be folded, and replies
// whose programs keep that folding or fold and encode the subject their own way.
struct FoldedReplyRow {
  std::string name;
  // The reply's Subject field value (after "Subject: ") from the request's Subject field
  // as it was written, folded lines included.
  std::string (*reply_subject)(const std::string& folded_field);
};

void PrintTo(const FoldedReplyRow& row, std::ostream* out) {
  *out << row.name;
}

class FoldedReplyTest : public RoundTripTest,
                        public ::testing::WithParamInterface<FoldedReplyRow> {};

// The Subject field of a message as written: its first line without "Subject: " and every
// continuation line, CR LF kept between them.
std::string WrittenSubjectField(const std::string& message) {
  const std::size_t start = message.find("\r\nSubject: ") + 11;
  std::size_t end = message.find("\r\n", start);
  while (message[end + 2] == ' ' || message[end + 2] == '\t') end = message.find("\r\n", end + 2);
  return message.substr(start, end - start);
}

// text as RFC 2047 "Q" words of at most 40 encoded bytes each, one word per folded line.
std::string EncodedWordLines(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::string word;
  const auto flush = [&] {
    if (word.empty()) return;
    out += (out.empty() ? "" : "\r\n ") + std::string("=?utf-8?Q?") + word + "?=";
    word.clear();
  };
  for (unsigned char c : text) {
    if (std::isalnum(c)) {
      word += static_cast<char>(c);
    } else {
      word += '=';
      word += kHex[c >> 4];
      word += kHex[c & 15];
    }
    if (word.size() >= 40) flush();
  }
  flush();
  return out;
}

TEST_P(FoldedReplyTest, ReplyToAFoldedSubjectReleasesTheHeldMessage) {
  const std::string sender = std::string(800, 'j') + "@remote.example.com";
  ASSERT_EQ(Download(MessageFrom("John <" + sender + ">", "Meeting", "Shall we meet?\n")),
            MessageFate::kFiled);
  const PendingSender* entry = world_.list->Find(sender);
  ASSERT_NE(entry, nullptr);
  held_ = entry->messages;

  const std::string request = ComposeRequest(sender);
  const std::string folded = WrittenSubjectField(request);
  ASSERT_NE(folded.find("\r\n "), std::string::npos) << "the request's Subject is folded";
  EXPECT_EQ(Download(MessageFrom(kUser, GetParam().reply_subject(folded), "Yes.\n")),
            MessageFate::kConsumed);
  ExpectHeldWithStatus(kStatusAuthorized, store::Folder::kInbox);
  EXPECT_TRUE(IsTrustedContact(sender));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FoldedReplyTest,
    ::testing::Values(FoldedReplyRow{"FoldingKept",
                                     [](const std::string& folded) { return "Re: " + folded; }},
                      FoldedReplyRow{"FoldedWithTabs",
                                     [](const std::string& folded) {
                                       return "Re: " + Substitute(folded, "\r\n ", "\r\n\t");
                                     }},
                      FoldedReplyRow{"EncodedWordsOnFoldedLines",
                                     [](const std::string& folded) {
                                       std::string unfolded = Substitute(folded, "\r\n", "");
                                       return EncodedWordLines("Re: " + unfolded);
                                     }}),
    [](const ::testing::TestParamInfo<FoldedReplyRow>& info) { return info.param.name; });

struct CaptchaReplyRow {
  std::string name;
  std::string reply;  // header fields after From/To/Subject, the empty line and the body
  bool releases;
};

class CaptchaReplyTest : public RoundTripTest,
                         public ::testing::WithParamInterface<CaptchaReplyRow> {};

// "{CODE}" in the reply becomes the held sender's authorization code; with "{CODE_SPLIT}"
// its first three digits, a quoted-printable soft line break, then the other three.
TEST_P(CaptchaReplyTest, ReleasesOnlyWhenTheReplyTextQuotesTheCode) {
  const CaptchaReplyRow& row = GetParam();
  world_.preferences.method = static_cast<std::uint32_t>(core::ValidationMethod::kCaptcha);
  HoldTwoMessages();
  const std::int32_t code = held_.front()->authorization_code;
  ASSERT_GE(code, 100000);
  ASSERT_LE(code, 999999);
  const std::string request = ComposeRequest();
  EXPECT_EQ(request.find(std::to_string(code)), std::string::npos)
      << "the code is shown only in the image";

  const std::string digits = std::to_string(code);
  std::string reply =
      Substitute(row.reply, "{CODE_SPLIT}", digits.substr(0, 3) + "=\n" + digits.substr(3));
  reply = Substitute(reply, "{CODE}", digits);
  EXPECT_EQ(
      Download(Crlf("From: John Doe <john.doe@remote.example.com>\nTo: " + std::string(kUser) +
                    "\nSubject: Re: " + SubjectOf(request) + "\n" + reply)),
      MessageFate::kConsumed);
  if (row.releases) {
    ExpectHeldWithStatus(kStatusAuthorized, store::Folder::kInbox);
  } else {
    ExpectHeldWithStatus(kStatusAwaitingRequest, store::Folder::kQuarantine);
  }
  EXPECT_EQ(IsTrustedContact(kSender), row.releases);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CaptchaReplyTest,
    ::testing::Values(
        CaptchaReplyRow{"QuotesTheCode", "\nThe code is {CODE}.\n", true},
        CaptchaReplyRow{"CodeAcrossAQuotedPrintableSoftBreak",
                        "MIME-Version: 1.0\nContent-Type: text/plain; charset=utf-8\n"
                        "Content-Transfer-Encoding: quoted-printable\n\nCode: {CODE_SPLIT}\n",
                        true},
        CaptchaReplyRow{"WithoutTheCode", "\nI can't read the picture.\n", false},
        CaptchaReplyRow{"CodeOnlyInTheHtmlAlternative",
                        "MIME-Version: 1.0\nContent-Type: multipart/alternative; boundary=a\n\n"
                        "--a\nContent-Type: text/plain\n\nSee below.\n--a\n"
                        "Content-Type: text/html\n\n<p>{CODE}</p>\n--a--\n",
                        false},
        CaptchaReplyRow{"CodeAfterTheFirst4096Bytes", "\n" + std::string(4094, '.') + "\n{CODE}\n",
                        false}),
    [](const ::testing::TestParamInfo<CaptchaReplyRow>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------
// Delivery status notifications

struct BounceRow {
  std::string name;
  std::string fixture;
  bool show_subject = true;  // the report shows the request's Subject
  bool rejects = true;       // the held messages are rejected
};

class BounceRoundTripTest : public RoundTripTest,
                            public ::testing::WithParamInterface<BounceRow> {};

TEST_P(BounceRoundTripTest, BounceOfTheRequestRejectsTheHeldMessages) {
  const BounceRow& row = GetParam();
  HoldTwoMessages();
  const std::string request = ComposeRequest();
  std::string headers = HeaderBlockOf(request);
  headers.resize(headers.size() - 2);
  std::string bounce = arrival_testing::ReadArrivalFixture(row.fixture);
  bounce = Substitute(bounce, "{REQUEST_HEADERS}", headers);
  bounce = Substitute(bounce, "{REQUEST_SUBJECT}",
                      row.show_subject ? SubjectOf(request) : "(not shown)");
  bounce = Substitute(bounce, "{REQUEST_MESSAGE_ID}", MessageIdOf(request));
  bounce = Substitute(bounce, "{REQUEST}", request);

  EXPECT_EQ(Download(Crlf(bounce)), MessageFate::kConsumed);
  EXPECT_FALSE(std::filesystem::exists(last_path_));
  if (row.rejects) {
    ExpectHeldWithStatus(kStatusRequestFailed, store::Folder::kJunkMail);
    EXPECT_EQ(world_.list->Find(kSender), nullptr);
  } else {
    ExpectHeldWithStatus(kStatusAwaitingRequest, store::Folder::kQuarantine);
  }
  EXPECT_FALSE(IsTrustedContact(kSender));
}

INSTANTIATE_TEST_SUITE_P(
    Servers, BounceRoundTripTest,
    ::testing::Values(BounceRow{"PostfixReturnedHeaders", "postfix_rfc822_headers.eml"},
                      BounceRow{"EximPlainCopy", "exim_plain_copy.eml"},
                      BounceRow{"ExchangeReturnedMessage", "exchange_rfc822.eml"},
                      BounceRow{"SendmailReturnedMessage", "sendmail_rfc822.eml"},
                      BounceRow{"TextReportQuotingTheMessageId", "text_report_message_id.eml"},
                      BounceRow{"TextReportQuotingOnlyTheMessageId", "text_report_message_id.eml",
                                false, false}),
    [](const ::testing::TestParamInfo<BounceRow>& info) { return info.param.name; });

TEST_F(RoundTripTest, BounceOfJanesOwnMailIsFiledAndLeavesTheQuarantineAlone) {
  HoldTwoMessages();
  const std::string own_mail = MessageFrom(kUser, "Lunch", "See you.\n");
  std::string bounce = arrival_testing::ReadArrivalFixture("sendmail_rfc822.eml");
  bounce = Substitute(bounce, "{REQUEST}", own_mail);
  EXPECT_EQ(Download(Crlf(bounce)), MessageFate::kFiled);
  const std::vector<store::MessageRecord*>& records = world_.messages->records();
  EXPECT_EQ(std::count_if(records.begin(), records.end(),
                          [](const store::MessageRecord* r) {
                            return r->status == kStatusUnprovokedReport &&
                                   r->folder() == store::Folder::kJunkMail;
                          }),
            1);
  ExpectHeldWithStatus(kStatusAwaitingRequest, store::Folder::kQuarantine);
}

}  // namespace
}  // namespace pelrion::validation
