// What the account windows (Mail Accounts, Mail Account Properties) work on. Everything
// referred to outlives the windows.
#pragma once

#include <functional>

#include "platform/registry.h"
#include "store/account_table.h"
#include "store/listener_table.h"
#include "store/listener_control.h"
#include "ui/wizard_mail_clients.h"

namespace pelrion::ui {

struct AccountWindowPorts {
  store::AccountTable& accounts;
  store::ListenerTable& listeners;
  // Which listeners run: one whose TLS settings change is restarted so its threads read them.
  store::ListenerControl& listener_threads;
  // Each listener's TLS settings.
  platform::Registry& registry;
  // What a removal asks of the message store (highlight, forget digests).
  store::AccountRemovalPeers& removal;
  // Called after a refused removal marked messages: the message list redraws its rows.
  std::function<void()> messages_highlighted;
  // The wizard's import source ("&Add").
  MailClientImport& mail_clients;
};

}  // namespace pelrion::ui
