// The quarantine as the worker threads see it: each event is forwarded as a synchronous
// call into the main thread, which owns the quarantine, and returns once it has been
// handled there. The bounce and reply checks of the mail-check thread use it as
// QuarantineEvents; the send thread reports the SMTP server's verdict on a request through
// it as RequestOutcomes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/main_thread.h"
#include "validation/quarantine.h"
#include "validation/quarantine_events.h"
#include "validation/request_outcomes.h"

namespace pelrion::validation {

class MainThreadQuarantineEvents : public QuarantineEvents, public RequestOutcomes {
 public:
  // Both must outlive this object.
  MainThreadQuarantineEvents(platform::MainThread& main_thread, Quarantine& quarantine)
      : main_(main_thread), quarantine_(quarantine) {}

  void RequestBounced(const std::string& address, std::int32_t number) override;
  void AuthorizationReplyReceived(const std::string& address, std::int32_t number,
                                  std::string_view text) override;
  void RequestDelivered(const std::string& address) override;
  void RequestRefused(const std::string& address) override;

 private:
  platform::MainThread& main_;
  Quarantine& quarantine_;
};

}  // namespace pelrion::validation
