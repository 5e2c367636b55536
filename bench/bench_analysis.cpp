// Arrival analysis per downloaded message, on a generated corpus of ordinary mail,
// delivery status notifications (returned header block, returned message, plain text copy)
// and replies to authorization requests. Each message is written and scanned once up front;
// the timed part is AnalyseMessage (header block read from the file, fields, marks, the
// notification's returned headers or text) and, separately, the bounce and reply checks.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"
#include "store/message_record.h"
#include "validation/arrival_analysis.h"
#include "validation/arrival_checks.h"
#include "validation/request_marks.h"

namespace {

using pelrion::store::MessageRecord;
using pelrion::validation::ClassificationInput;

std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// Trace fields, folded lines, a DKIM signature: what a mail server hands over.
std::string TraceFields(int n) {
  const std::string id = std::to_string(100000 + n);
  return "Return-Path: <sender" + id +
         "@example.com>\n"
         "Received: from mx1.example.org (mx1.example.org [192.0.2.10])\n"
         "\tby mail.example.net (Postfix) with ESMTPS id 4F2A" +
         id +
         "\n\tfor <jane@example.net>; Tue, 6 Dec 2005 10:00:02 -0500 (EST)\n"
         "Received: from [198.51.100.7] (helo=laptop)\n"
         "\tby mx1.example.org with esmtpa (Exim 4.96)\n"
         "\tid 1rAbCd-0003xY-2F; Tue, 06 Dec 2005 15:59:58 +0100\n"
         "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.com;\n"
         " s=sel1; h=from:to:subject:date:message-id;\n"
         " bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\n"
         " b=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSBqdXN0IGZpbGxlciB0ZXh0\n";
}

std::string Paragraphs(int lines) {
  std::string body;
  for (int i = 0; i < lines; ++i) {
    body += "Line " + std::to_string(i) + " of a message body that reads like ordinary prose.\n";
  }
  return body;
}

std::string OrdinaryMail(int n) {
  return TraceFields(n) + "From: \"Doe, John\" <John.Doe" + std::to_string(n) +
         "@Example.COM>\n"
         "To: Jane Smith <jane@example.net>, =?iso-8859-1?Q?Andr=E9_Dupont?= <andre@example.fr>\n"
         "Cc: team@example.net, \"Eve Adams\" <eve@example.org>\n"
         "Subject: =?utf-8?Q?Quarterly_r=C3=A9view?= and plans " +
         std::to_string(n) +
         "\nDate: Tue, 6 Dec 2005 09:59:58 -0500\n"
         "Message-ID: <20051206095958." +
         std::to_string(n) +
         "@mail.example.com>\n"
         "MIME-Version: 1.0\n"
         "Content-Type: multipart/alternative; boundary=\"alt\"\n\n"
         "--alt\nContent-Type: text/plain; charset=utf-8\n\n" +
         Paragraphs(40) + "--alt\nContent-Type: text/html; charset=utf-8\n\n<p>" + Paragraphs(40) +
         "</p>\n--alt--\n";
}

std::string RequestSubject(int n) {
  return pelrion::validation::FormatSubjectTag("Meeting " + std::to_string(n),
                                               "john" + std::to_string(n) + "@example.com",
                                               static_cast<std::uint32_t>(10000 + n));
}

std::string RequestHeaders(int n) {
  const std::string subject = RequestSubject(n);
  const std::string signature = pelrion::validation::SignSubject(subject);
  return "Date: Tue, 6 Dec 2005 10:00:00 -0500\nFrom: Pelrion <jane@example.net>\n"
         "To: John <john" +
         std::to_string(n) + "@example.com>\nSubject: " + subject +
         "\nX-KVX-Signature: " + signature + "\nMessage-id: <KVX.R.S-" + signature.substr(0, 22) +
         ".0011223344556677@desk>\nX-KVX-AuthReq: 1\nMIME-Version: 1.0\n";
}

// Postfix style: multipart/report with the request's header block as text/rfc822-headers.
std::string HeadersNotification(int n) {
  return "Return-Path: <>\nReceived: by mail.example.net (Postfix) id 4F1A; Tue,  6 Dec 2005 "
         "10:00:05 -0500 (EST)\nDate: Tue,  6 Dec 2005 10:00:05 -0500 (EST)\n"
         "From: MAILER-DAEMON@mail.example.net (Mail Delivery System)\n"
         "Subject: Undelivered Mail Returned to Sender\nTo: jane@example.net\n"
         "MIME-Version: 1.0\nContent-Type: multipart/report; report-type=delivery-status;\n"
         "\tboundary=\"4F1A.1133881205/mail.example.net\"\n\n"
         "This is a MIME-encapsulated message.\n\n--4F1A.1133881205/mail.example.net\n"
         "Content-Type: text/plain; charset=us-ascii\n\n" +
         Paragraphs(12) +
         "--4F1A.1133881205/mail.example.net\nContent-Type: message/delivery-status\n\n"
         "Reporting-MTA: dns; mail.example.net\n\nFinal-Recipient: rfc822; john@example.com\n"
         "Action: failed\nStatus: 5.1.1\n\n--4F1A.1133881205/mail.example.net\n"
         "Content-Type: text/rfc822-headers\n\n" +
         RequestHeaders(n) + "--4F1A.1133881205/mail.example.net--\n";
}

// Sendmail style: Return-Path <> and the whole request as message/rfc822.
std::string MessageNotification(int n) {
  return "Return-Path: <>\nFrom: Mail Delivery Subsystem <MAILER-DAEMON@mail.example.net>\n"
         "Subject: Returned mail: see transcript for details\nMIME-Version: 1.0\n"
         "Content-Type: multipart/report; report-type=delivery-status; boundary=\"b.jB6F\"\n\n"
         "--b.jB6F\n\n" +
         Paragraphs(12) +
         "--b.jB6F\nContent-Type: message/delivery-status\n\nAction: failed\n\n--b.jB6F\n"
         "Content-Type: message/rfc822\n\n" +
         RequestHeaders(n) + "\n" + Paragraphs(30) + "--b.jB6F--\n";
}

// Exim style: one plain text with a copy of the request after the explanation.
std::string TextNotification(int n) {
  return "Return-path: <>\nFrom: Mail Delivery System <Mailer-Daemon@smtp.example.net>\n"
         "Subject: Mail delivery failed: returning message to sender\n\n"
         "This message was created automatically by mail delivery software.\n\n" +
         Paragraphs(6) +
         "\n------ This is a copy of the message, including all the headers. ------\n\n" +
         RequestHeaders(n) + "\n" + Paragraphs(30);
}

std::string Reply(int n) {
  return TraceFields(n) + "From: John <john" + std::to_string(n) +
         "@example.com>\nTo: jane@example.net\nSubject: Re: " + RequestSubject(n) +
         "\nDate: Tue, 6 Dec 2005 10:30:00 -0500\nMessage-ID: <reply." + std::to_string(n) +
         "@example.com>\n\nYes, it was me. The code is 123456.\n\n> " + Paragraphs(20);
}

class Corpus {
 public:
  explicit Corpus(std::string (*make)(int), int count = 64) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/bench-arrival-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern + "/";
    for (int n = 0; n < count; ++n) Add(Crlf(make(n)), n);
  }
  ~Corpus() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  struct Message {
    std::string path;
    std::unique_ptr<MessageRecord> record;
  };
  const std::vector<Message>& messages() const { return messages_; }
  const std::string& folder() const { return folder_; }
  std::int64_t bytes() const { return bytes_; }

 private:
  void Add(const std::string& text, int n) {
    Message message{folder_ + std::to_string(n) + ".eml", std::make_unique<MessageRecord>()};
    std::FILE* file = std::fopen(message.path.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    pelrion::mailformat::MimeScanner scanner;
    pelrion::mailformat::FeedMessageFile(message.path, scanner);
    message.record->summary.header_length = static_cast<std::int32_t>(scanner.header_length());
    message.record->summary.set_part_table(
        pelrion::mailformat::BuildPartTable(scanner, message.path));
    bytes_ += static_cast<std::int64_t>(text.size());
    messages_.push_back(std::move(message));
  }

  std::string folder_;
  std::vector<Message> messages_;
  std::int64_t bytes_ = 0;
};

class NullEvents : public pelrion::validation::QuarantineEvents {
 public:
  void RequestBounced(const std::string&, std::int32_t) override { ++count; }
  void AuthorizationReplyReceived(const std::string&, std::int32_t, std::string_view) override {
    ++count;
  }
  std::int64_t count = 0;
};

void BM_AnalyseMessage(benchmark::State& state, std::string (*make)(int)) {
  const Corpus corpus(make);
  std::size_t next = 0;
  for (auto _ : state) {
    const Corpus::Message& message = corpus.messages()[next];
    next = (next + 1) % corpus.messages().size();
    ClassificationInput input;
    std::string message_id;
    const bool ok = pelrion::validation::AnalyseMessage(*message.record, message.path,
                                                        corpus.folder(), input, message_id);
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(input);
  }
  state.counters["messages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_AnalyseMessage, OrdinaryMail, &OrdinaryMail);
BENCHMARK_CAPTURE(BM_AnalyseMessage, ReturnedHeadersNotification, &HeadersNotification);
BENCHMARK_CAPTURE(BM_AnalyseMessage, ReturnedMessageNotification, &MessageNotification);
BENCHMARK_CAPTURE(BM_AnalyseMessage, PlainTextNotification, &TextNotification);
BENCHMARK_CAPTURE(BM_AnalyseMessage, Reply, &Reply);

// The whole arrival step for a consumed message: analysis, then the check that consumes it.
void BM_AnalyseAndCheck(benchmark::State& state, std::string (*make)(int)) {
  const Corpus corpus(make);
  NullEvents events;
  std::size_t next = 0;
  for (auto _ : state) {
    const Corpus::Message& message = corpus.messages()[next];
    next = (next + 1) % corpus.messages().size();
    ClassificationInput input;
    std::string message_id;
    pelrion::validation::AnalyseMessage(*message.record, message.path, corpus.folder(), input,
                                        message_id);
    const bool consumed =
        input.report.is_delivery_status_notification
            ? pelrion::validation::CheckBounce(*message.record, input.report, events)
            : pelrion::validation::CheckReply(*message.record, message.path, events);
    benchmark::DoNotOptimize(consumed);
  }
  if (events.count < static_cast<std::int64_t>(state.iterations())) {
    state.SkipWithError("a check reported nothing for a message meant to be consumed");
  }
  state.counters["messages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_AnalyseAndCheck, ReturnedHeadersNotification, &HeadersNotification);
BENCHMARK_CAPTURE(BM_AnalyseAndCheck, PlainTextNotification, &TextNotification);
BENCHMARK_CAPTURE(BM_AnalyseAndCheck, Reply, &Reply);

}  // namespace

BENCHMARK_MAIN();
