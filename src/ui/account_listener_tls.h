// The TLS policy of the real server behind a listener, as the account sheet's Servers page
// shows and changes it. The listener's threads copy the settings when they start, so a
// running listener is restarted after a change.
#pragma once

#include <QString>
#include <cstdint>

#include "platform/registry.h"
#include "store/listener_control.h"
#include "transport/tls_policy.h"

namespace pelrion::ui {

// The modes in the order the choice lists them (their stored numbers).
inline constexpr transport::TlsMode kTlsModes[] = {
    transport::TlsMode::kAutomatic, transport::TlsMode::kUpgradeRequired,
    transport::TlsMode::kImplicit, transport::TlsMode::kNever};

QString TlsModeText(transport::TlsMode mode);

struct ListenerTlsChoice {
  transport::TlsMode mode = transport::TlsMode::kAutomatic;
  bool forget_pin = false;  // drop the pinned certificate
};

// Stores the choice for the listener; when that changed anything and the listener is
// running, it is stopped and started again. Main thread.
void ApplyListenerTls(platform::Registry& registry, store::ListenerControl& threads,
                      std::uint32_t listener_id, const ListenerTlsChoice& choice);

}  // namespace pelrion::ui
