// SendWork: everything the send thread reads, copied on the main thread in one call before
// the thread starts. The thread never looks at the live account, listener, message or
// preference records, which the main thread may change or replace meanwhile; it reports
// each request's outcome by the recipient address (RequestOutcomes), and the queue's
// references are given back on the main thread when it ends (ReleaseSendQueue).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/preferences.h"
#include "validation/request_facts.h"
#include "validation/send_queue.h"

namespace pelrion::validation {

// One authorization request: what it is composed from, and the held message it stands
// for. facts.sender_address is the recipient and the address the outcome is reported by.
struct RequestWork {
  std::uint32_t message_id = 0;
  RequestFacts facts;
};

// One account's conversation with its SMTP server.
struct SendGroupWork {
  std::uint32_t account_id = 0;
  std::string account_name;          // the friendly name, for the status texts
  bool smtp_authentication = false;  // the server requires authentication
  std::string smtp_user_name;
  std::string smtp_password;
  std::string email_address;  // MAIL FROM
  std::uint32_t smtp_listener_id = 0;  // whose TLS settings the transport copies in
  std::string server_host;    // the account's SMTP listener's real server
  std::uint32_t server_port = 0;
  // Filled by the transport (CopySendTls), which owns the TLS settings; empty here.
  std::uint32_t tls_mode = 0;       // the listener's TLS policy, as its stored number
  std::string tls_fingerprint;      // the listener's pinned certificate, or empty
  std::string tls_ca_file;          // trusted besides the system store, or empty
  std::vector<RequestWork> requests;  // queue order
};

struct SendWork {
  // The "from" setting, the charset rows and the four template texts the composer uses.
  core::Preferences settings;
  std::vector<SendGroupWork> groups;  // ascending account id, as the queue
};

// The copy of the queue and of the preferences. Main thread only.
SendWork CopySendWork(const SendQueue& queue, const core::Preferences& preferences);

}  // namespace pelrion::validation
