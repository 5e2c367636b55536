#include "transport/process_setup.h"

#include <signal.h>
#include <sys/resource.h>

#include <fstream>

namespace pelrion::transport {
namespace {

// An unlimited hard limit cannot be the soft limit of descriptors; the kernel's ceiling can.
rlim_t DescriptorCeiling(rlim_t hard) {
  if (hard != RLIM_INFINITY) return hard;
  rlim_t ceiling = 0;
  std::ifstream nr_open("/proc/sys/fs/nr_open");
  if (nr_open >> ceiling) return ceiling;
  return 1 << 20;
}

}  // namespace

void PrepareProcessForNetwork() {
  signal(SIGPIPE, SIG_IGN);
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = DescriptorCeiling(limit.rlim_max);
  if (limit.rlim_cur >= wanted) return;
  limit.rlim_cur = wanted;
  setrlimit(RLIMIT_NOFILE, &limit);
}

void BlockMainThreadSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

}  // namespace pelrion::transport
