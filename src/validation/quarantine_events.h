// What the bounce and reply checks of arrival analysis report to the quarantine. They run
// on the mail-check thread; the implementation the program uses forwards each event as a
// synchronous call into the main thread, which owns the quarantine.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pelrion::validation {

class QuarantineEvents {
 public:
  virtual ~QuarantineEvents() = default;

  // A delivery status notification says the request numbered `number` to `address` failed.
  virtual void RequestBounced(const std::string& address, std::int32_t number) = 0;
  // A message whose subject carries a decodable Sender-ID tag arrived; `text` is its
  // decoded first text part, at most 4096 bytes.
  virtual void AuthorizationReplyReceived(const std::string& address, std::int32_t number,
                                          std::string_view text) = 0;
};

}  // namespace pelrion::validation
