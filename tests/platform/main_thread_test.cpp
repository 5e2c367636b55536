#include "platform/main_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/wait_serving_cases.h"

namespace pelrion::platform {
namespace {

// Several workers call into the main thread at once while it serves them. The counter and
// the per-worker logs are plain (unsynchronised) data owned by the main thread: they stay
// consistent only if every call runs there, one at a time.
TEST(MainThreadThreadTest, ConcurrentCallsRunOnTheMainThreadInOrder) {
  PlainMainThread main_thread;
  constexpr int kWorkers = 6;
  constexpr int kCallsEach = 300;
  const std::thread::id main_id = std::this_thread::get_id();
  int counter = 0;
  int off_main = 0;
  std::vector<std::vector<int>> logs(kWorkers);
  std::atomic<int> finished{0};

  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kCallsEach; ++i) {
        const int seen = main_thread.Call([&] {
          if (std::this_thread::get_id() != main_id) ++off_main;
          logs[w].push_back(i);
          return ++counter;
        });
        if (seen <= 0) std::abort();
      }
      finished.fetch_add(1);
    });
  }
  main_thread.RunUntil([&] { return finished.load() == kWorkers; });
  for (auto& worker : workers) worker.join();

  EXPECT_EQ(counter, kWorkers * kCallsEach);
  EXPECT_EQ(off_main, 0);
  for (int w = 0; w < kWorkers; ++w) {
    ASSERT_EQ(logs[w].size(), static_cast<std::size_t>(kCallsEach));
    for (int i = 0; i < kCallsEach; ++i) ASSERT_EQ(logs[w][i], i) << "worker " << w;
  }
}

// The shutdown pattern: the main thread waits for a worker that needs the main thread,
// pumping pending calls while it waits.
TEST(MainThreadThreadTest, PumpPendingServesAWorkerTheMainThreadWaitsFor) {
  PlainMainThread main_thread;
  std::atomic<bool> busy{true};
  int stored = 0;
  std::thread worker([&] {
    main_thread.Call([&] { stored = 1; });
    main_thread.Call([&] { stored = 2; });
    busy = false;
  });
  while (busy.load()) {
    main_thread.PumpPending();
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(stored, 2);
}

TEST(MainThreadThreadTest, WaitServingServesAWorkerUntilItEnds) {
  PlainMainThread main_thread;
  testing_support::ExpectWaitServesAWorkerUntilItEnds(main_thread);
}

TEST(MainThreadThreadTest, WaitServingGivesUpAtTheDeadline) {
  PlainMainThread main_thread;
  testing_support::ExpectWaitGivesUpAtTheDeadline(main_thread);
}

TEST(MainThreadTest, WaitServingForAnEndedWorker) {
  PlainMainThread main_thread;
  testing_support::ExpectWaitForAnEndedWorkerSucceeds(main_thread);
}

TEST(MainThreadThreadTest, ExceptionReachesTheCallingWorker) {
  PlainMainThread main_thread;
  std::atomic<bool> done{false};
  std::string caught;
  std::thread worker([&] {
    try {
      main_thread.Call([]() -> int { throw std::runtime_error("store failed"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  main_thread.RunUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(caught, "store failed");
}

TEST(MainThreadTest, CallOnTheMainThreadIsDirect) {
  PlainMainThread main_thread;
  auto owned = main_thread.Call([] { return std::make_unique<int>(7); });  // move-only result
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(*owned, 7);
  int value = 1;
  int& ref = main_thread.Call([&]() -> int& { return value; });
  EXPECT_EQ(&ref, &value);
  bool ran = false;
  main_thread.Call(std::function<void()>([&] { ran = true; }));
  EXPECT_TRUE(ran);
}

TEST(MainThreadTest, TimersFireOnlyWhenToldAndCanKillThemselves) {
  PlainMainThread main_thread;
  int fired = 0;
  main_thread.SetTimer(4, 3000, [&] {
    ++fired;
    main_thread.KillTimer(4);  // the shutdown wait is a one-shot
  });
  main_thread.SetTimer(3, 400, [&] { fired += 10; });
  EXPECT_EQ(main_thread.TimerPeriod(4), 3000);
  EXPECT_EQ(fired, 0);
  EXPECT_TRUE(main_thread.FireTimer(4));
  EXPECT_EQ(fired, 1);
  EXPECT_FALSE(main_thread.FireTimer(4));
  EXPECT_EQ(main_thread.TimerPeriod(4), std::nullopt);
  EXPECT_TRUE(main_thread.FireTimer(3));
  EXPECT_EQ(fired, 11);
  main_thread.SetTimer(3, 800, [&] { fired += 100; });  // setting again replaces it
  EXPECT_EQ(main_thread.TimerPeriod(3), 800);
  EXPECT_TRUE(main_thread.FireTimer(3));
  EXPECT_EQ(fired, 111);
  EXPECT_FALSE(main_thread.FireTimer(5));
}

}  // namespace
}  // namespace pelrion::platform
