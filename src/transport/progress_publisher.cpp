#include "transport/progress_publisher.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace pelrion::transport {

ProgressPublisher::ProgressPublisher(WorkerReports& reports, Clock::duration interval)
    : reports_(reports), interval_(interval) {}

void ProgressPublisher::Set(std::string main_text, std::string sub_text, int percent, bool busy,
                            int notify) {
  status_.main_text = std::move(main_text);
  status_.sub_text = std::move(sub_text);
  status_.percent = percent;
  status_.busy = busy;
  Tell(notify);
}

void ProgressPublisher::SetSubText(std::string sub_text, int notify) {
  status_.sub_text = std::move(sub_text);
  Tell(notify);
}

void ProgressPublisher::SetPercent(int percent) {
  if (percent == status_.percent) return;
  status_.percent = percent;
  untold_ |= kNotifyPercent;
  if (Clock::now() - last_told_ >= interval_) Tell(0);
}

void ProgressPublisher::Flush() {
  if (untold_ != 0) Tell(0);
}

void ProgressPublisher::Tell(int notify) {
  const int changed = notify | untold_;
  untold_ = 0;
  last_told_ = Clock::now();
  reports_.StatusChanged(status_, changed);
}

void ReceiveProgress::Advance() {
  const int percent = static_cast<int>(std::min(100.0, static_cast<double>(received_) / unit_));
  publisher_.SetPercent(percent);
  next_step_ = percent >= 100 ? std::numeric_limits<std::uint64_t>::max()
                              : static_cast<std::uint64_t>(std::ceil((percent + 1) * unit_));
}

}  // namespace pelrion::transport
