// ListenerThreads: the running listeners, one thread each, started and stopped on the main
// thread. The job list belongs to the main thread alone; a listener thread reaches it only by
// its ended notice, a call into the main thread. A listener is running exactly while its job
// is in the list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/listener_control.h"
#include "store/listener_table.h"
#include "transport/active_connection_list.h"
#include "transport/listener_reports.h"
#include "transport/listener_work.h"
#include "transport/session_thread.h"
#include "transport/worker_job.h"

namespace pelrion::transport {

// The copy of the listener with this id that its threads will read; nullopt when there is
// none. Main thread.
using ListenerWorkSource = std::function<std::optional<ListenerWork>(std::uint32_t listener_id)>;

// The copy of a listener of the table, with its settings from the registry.
std::optional<ListenerWork> CopyListenerWorkOf(const store::ListenerTable& table,
                                               const platform::Registry& registry,
                                               std::uint32_t listener_id);

// The status-bar text of the mail proxy.
inline constexpr std::string_view kProxyServing = "Mail Proxy: Serving Mail Client...";
inline constexpr std::string_view kProxyListening = "Mail Proxy: Listening...";
inline constexpr std::string_view kProxyDown = "Mail Proxy: Down";

class ListenerThreads : public store::ListenerControl {
 public:
  // Everything given outlives this object; source is asked on the main thread, reports and
  // runner are used on the listener and session threads.
  ListenerThreads(platform::MainThread& main_thread, ListenerWorkSource source,
                  ListenerReports& reports, SessionRunner runner,
                  ActiveConnectionList& connections = ActiveConnectionList::Process(),
                  int session_timeout_seconds = kSessionTimeoutSeconds);
  // Stops every listener. Sessions already started go on.
  ~ListenerThreads() override;
  ListenerThreads(const ListenerThreads&) = delete;
  ListenerThreads& operator=(const ListenerThreads&) = delete;

  // Starts the listener's thread with a fresh copy of the listener; nothing when it is
  // running already or unknown. A thread that cannot be started ends the process.
  void StartListener(std::uint32_t listener_id) override;
  // Stops the listener's thread and returns once it has ended, serving the calls it makes
  // into the main thread meanwhile; nothing when it is not running.
  void StopListener(std::uint32_t listener_id) override;
  void StopAll();

  bool IsRunning(std::uint32_t listener_id) const override;
  // The ids of the running listeners, ascending.
  std::vector<std::uint32_t> RunningIds() const;

  // "Serving" while any connection is served, else "Listening" while any listener runs, else
  // "Down".
  std::string ProxyState() const;

 private:
  struct Job {
    WorkerJob worker;
    std::uint32_t id = 0;
    std::thread thread;
  };

  // The ended notice of a listener thread, on the main thread: the job leaves the list.
  void ListenerEnded(Job* job);
  // Joins the threads whose jobs have left the list (each is past its ended notice).
  void JoinEnded();
  std::vector<std::unique_ptr<Job>>::const_iterator Find(std::uint32_t listener_id) const;

  platform::MainThread& main_thread_;
  ListenerWorkSource source_;
  ListenerReports& reports_;
  std::shared_ptr<const SessionRunner> runner_;
  ActiveConnectionList& connections_;
  int session_timeout_seconds_;

  std::vector<std::unique_ptr<Job>> jobs_;   // running, sorted by listener id
  std::vector<std::unique_ptr<Job>> ended_;  // out of the list, threads not yet joined
};

}  // namespace pelrion::transport
