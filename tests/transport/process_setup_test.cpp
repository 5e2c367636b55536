#include "transport/process_setup.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <thread>

namespace pelrion::transport {
namespace {

TEST(ProcessSetupTest, IgnoresSigpipeAndRaisesTheDescriptorLimit) {
  signal(SIGPIPE, SIG_DFL);
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  const rlimit original = limit;
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 64);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);

  PrepareProcessForNetwork();

  struct sigaction pipe_action {};
  sigaction(SIGPIPE, nullptr, &pipe_action);
  EXPECT_EQ(pipe_action.sa_handler, SIG_IGN);
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_max != RLIM_INFINITY) {
    EXPECT_EQ(limit.rlim_cur, limit.rlim_max);
  } else {
    EXPECT_GT(limit.rlim_cur, 64u);
  }
  setrlimit(RLIMIT_NOFILE, &original);
}

bool Blocks(const sigset_t& mask, int signal_number) {
  return sigismember(&mask, signal_number) == 1;
}

TEST(ProcessSetupThreadTest, WorkerBlocksTheMainThreadsSignalsForItselfOnly) {
  sigset_t main_before;
  pthread_sigmask(SIG_SETMASK, nullptr, &main_before);
  sigset_t worker_mask;
  std::thread worker([&] {
    BlockMainThreadSignals();
    pthread_sigmask(SIG_SETMASK, nullptr, &worker_mask);
  });
  worker.join();
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_TRUE(Blocks(worker_mask, signal_number)) << signal_number;
  }
  EXPECT_FALSE(Blocks(worker_mask, SIGSEGV));
  sigset_t main_after;
  pthread_sigmask(SIG_SETMASK, nullptr, &main_after);
  for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    EXPECT_EQ(Blocks(main_after, signal_number), Blocks(main_before, signal_number));
  }
}

}  // namespace
}  // namespace pelrion::transport
