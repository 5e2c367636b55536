#include "validation/main_thread_quarantine_events.h"

namespace pelrion::validation {

// The worker waits inside Call, so its arguments stay valid while the main thread uses them.

void MainThreadQuarantineEvents::RequestBounced(const std::string& address, std::int32_t number) {
  main_.Call([&] { quarantine_.RequestBounced(address, number); });
}

void MainThreadQuarantineEvents::AuthorizationReplyReceived(const std::string& address,
                                                            std::int32_t number,
                                                            std::string_view text) {
  main_.Call([&] { quarantine_.AuthorizationReplyReceived(address, number, text); });
}

void MainThreadQuarantineEvents::RequestDelivered(const std::string& address) {
  main_.Call([&] { quarantine_.RequestDelivered(address); });
}

void MainThreadQuarantineEvents::RequestRefused(const std::string& address) {
  main_.Call([&] { quarantine_.RequestRefused(address); });
}

}  // namespace pelrion::validation
