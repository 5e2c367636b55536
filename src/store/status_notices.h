// The main window's list of network-error notices, as the account and listener tables see it:
// when the last reference to an account or a listener goes, its notices go too.
#pragma once

#include <cstdint>

namespace pelrion::store {

// Origin of a notice: a mail account's server, or a listener.
enum class NoticeOrigin : int { kAccount = 0, kListener = 1 };

class StatusNotices {
 public:
  virtual ~StatusNotices() = default;

  // Removes the notices of this origin and id that carry this flag (for an account: the
  // protocol of the report, 1 SMTP and 0 POP3; for a listener always 0). Runs on the main
  // thread: the tables make the call through the main-thread port.
  virtual void RemoveStatusNotices(NoticeOrigin origin, std::uint32_t id, int flag) = 0;
};

// No notice list: the program without a main window, the tools and the benchmarks.
class NoStatusNotices : public StatusNotices {
 public:
  void RemoveStatusNotices(NoticeOrigin, std::uint32_t, int) override {}
};

}  // namespace pelrion::store
