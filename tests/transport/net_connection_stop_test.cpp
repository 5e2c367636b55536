// A controller stops a worker blocked in a connection call: the worker ends with NetError 1,
// promptly, and every descriptor is closed exactly once, by the worker.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "transport/net_connection.h"
#include "transport/socket_helpers.h"

namespace pelrion::transport {
namespace {

using testing::CaughtNetError;
using testing::ConnectedPair;
using testing::IsOpenDescriptor;
using testing::kLoopback;
using testing::OpenDescriptorCount;
using testing::RawListener;
using testing::TcpPair;
using testing::UnansweredListener;

// Long enough that a wait ended by its time-out instead of the stop would give code 6 or 5.
constexpr int kLongTimeout = 30;

// Runs `blocked` on a worker thread that owns `connection` (and closes it when done), stops
// the job from this thread once the worker has had time to block, and returns the worker's
// NetError.
NetError StopWhileBlocked(WorkerJob& job, NetConnection& connection,
                          const std::function<void()>& blocked) {
  NetError error = 0;
  std::thread worker([&] {
    error = CaughtNetError(blocked);
    connection.Close(false);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  job.RequestStop();
  worker.join();
  return error;
}

TEST(NetConnectionStopThreadTest, StopDuringReadLineEndsWithCodeOneAndClosesOnce) {
  const std::size_t before = OpenDescriptorCount();
  TcpPair pair = ConnectedPair();
  WorkerJob job;
  {
    NetConnection connection(kLongTimeout, kLongTimeout, &job);
    connection.Adopt(pair.near);
    job.SetSocket(connection.handle());
    const NetError error = StopWhileBlocked(job, connection, [&] { connection.ReadLine(); });
    EXPECT_EQ(error, MakeNetError(kNetStopped));
    EXPECT_EQ(job.SocketIn(), -1);
  }
  // The peer's descriptor was never closed by anyone else; after it only the count from before.
  EXPECT_TRUE(IsOpenDescriptor(pair.far));
  close(pair.far);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(NetConnectionStopThreadTest, StopDuringAcceptEndsWithCodeOne) {
  const std::size_t before = OpenDescriptorCount();
  WorkerJob job;
  {
    NetConnection listener(kLongTimeout, kLongTimeout, &job);
    listener.Create();
    job.SetSocket(listener.handle());
    listener.Bind(kLoopback, 0);
    listener.Listen();
    EXPECT_EQ(StopWhileBlocked(job, listener, [&] { listener.Accept(); }),
              MakeNetError(kNetStopped));
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

TEST(NetConnectionStopThreadTest, StopDuringConnectEndsWithCodeOne) {
  UnansweredListener unanswered;
  const std::size_t before = OpenDescriptorCount();
  WorkerJob job;
  {
    NetConnection connection(kLongTimeout, kLongTimeout, &job);
    connection.Create();
    job.SetSocket(connection.handle());
    const NetError error = StopWhileBlocked(
        job, connection, [&] { connection.Connect(kLoopback, unanswered.port()); });
    EXPECT_EQ(error, MakeNetError(kNetStopped));
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

// Without a stop the write time-out ends the same connect: a connect failure, timed out.
TEST(NetConnectionStopThreadTest, UnansweredConnectFailsAfterTheTimeOut) {
  UnansweredListener unanswered;
  WorkerJob job;
  NetConnection connection(1, 1, &job);
  connection.Create();
  const NetError error = CaughtNetError([&] { connection.Connect(kLoopback, unanswered.port()); });
  EXPECT_EQ(error, MakeNetError(kNetConnect, 10060));
  EXPECT_EQ(ErrorText(error), "Connection timed out (10060)");
}

}  // namespace
}  // namespace pelrion::transport
