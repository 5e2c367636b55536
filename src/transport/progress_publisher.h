// The status record as a worker changes it, told to the window at a pace it can take. A
// download moves the percent after every line; telling the main thread each time would be
// one cross-thread call per line. Text changes are told at once; percent-only changes at
// most once per interval, and any change still untold goes with the next text change or
// Flush.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "transport/worker_reports.h"

namespace pelrion::transport {

// Bits of the notify set: which parts of the status record changed.
inline constexpr int kNotifyMainText = 1;
inline constexpr int kNotifySubText = 2;
inline constexpr int kNotifyPercent = 4;
inline constexpr int kNotifyBusy = 8;
inline constexpr int kNotifyAll = 15;

class ProgressPublisher {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ProgressPublisher(WorkerReports& reports,
                             Clock::duration interval = std::chrono::milliseconds(50));

  // Sets all four fields and tells the window now, with `notify` and whatever was untold.
  void Set(std::string main_text, std::string sub_text, int percent, bool busy, int notify);
  void SetSubText(std::string sub_text, int notify);
  // Tells the window when the interval has passed since it was last told, else later.
  void SetPercent(int percent);
  // Tells the window of a change not yet told.
  void Flush();

  const StatusRecord& status() const { return status_; }

 private:
  void Tell(int notify);

  WorkerReports& reports_;
  Clock::duration interval_;
  StatusRecord status_;
  int untold_ = 0;
  Clock::time_point last_told_{};
};

// The percent of a download: bytes received against the total the server announced. Cheap
// per line: the percent is worked out only when the count reaches its next step.
class ReceiveProgress {
 public:
  // unit: the bytes that make one percent (> 0).
  ReceiveProgress(ProgressPublisher& publisher, double unit) : publisher_(publisher), unit_(unit) {}

  void Add(std::size_t bytes) {
    received_ += bytes;
    if (received_ >= next_step_) Advance();
  }

 private:
  void Advance();

  ProgressPublisher& publisher_;
  double unit_;
  std::uint64_t received_ = 0;
  std::uint64_t next_step_ = 0;
};

}  // namespace pelrion::transport
