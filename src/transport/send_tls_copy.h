// The TLS half of the send thread's copy: validation copies the queue without knowing how TLS
// settings are kept, so the transport adds them, on the main thread, before the thread starts.
#pragma once

#include "platform/registry.h"
#include "validation/send_work.h"

namespace pelrion::transport {

// Fills every group's TLS mode and pinned fingerprint from its SMTP listener's settings, and
// the extra CA file, which all groups share. Main thread only.
void CopySendTls(validation::SendWork& work, const platform::Registry& registry);

}  // namespace pelrion::transport
