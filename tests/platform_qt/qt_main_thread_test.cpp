#include "platform/qt/qt_main_thread.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "qt_test_app.h"

namespace pelrion::platform {
namespace {

using testing_support::TestApp;

// Workers call into the main thread while its event loop runs; the unsynchronised counter
// and logs stay consistent only if each call ran there, one at a time, in order.
TEST(QtMainThreadThreadTest, WorkersCallWhileTheEventLoopRuns) {
  TestApp();
  QtMainThread main_thread;
  constexpr int kWorkers = 4;
  constexpr int kCallsEach = 200;
  const std::thread::id main_id = std::this_thread::get_id();
  int counter = 0;
  int off_main = 0;
  std::vector<std::vector<int>> logs(kWorkers);
  std::atomic<int> finished{0};
  QEventLoop loop;

  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      for (int i = 0; i < kCallsEach; ++i) {
        main_thread.Call([&] {
          if (std::this_thread::get_id() != main_id) ++off_main;
          logs[w].push_back(i);
          return ++counter;
        });
      }
      if (finished.fetch_add(1) + 1 == kWorkers) {
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
      }
    });
  }
  loop.exec();
  for (auto& worker : workers) worker.join();

  EXPECT_EQ(counter, kWorkers * kCallsEach);
  EXPECT_EQ(off_main, 0);
  for (int w = 0; w < kWorkers; ++w) {
    ASSERT_EQ(logs[w].size(), static_cast<std::size_t>(kCallsEach));
    for (int i = 0; i < kCallsEach; ++i) ASSERT_EQ(logs[w][i], i) << "worker " << w;
  }
}

TEST(QtMainThreadThreadTest, ResultsAndExceptionsReachTheWorker) {
  TestApp();
  QtMainThread main_thread;
  std::atomic<bool> done{false};
  int result = 0;
  bool was_main = true;
  std::string caught;
  std::thread worker([&] {
    was_main = main_thread.IsMainThread();
    result = *main_thread.Call([] { return std::make_unique<int>(42); });
    try {
      main_thread.Call([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  // The shutdown pattern: the main thread waits for the worker while pumping.
  while (!done.load()) main_thread.PumpPending();
  worker.join();
  EXPECT_FALSE(was_main);
  EXPECT_TRUE(main_thread.IsMainThread());
  EXPECT_EQ(result, 42);
  EXPECT_EQ(caught, "refused");
}

TEST(QtMainThreadTest, TimerFiresUntilKilled) {
  TestApp();
  QtMainThread main_thread;
  QEventLoop loop;
  int fired = 0;
  main_thread.SetTimer(2, 5, [&] {
    if (++fired == 3) {
      main_thread.KillTimer(2);  // from inside its own function
      loop.quit();
    }
  });
  loop.exec();
  EXPECT_EQ(fired, 3);
  // A killed timer stays silent: run the loop through a later one-shot.
  QTimer::singleShot(30, &loop, [&loop] { loop.quit(); });
  loop.exec();
  EXPECT_EQ(fired, 3);
}

TEST(QtMainThreadThreadTest, TimerSetFromAWorkerRunsOnTheMainThread) {
  TestApp();
  QtMainThread main_thread;
  QEventLoop loop;
  bool on_main = false;
  std::thread worker([&] {
    main_thread.SetTimer(1, 1, [&] {
      on_main = main_thread.IsMainThread();
      main_thread.KillTimer(1);
      loop.quit();
    });
  });
  loop.exec();
  worker.join();
  EXPECT_TRUE(on_main);
}

}  // namespace
}  // namespace pelrion::platform
