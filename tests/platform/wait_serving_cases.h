// What MainThread::WaitServing must do for every implementation of the port; the plain
// port's tests and the Qt port's tests run these same cases.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/main_thread.h"

namespace pelrion::platform::testing_support {

// A worker that makes several calls into the main thread and then ends, as one told to stop
// in the middle of its work does. The wait serves every call, on the main thread and in
// order, and returns true once the worker has ended, well before the deadline.
inline void ExpectWaitServesAWorkerUntilItEnds(MainThread& main_thread) {
  constexpr int kCalls = 25;
  const std::thread::id main_id = std::this_thread::get_id();
  std::vector<int> served;  // main thread only
  int off_main = 0;
  std::atomic<bool> ended{false};
  std::thread worker([&] {
    for (int i = 0; i < kCalls; ++i) {
      main_thread.Call([&, i] {
        if (std::this_thread::get_id() != main_id) ++off_main;
        served.push_back(i);
      });
    }
    ended = true;
  });
  const bool result =
      main_thread.WaitServing([&] { return ended.load(); }, std::chrono::milliseconds(60'000));
  worker.join();
  EXPECT_TRUE(result);
  EXPECT_EQ(off_main, 0);
  ASSERT_EQ(served.size(), static_cast<std::size_t>(kCalls));
  for (int i = 0; i < kCalls; ++i) EXPECT_EQ(served[i], i);
}

// A worker stuck (here: waiting for a release that comes only after the wait) outlives the
// deadline: the wait returns false once the deadline has passed, having served the call the
// worker made before it got stuck. Without a deadline the wait holds until the worker ends.
inline void ExpectWaitGivesUpAtTheDeadline(MainThread& main_thread) {
  constexpr auto kDeadline = std::chrono::milliseconds(50);
  std::atomic<bool> release{false};
  std::atomic<bool> ended{false};
  bool called = false;
  std::thread worker([&] {
    main_thread.Call([&] { called = true; });
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    main_thread.Call([&] { called = false; });
    ended = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const bool result = main_thread.WaitServing([&] { return ended.load(); }, kDeadline);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(result);
  EXPECT_GE(waited, kDeadline);
  EXPECT_TRUE(called);

  release = true;
  EXPECT_TRUE(main_thread.WaitServing([&] { return ended.load(); }));
  worker.join();
  EXPECT_FALSE(called);
}

// A worker that has already ended: the wait returns at once, even with a zero deadline.
inline void ExpectWaitForAnEndedWorkerSucceeds(MainThread& main_thread) {
  EXPECT_TRUE(main_thread.WaitServing([] { return true; }, std::chrono::milliseconds(0)));
  EXPECT_FALSE(main_thread.WaitServing([] { return false; }, std::chrono::milliseconds(0)));
}

}  // namespace pelrion::platform::testing_support
