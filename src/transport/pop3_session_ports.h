// What the local POP3 server needs from the rest of the program: the account table for the
// login, the message store (through the main thread) for the Inbox, and a few behaviours
// tests replace (the pause after a wrong password, the fatal stop, the TLS decision).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "store/account_table.h"
#include "store/message_calls.h"
#include "transport/tls_policy.h"

namespace pelrion::transport {

struct Pop3SessionPorts {
  // Both must outlive every session. The account table's find and release are safe from any
  // thread (its own lock); the message calls run on the main thread.
  store::AccountTable& accounts;
  store::MessageCalls& messages;
  std::string database_folder;  // ends in '/'
  // Runs before the reply to a wrong password: slows down guessing. Two seconds by default.
  std::function<void()> login_failure_delay;
  // Ends the program on a message file that breaks while it is served. Must not return; when
  // a test's version does, the session ends with a NetError.
  std::function<void(std::string_view text)> fatal_stop;
  // Whether a conversation with the real server may go on in plain text.
  PlainConversationPolicy policy = DecidePlainConversation;
  int upstream_timeout_seconds = 200;
};

// The ports with the program's behaviours: a two-second pause, platform::FatalStop.
Pop3SessionPorts DefaultPop3SessionPorts(store::AccountTable& accounts,
                                         store::MessageCalls& messages,
                                         std::string database_folder);

}  // namespace pelrion::transport
