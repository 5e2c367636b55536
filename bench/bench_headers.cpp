// Header parsing on the path of every downloaded message: address fields and header blocks.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "mailformat/addresses.h"
#include "mailformat/header_block.h"

namespace {

using pelrion::mailformat::ParseAddressList;

constexpr std::string_view kFrom = R"("Doe, John" <John.Doe@Example.COM>)";
constexpr std::string_view kTo =
    R"v(Ann Lee <ann.lee@example.org>, "Bob (sales)" <bob@sales.example.net>, )v"
    R"(carol@example.com (Carol Smith), =?iso-8859-1?Q?Andr=E9_Dupont?= <andre@example.fr>)";
constexpr std::string_view kCc =
    R"(Team: dave@example.org, "Eve \"E\" Adams" <EVE@Example.org>;, )"
    R"(frank@example.com, Grace Hopper <grace@navy.example.mil>, heidi@example.de)";

void BM_ParseAddressList(benchmark::State& state, std::string_view value, bool decode) {
  for (auto _ : state) {
    auto list = ParseAddressList(value, decode);
    benchmark::DoNotOptimize(list);
  }
  state.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK_CAPTURE(BM_ParseAddressList, From, kFrom, false);
BENCHMARK_CAPTURE(BM_ParseAddressList, FromDecoded, kFrom, true);
BENCHMARK_CAPTURE(BM_ParseAddressList, To, kTo, false);
BENCHMARK_CAPTURE(BM_ParseAddressList, ToDecoded, kTo, true);
BENCHMARK_CAPTURE(BM_ParseAddressList, Cc, kCc, false);
BENCHMARK_CAPTURE(BM_ParseAddressList, CcDecoded, kCc, true);

// A header block as a mail server delivers it: trace fields, folded lines, MIME fields.
std::string RealisticHeaderBlock() {
  return "Return-Path: <john.doe@example.com>\r\n"
         "Received: from mx1.example.org (mx1.example.org [192.0.2.10])\r\n"
         "\tby mail.example.net (Postfix) with ESMTPS id 4F2A31C0A2\r\n"
         "\tfor <ann.lee@example.net>; Tue, 6 Dec 2005 10:00:02 -0500 (EST)\r\n"
         "Received: from [198.51.100.7] (helo=laptop)\r\n"
         "\tby mx1.example.org with esmtpa (Exim 4.96)\r\n"
         "\tid 1rAbCd-0003xY-2F; Tue, 06 Dec 2005 15:59:58 +0100\r\n"
         "DKIM-Signature: v=1; a=rsa-sha256; c=relaxed/relaxed; d=example.com;\r\n"
         " s=sel1; h=from:to:subject:date:message-id;\r\n"
         " bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;\r\n"
         " b=dGhpcyBpcyBub3QgYSByZWFsIHNpZ25hdHVyZSBqdXN0IGZpbGxlciB0ZXh0\r\n"
         "Message-ID: <20051206100000.4F2A31C0A2@mail.example.com>\r\n"
         "Date: Tue, 6 Dec 2005 10:00:00 -0500\r\n"
         "From: \"Doe, John\" <John.Doe@Example.COM>\r\n"
         "To: Ann Lee <ann.lee@example.net>, \"Bob (sales)\" <bob@sales.example.net>\r\n"
         "Cc: carol@example.com (Carol Smith)\r\n"
         "Subject: =?iso-8859-1?Q?R=E9union_de_lundi?= and the quarterly\r\n"
         " figures\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: multipart/alternative;\r\n"
         "\tboundary=\"----=_Part_1234_567890.1133881200000\"\r\n"
         "X-Mailer: Example Mail 3.1\r\n"
         "\r\n";
}

void BM_UnfoldAndSplitHeaderBlock(benchmark::State& state) {
  const std::string block = RealisticHeaderBlock();
  for (auto _ : state) {
    std::string text = block;
    pelrion::mailformat::UnfoldHeaderBlock(text);
    auto headers = pelrion::mailformat::SplitHeaderBlock(text);
    benchmark::DoNotOptimize(headers);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
  state.counters["calls/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UnfoldAndSplitHeaderBlock);

// Linear-time check: a long run of folded lines (a hostile or machine-generated field).
void BM_UnfoldLongFoldedField(benchmark::State& state) {
  std::string block = "X-Long: a";
  for (int i = 0; i < state.range(0); ++i) block += "\r\n\tb";
  block += "\r\n";
  for (auto _ : state) {
    std::string text = block;
    pelrion::mailformat::UnfoldHeaderBlock(text);
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * block.size()));
}
BENCHMARK(BM_UnfoldLongFoldedField)->Arg(1 << 10)->Arg(1 << 16);

}  // namespace

BENCHMARK_MAIN();
