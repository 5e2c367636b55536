#include "platform/qt/qt_main_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <exception>
#include <memory>
#include <utility>
#include <vector>

namespace pelrion::platform {
namespace {

// Holds the user input events delivered at the current event-loop level while it lives, and
// posts them again, in order, when it goes. ExcludeUserInputEvents keeps the window system's
// input queued; this covers input posted as events. A nested event loop (a message box a
// main-thread call opens) is a deeper level and gets its input as usual, so the box can be
// answered during the wait.
class InputHold : public QObject {
 public:
  InputHold() : level_(QThread::currentThread()->loopLevel()) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~InputHold() override {
    QCoreApplication::instance()->removeEventFilter(this);
    for (auto& [receiver, event] : held_) {
      if (receiver) QCoreApplication::postEvent(receiver, event.release());
    }
  }
  InputHold(const InputHold&) = delete;
  InputHold& operator=(const InputHold&) = delete;

 protected:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (!event->isInputEvent() || QThread::currentThread()->loopLevel() != level_) return false;
    held_.emplace_back(receiver, std::unique_ptr<QEvent>(event->clone()));
    return true;
  }

 private:
  const int level_;
  std::vector<std::pair<QPointer<QObject>, std::unique_ptr<QEvent>>> held_;
};

}  // namespace

QtMainThread::QtMainThread() : context_(std::make_unique<QObject>()) {}

QtMainThread::~QtMainThread() = default;  // the timers go with their parent context_

bool QtMainThread::IsMainThread() const { return QThread::currentThread() == context_->thread(); }

void QtMainThread::Call(std::function<void()> fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  // An exception must not unwind through Qt's event dispatch; it is carried back and
  // rethrown in the calling thread.
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      context_.get(),
      [&] {
        try {
          fn();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

void QtMainThread::SetTimer(int id, int period_ms, std::function<void()> fn) {
  Call([this, id, period_ms, fn = std::move(fn)]() mutable {
    auto it = timers_.find(id);
    QTimer* timer;
    if (it != timers_.end()) {
      // Setting an existing timer again restarts it with the new period and function.
      timer = it->second;
      timer->stop();
      QObject::disconnect(timer, &QTimer::timeout, nullptr, nullptr);
    } else {
      timer = new QTimer(context_.get());
      timers_[id] = timer;
    }
    QObject::connect(timer, &QTimer::timeout, context_.get(), std::move(fn));
    timer->start(period_ms);
  });
}

void QtMainThread::KillTimer(int id) {
  Call([this, id] {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second->stop();
    // The timer may be killed from its own timeout function: delete it later.
    it->second->deleteLater();
    timers_.erase(it);
  });
}

void QtMainThread::PumpPending() {
  if (!IsMainThread()) return;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool QtMainThread::WaitServing(const std::function<bool()>& ended,
                               std::optional<std::chrono::milliseconds> deadline) {
  const auto until = DeadlineFromNow(deadline);
  if (!IsMainThread()) return PollUntil(ended, until);
  InputHold hold;
  // Wakes the wait at least every millisecond, so that a worker that ends by setting a flag
  // (no event) is seen, and the deadline is kept.
  QTimer tick;
  tick.start(1);
  while (!ended()) {
    if (until && std::chrono::steady_clock::now() >= *until) return false;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace pelrion::platform
