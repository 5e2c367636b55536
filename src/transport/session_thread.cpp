#include "transport/session_thread.h"

#include <pthread.h>

#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/fatal_stop.h"
#include "platform/random.h"
#include "transport/net_connection.h"
#include "transport/net_error.h"

namespace pelrion::transport {

namespace {

// Runs the session to its end. Sessions end by throwing a NetError, a normal end included;
// whatever it was, the client only sees its connection close, and nothing is reported.
void SessionThread(ConnectionRecord& record, int client_fd, const SessionRunner& runner,
                     int timeout_seconds) {
  pthread_setname_np(pthread_self(), kSessionThreadName);
  NetConnection client(timeout_seconds, timeout_seconds, &record.job);
  client.Adopt(client_fd);
  record.job.SetSocket(client_fd, 0);
  platform::SeedRandForThread();
  try {
    runner(client, record.job, *record.listener);
  } catch (NetError) {
  } catch (const std::bad_alloc&) {
    platform::FatalStop(platform::kInsufficientMemory);
  }
  client.Close(false);
}

}  // namespace

void StartSessionThread(int client_fd, std::shared_ptr<const ListenerWork> listener,
                        std::shared_ptr<const SessionRunner> runner,
                        ActiveConnectionList& connections, int timeout_seconds) {
  auto record = std::make_unique<ConnectionRecord>();
  record->listener = std::move(listener);
  connections.Insert(record.get());
  ConnectionRecord* const entered = record.get();
  try {
    std::thread([record = std::move(record), client_fd, runner = std::move(runner), &connections,
                 timeout_seconds] {
      SessionThread(*record, client_fd, *runner, timeout_seconds);
      connections.Remove(record.get());
    }).detach();
  } catch (const std::system_error&) {
    connections.Remove(entered);
    platform::FatalStop(platform::kThreadStartFailed);
  }
}

}  // namespace pelrion::transport
