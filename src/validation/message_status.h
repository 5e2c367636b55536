// MessageStatus: why a message is in its folder, stored in its record and shown in the
// message properties window and as the message list's icon.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelrion::validation {

enum MessageStatus : std::int32_t {
  kStatusUnassigned = 0,          // moved by hand
  kStatusAwaitingRequest = 1,     // held; request not sent yet
  kStatusAwaitingReply = 2,       // held; request accepted by the SMTP server
  kStatusExpired = 3,             // no valid reply within the time limit
  kStatusRequestFailed = 4,       // request refused or bounced, no sender, forged own address
  kStatusBlacklisted = 5,         // sender on the Black List
  kStatusUnprovokedReport = 6,    // notification about no message of this installation
  kStatusTrustedContact = 7,      // sender on Trusted Contacts
  kStatusAuthorized = 8,          // a valid reply arrived
  kStatusReport = 9,              // notification about a message this installation sent
  kStatusAuthorizationRequest = 10,  // a request sent by another installation
  kStatusNotTrusted = 11,         // unknown sender while requests are switched off
  kStatusTrustedDomain = 12,      // sender's domain is a trusted domain
};

// The status text; empty for code 12 and for any code outside 0..12.
std::string_view MessageStatusText(std::int32_t status);

}  // namespace pelrion::validation
