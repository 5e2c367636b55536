// What the send thread reports to the quarantine about each authorization request: the
// SMTP server's verdict on its recipient. The implementation the program uses forwards
// each report as a synchronous call into the main thread, which owns the quarantine; the
// worker names the request by its recipient address only.
#pragma once

#include <string>

namespace pelrion::validation {

class RequestOutcomes {
 public:
  virtual ~RequestOutcomes() = default;

  // The SMTP server accepted the request to address (250).
  virtual void RequestDelivered(const std::string& address) = 0;
  // The SMTP server refused the recipient (550 or 553).
  virtual void RequestRefused(const std::string& address) = 0;
};

}  // namespace pelrion::validation
