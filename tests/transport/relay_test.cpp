// The relay between a mail program and its real server over loopback sockets.

#include "transport/relay.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>

#include "transport/net_error.h"
#include "transport/socket_helpers.h"

namespace pelrion::transport {
namespace {

using testing::ConnectedPair;
using testing::TcpPair;
using testing::WriteAll;

std::string ReadExactly(int fd, std::size_t size) {
  std::string bytes(size, '\0');
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::recv(fd, bytes.data() + got, size - got, 0);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  bytes.resize(got);
  return bytes;
}

TEST(RelayThreadTest, ForwardsWhatWasBufferedFirstThenCopiesBothWaysUntilOneSideCloses) {
  const TcpPair client_pair = ConnectedPair();
  const TcpPair upstream_pair = ConnectedPair();
  NetConnection client(5, 5, nullptr);
  NetConnection upstream(5, 5, nullptr);
  client.Adopt(client_pair.near);
  upstream.Adopt(upstream_pair.near);

  // The mail program pipelined a second command behind the one the session read.
  WriteAll(client_pair.far, "USER other\r\nPASS secret\r\nST");
  ASSERT_EQ(client.ReadLine(), "USER other\r\n");
  // The server answered early, behind the greeting the session read.
  WriteAll(upstream_pair.far, "+OK hello\r\n+OK early\r\n");
  ASSERT_EQ(upstream.ReadLine(), "+OK hello\r\n");

  NetError ended = 0;
  std::thread relay([&] {
    try {
      Relay(client, upstream);
    } catch (NetError error) {
      ended = error;
    }
  });
  EXPECT_EQ(ReadExactly(upstream_pair.far, 15), "PASS secret\r\nST");
  EXPECT_EQ(ReadExactly(client_pair.far, 11), "+OK early\r\n");
  WriteAll(client_pair.far, "AT\r\n");
  EXPECT_EQ(ReadExactly(upstream_pair.far, 4), "AT\r\n");
  const std::string big(100000, 'x');  // more than one 65535-byte buffer
  WriteAll(upstream_pair.far, big);
  EXPECT_EQ(ReadExactly(client_pair.far, big.size()), big);

  ::close(client_pair.far);
  relay.join();
  EXPECT_EQ(ended, MakeNetError(kNetEnded));
  ::close(upstream_pair.far);
}

}  // namespace
}  // namespace pelrion::transport
