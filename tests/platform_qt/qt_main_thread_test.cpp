#include "platform/qt/qt_main_thread.h"

#include <gtest/gtest.h>

#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>
#include <chrono>

#include "platform/wait_serving_cases.h"
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

TEST(QtMainThreadThreadTest, WaitServingServesAWorkerUntilItEnds) {
  TestApp();
  QtMainThread main_thread;
  testing_support::ExpectWaitServesAWorkerUntilItEnds(main_thread);
}

TEST(QtMainThreadThreadTest, WaitServingGivesUpAtTheDeadline) {
  TestApp();
  QtMainThread main_thread;
  testing_support::ExpectWaitGivesUpAtTheDeadline(main_thread);
}

TEST(QtMainThreadTest, WaitServingForAnEndedWorker) {
  TestApp();
  QtMainThread main_thread;
  testing_support::ExpectWaitForAnEndedWorkerSucceeds(main_thread);
}

// Records the input events it receives, in order.
class InputRecorder : public QObject {
 public:
  std::vector<QEvent::Type> received;

 protected:
  bool event(QEvent* e) override {
    if (e->isInputEvent()) {
      received.push_back(e->type());
      return true;
    }
    return QObject::event(e);
  }
};

void PostKey(QObject* to, Qt::Key key) {
  QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}

void PostClick(QObject* to) {
  QCoreApplication::postEvent(
      to, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
}

// A click or key press must not run a command in the middle of the operation that waits for
// a worker: input pending when the wait starts, or arriving during it, is delivered only
// after the wait, in its order, while the worker's calls and other events run meanwhile.
TEST(QtMainThreadThreadTest, UserInputWaitsUntilTheWaitForAWorkerEnds) {
  TestApp();
  QtMainThread main_thread;
  InputRecorder recorder;
  PostKey(&recorder, Qt::Key_A);
  PostClick(&recorder);
  std::atomic<bool> ended{false};
  std::vector<std::size_t> seen_during_calls;
  bool queued_call_ran = false;
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) {
      main_thread.Call([&] {
        // Ordinary queued work of the main thread still runs while it waits.
        QMetaObject::invokeMethod(&recorder, [&] { queued_call_ran = true; },
                                  Qt::QueuedConnection);
        seen_during_calls.push_back(recorder.received.size());
        if (seen_during_calls.size() == 2) PostKey(&recorder, Qt::Key_B);
      });
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ended = true;
  });
  ASSERT_TRUE(main_thread.WaitServing([&] { return ended.load(); }));
  worker.join();
  EXPECT_EQ(seen_during_calls, std::vector<std::size_t>(5, 0));
  EXPECT_TRUE(recorder.received.empty());
  EXPECT_TRUE(queued_call_ran);

  QCoreApplication::processEvents();
  EXPECT_EQ(recorder.received, (std::vector<QEvent::Type>{QEvent::KeyPress,
                                                         QEvent::MouseButtonPress,
                                                         QEvent::KeyPress}));
}

// A worker may be inside a FatalStop's message box when it is told to stop: the box runs its
// own event loop, and the user must be able to answer it during the wait.
TEST(QtMainThreadThreadTest, NestedEventLoopDuringTheWaitGetsItsInput) {
  TestApp();
  QtMainThread main_thread;
  InputRecorder recorder;
  std::atomic<bool> ended{false};
  std::size_t received_in_nested_loop = 0;
  std::thread worker([&] {
    main_thread.Call([&] {
      QEventLoop box_loop;
      QTimer::singleShot(5000, &box_loop, &QEventLoop::quit);  // never hang the test
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, &box_loop, [&] {
        if (!recorder.received.empty()) box_loop.quit();
      });
      poll.start(1);
      PostClick(&recorder);
      box_loop.exec();
      received_in_nested_loop = recorder.received.size();
    });
    ended = true;
  });
  ASSERT_TRUE(main_thread.WaitServing([&] { return ended.load(); }));
  worker.join();
  EXPECT_EQ(received_in_nested_loop, 1u);
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
