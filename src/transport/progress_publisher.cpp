#include "transport/progress_publisher.h"

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

}  // namespace pelrion::transport
