// Relay: from some point on a session only copies bytes between the mail program and the real
// server, unchanged, in both directions, until either side closes or fails.
#pragma once

#include "transport/net_connection.h"

namespace pelrion::transport {

// Forwards what either side's ReadLine had already received (commands the client pipelined,
// or a reply that came early), then copies whatever arrives on either side to the other,
// without time-out, the client first when both have data. Always ends by throwing NetError 2
// (kNetEnded), whatever ended it; a stop shows as the end of a side.
[[noreturn]] void Relay(NetConnection& client, NetConnection& upstream);

}  // namespace pelrion::transport
