// Date reading on the hot path of arrival analysis: ParseMailDate on realistic Date values and on
// the tails of Received values, and FormatMailDate for outgoing mail.
#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <string_view>

#include "mailformat/mail_date.h"

namespace {

using namespace pelrion::mailformat;

constexpr std::array<std::string_view, 8> kDates = {
    "Tue, 6 Dec 2005 10:00:00 -0500",
    "Mon, 04 Jul 2005 08:00:00 -0400 (EDT)",
    "6 Dec 2005 10:00 EST",
    "Thu, 10 Dec 2026 04:20:33 +0000",
    "Wed, 15 Mar 2023 17:45:12 +0530",
    "Fri, 1 Jan 1999 00:00:00 GMT",
    "Sun, 6 Dec 2026 06:28:16 PM +0100",
    "Sat, 29 Feb 2020 23:59:59 -0800 (PST)",
};

void BM_ParseMailDate(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseMailDate(kDates[i]));
    i = (i + 1) % kDates.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseMailDate);

void BM_ReceivedDate(benchmark::State& state) {
  const std::string value =
      " from mx.example.org (mx.example.org [192.0.2.1]) by mail.example.com (Postfix) with "
      "ESMTP id 4F2A13C0B1 for <user@example.com>; Tue, 6 Dec 2005 10:00:00 -0500 (EST)";
  for (auto _ : state) {
    const auto text = ExtractReceivedDate(value);
    benchmark::DoNotOptimize(text ? ParseMailDate(*text) : kNoDate);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReceivedDate);

void BM_FormatMailDate(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FormatMailDate());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FormatMailDate);

}  // namespace

BENCHMARK_MAIN();
