// The held-sender list at 10,000 and 100,000 senders, one held message each:
//  - Rebuild: the list made again from every Quarantine message, as at start-up;
//  - BulkRelease: every held message taken out one by one in the order a user's selection
//    gives (random with respect to the addresses), as a bulk move out of the Quarantine
//    reports them, then the list looked at once;
//  - Expire: the hourly expiry with every other sender's request out of date.
// The records are not in the message table, so the store's own work (saving each moved
// record) is left out and the figures are the list's and the quarantine's.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/preferences.h"
#include "platform/clock.h"
#include "store/address_list_table.h"
#include "store/message_accounts.h"
#include "store/message_record.h"
#include "store/folders_view.h"
#include "store/message_table.h"
#include "validation/pending_sender_list.h"
#include "validation/quarantine.h"

namespace {

namespace fs = std::filesystem;
using pelrion::store::MessageRecord;
using pelrion::validation::PendingSenderList;
using pelrion::validation::Quarantine;

constexpr std::int64_t kNow = 1'700'000'000;
constexpr std::int32_t kDaysAgo10 = static_cast<std::int32_t>(kNow - 10 * 86400);
constexpr std::int32_t kHourAgo = static_cast<std::int32_t>(kNow - 3600);

class NoAccounts : public pelrion::store::MessageAccounts {
 public:
  bool AccountExists(std::uint32_t) const override { return false; }
  bool AdjustMessageCount(std::uint32_t, int) override { return false; }
};

// A private empty folder for the tables the list and the quarantine are wired to; they
// are never loaded, so nothing is written there.
std::string ScratchFolder() {
  static const std::string folder = [] {
    std::string pattern = (fs::temp_directory_path() / "pelrion-bench-senders-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] { fs::remove_all(ScratchFolder()); });
    return pattern + "/";
  }();
  return folder;
}

// count held messages of distinct senders, in ascending id order as the table lists them;
// ids and addresses are drawn independently, so address order is unrelated to id order.
struct HeldSet {
  std::vector<std::unique_ptr<MessageRecord>> owned;
  std::vector<MessageRecord*> records;

  explicit HeldSet(std::size_t count) {
    std::mt19937 random(12345);
    for (std::size_t i = 0; i < count; ++i) {
      auto record = std::make_unique<MessageRecord>();
      record->id = static_cast<std::uint32_t>(i + 1) * 40503u;
      record->status = 2;
      record->request_sent_time = (i % 2 == 0) ? kDaysAgo10 : kHourAgo;
      record->summary.set_sender_address(
          "sender" + std::to_string(random()) + "." + std::to_string(i) + "@example.com");
      records.push_back(record.get());
      owned.push_back(std::move(record));
    }
    std::sort(records.begin(), records.end(),
              [](const MessageRecord* a, const MessageRecord* b) { return a->id < b->id; });
  }
};

struct World {
  NoAccounts accounts;
  pelrion::core::Preferences preferences;
  PendingSenderList list{preferences};
  pelrion::store::NoFoldersView view;
  pelrion::store::MessageTable messages{ScratchFolder(), accounts, list, view};
  pelrion::store::AddressListTable address_lists{ScratchFolder()};
  Quarantine quarantine{list, messages, address_lists, preferences};
};

void BM_Rebuild(benchmark::State& state) {
  const HeldSet held(static_cast<std::size_t>(state.range(0)));
  World world;
  for (auto _ : state) {
    world.list.Rebuild(held.records);
    benchmark::DoNotOptimize(world.list.size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BulkRelease(benchmark::State& state) {
  const HeldSet held(static_cast<std::size_t>(state.range(0)));
  std::vector<MessageRecord*> selection = held.records;
  std::shuffle(selection.begin(), selection.end(), std::mt19937(777));
  World world;
  for (auto _ : state) {
    state.PauseTiming();
    world.list.Rebuild(held.records);
    state.ResumeTiming();
    for (MessageRecord* record : selection) world.list.ReleaseHeldMessage(*record);
    benchmark::DoNotOptimize(world.list.size());
  }
  if (!world.list.empty()) state.SkipWithError("the list is not empty after the release");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Expire(benchmark::State& state) {
  const HeldSet held(static_cast<std::size_t>(state.range(0)));
  World world;
  pelrion::platform::SetNowForTesting(kNow);
  for (auto _ : state) {
    state.PauseTiming();
    world.list.Rebuild(held.records);
    state.ResumeTiming();
    world.quarantine.ExpireQuarantine();
    benchmark::DoNotOptimize(world.list.size());
  }
  pelrion::platform::SetNowForTesting(std::nullopt);
  if (world.list.size() != held.records.size() / 2)
    state.SkipWithError("expiry did not remove exactly the out-of-date half");
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_Rebuild)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BulkRelease)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Expire)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
