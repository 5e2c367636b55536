#include "transport/relay.h"

#include <poll.h>

#include <cerrno>
#include <memory>
#include <string>

#include "transport/net_error.h"

namespace pelrion::transport {
namespace {

constexpr std::size_t kRelayBuffer = 65535;

void ForwardBuffered(NetConnection& from, NetConnection& to) {
  const std::string bytes = from.TakeBuffered();
  if (!bytes.empty()) to.SendAll(bytes.data(), bytes.size());
}

// Which side to serve next: the client first; waits without time-out when neither has data.
NetConnection* NextReadable(NetConnection& client, NetConnection& upstream) {
  if (client.HasBufferedInput()) return &client;
  if (upstream.HasBufferedInput()) return &upstream;
  pollfd sides[2] = {{client.handle(), POLLIN, 0}, {upstream.handle(), POLLIN, 0}};
  for (;;) {
    const int ready = ::poll(sides, 2, -1);
    if (ready > 0) break;
    if (ready < 0 && errno != EINTR) throw MakeNetError(kNetEnded);
  }
  // An error or hang-up is "readable" too: the receive then tells the end.
  return sides[0].revents != 0 ? &client : &upstream;
}

}  // namespace

void Relay(NetConnection& client, NetConnection& upstream) {
  try {
    ForwardBuffered(client, upstream);
    ForwardBuffered(upstream, client);
    const auto buffer = std::make_unique<char[]>(kRelayBuffer);
    for (;;) {
      NetConnection* from = NextReadable(client, upstream);
      NetConnection* to = from == &client ? &upstream : &client;
      const std::size_t received = from->ReceiveSome(buffer.get(), kRelayBuffer);
      to->SendAll(buffer.get(), received);
    }
  } catch (NetError) {
    throw MakeNetError(kNetEnded);
  }
}

}  // namespace pelrion::transport
