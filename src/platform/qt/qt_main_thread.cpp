#include "platform/qt/qt_main_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <exception>

namespace pelrion::platform {

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
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace pelrion::platform
