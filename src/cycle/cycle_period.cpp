#include "cycle/mail_cycle.h"

namespace pelrion::cycle {

namespace {
constexpr int kMinuteMs = 60'000;
constexpr int kSendOnlyMinutes = 15;      // when the timer only sends requests
constexpr int kDefaultDelayMinutes = 10;  // a delay outside its range
}  // namespace

int CyclePeriodMs(const core::Preferences& preferences) {
  if (preferences.checkmail == 0) return kSendOnlyMinutes * kMinuteMs;
  const std::uint32_t delay = preferences.checkmail_delay;
  if (delay < core::kCheckMailDelayMin || delay > core::kCheckMailDelayMax) {
    return kDefaultDelayMinutes * kMinuteMs;
  }
  return static_cast<int>(delay) * kMinuteMs;
}

}  // namespace pelrion::cycle
