// CheckWork: everything the mail-check thread reads, copied on the main thread before it
// starts. The thread never looks at the live account, listener or registry records, which
// the main thread may change or replace meanwhile; it reports back by account id.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "store/listener_record.h"
#include "store/mail_account.h"

namespace pelrion::transport {

// One account to check and the real server its POP3 listener stands for.
struct CheckAccountWork {
  store::MailAccount account;  // a copy: user name, password, friendly name, id
  std::string server_host;
  std::uint32_t server_port = 0;
  std::uint32_t tls_mode = 0;   // the listener's TLS policy, as its stored number
  std::string tls_fingerprint;  // the listener's pinned certificate, or empty
  std::string tls_ca_file;      // trusted besides the system store, or empty
};

struct CheckWork {
  std::string database_folder;  // ends in '/'; flushed to disk before the server deletes
  std::vector<CheckAccountWork> accounts;  // in checking order
};

// The copy for one account and its POP3 listener, with the listener's TLS settings from the
// registry. Main thread only.
CheckAccountWork CopyCheckAccount(const store::MailAccount& account,
                                  const store::Listener& pop3_listener,
                                  const platform::Registry& registry);

}  // namespace pelrion::transport
