#include "transport/worker_job.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "transport/socket_helpers.h"

namespace pelrion::transport {
namespace {

using testing::ConnectedPair;
using testing::IsOpenDescriptor;
using testing::TcpPair;

// The peer of a shut-down socket reads end of stream; a live one has nothing to read.
bool PeerSeesEnd(int far) {
  char byte;
  return recv(far, &byte, 1, MSG_DONTWAIT) == 0;
}

class WorkerJobTest : public ::testing::Test {
 protected:
  void TearDown() override {
    close(pair_.near);
    close(pair_.far);
  }
  TcpPair pair_ = ConnectedPair();
  WorkerJob job_;
};

TEST_F(WorkerJobTest, StopShutsTheHeldSocketDownButLeavesItOpen) {
  job_.SetSocket(pair_.near);
  EXPECT_FALSE(job_.StopRequested());
  job_.RequestStop();
  EXPECT_TRUE(job_.StopRequested());
  EXPECT_TRUE(PeerSeesEnd(pair_.far));
  EXPECT_TRUE(IsOpenDescriptor(pair_.near));  // only the worker closes
}

TEST_F(WorkerJobTest, ClearedOrForgottenSocketIsNotTouchedByAStop) {
  job_.SetSocket(pair_.near, 0);
  job_.ClearSocket(0);
  job_.SetSocket(pair_.near, 1);
  job_.ForgetSocket(pair_.near);
  EXPECT_EQ(job_.SocketIn(0), -1);
  EXPECT_EQ(job_.SocketIn(1), -1);
  job_.RequestStop();
  EXPECT_FALSE(PeerSeesEnd(pair_.far));
}

TEST_F(WorkerJobTest, StopShutsDownEverySlot) {
  const TcpPair upstream = ConnectedPair();
  job_.SetSocket(pair_.near, 0);
  job_.SetSocket(upstream.near, 1);
  job_.RequestStop();
  EXPECT_TRUE(PeerSeesEnd(pair_.far));
  EXPECT_TRUE(PeerSeesEnd(upstream.far));
  close(upstream.near);
  close(upstream.far);
}

// A stop that comes between creating a socket and handing it over must still reach it, or the
// worker would block on it until its time-out.
TEST_F(WorkerJobTest, SocketHandedOverAfterAStopIsShutDownAtOnce) {
  job_.RequestStop();
  job_.SetSocket(pair_.near);
  EXPECT_TRUE(PeerSeesEnd(pair_.far));
}

// A worker that keeps handing sockets over and taking them back while another thread stops it:
// whichever order the two take, the socket the worker ends up holding is shut down.
TEST(WorkerJobThreadTest, StopRacingHandOversReachesOnlyHeldSockets) {
  for (int round = 0; round < 20; ++round) {
    WorkerJob job;
    const TcpPair held = ConnectedPair();
    const TcpPair released = ConnectedPair();
    std::atomic<bool> go{false};
    std::thread worker([&] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < 200; ++i) {
        job.SetSocket(released.near);
        job.ClearSocket();
      }
      job.SetSocket(held.near);
    });
    go.store(true);
    job.RequestStop();
    worker.join();
    EXPECT_TRUE(PeerSeesEnd(held.far)) << round;
    for (int fd : {held.near, held.far, released.near, released.far}) close(fd);
  }
}

}  // namespace
}  // namespace pelrion::transport
