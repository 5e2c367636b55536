#include "transport/listener_threads.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/fatal_stop.h"
#include "transport/listener_thread.h"

namespace pelrion::transport {

std::optional<ListenerWork> CopyListenerWorkOf(const store::ListenerTable& table,
                                               const platform::Registry& registry,
                                               std::uint32_t listener_id) {
  const std::optional<store::Listener> listener = table.CopyOf(listener_id);
  if (!listener) return std::nullopt;
  return CopyListenerWork(*listener, registry);
}

ListenerThreads::ListenerThreads(platform::MainThread& main_thread, ListenerWorkSource source,
                                 ListenerReports& reports, SessionRunner runner,
                                 ActiveConnectionList& connections, int session_timeout_seconds)
    : main_thread_(main_thread),
      source_(std::move(source)),
      reports_(reports),
      runner_(std::make_shared<const SessionRunner>(std::move(runner))),
      connections_(connections),
      session_timeout_seconds_(session_timeout_seconds) {}

ListenerThreads::~ListenerThreads() { StopAll(); }

std::vector<std::unique_ptr<ListenerThreads::Job>>::const_iterator ListenerThreads::Find(
    std::uint32_t listener_id) const {
  return std::ranges::find_if(jobs_, [listener_id](const auto& job) {
    return job->id == listener_id;
  });
}

void ListenerThreads::StartListener(std::uint32_t listener_id) {
  JoinEnded();
  if (IsRunning(listener_id)) return;
  std::optional<ListenerWork> work = source_(listener_id);
  if (!work) return;

  auto job = std::make_unique<Job>();
  job->id = listener_id;
  Job* const started = job.get();
  const auto at = std::ranges::upper_bound(jobs_, listener_id, {}, [](const auto& entry) {
    return entry->id;
  });
  jobs_.insert(at, std::move(job));
  ListenerRun run{.job = started->worker,
                  .listener = std::make_shared<const ListenerWork>(std::move(*work)),
                  .runner = runner_,
                  .reports = reports_,
                  .connections = connections_,
                  .session_timeout_seconds = session_timeout_seconds_};
  try {
    started->thread = std::thread([this, started, run = std::move(run)] {
      ListenerThread(run);
      main_thread_.Call([this, started] { ListenerEnded(started); });
    });
  } catch (const std::system_error&) {
    platform::FatalStop(platform::kThreadStartFailed);
  }
}

void ListenerThreads::StopListener(std::uint32_t listener_id) {
  const auto found = Find(listener_id);
  if (found != jobs_.end()) {
    (*found)->worker.RequestStop();
    main_thread_.WaitServing([this, listener_id] { return !IsRunning(listener_id); });
  }
  JoinEnded();
}

void ListenerThreads::StopAll() {
  while (!jobs_.empty()) StopListener(jobs_.front()->id);
  JoinEnded();
}

void ListenerThreads::ListenerEnded(Job* job) {
  const auto found = std::ranges::find_if(jobs_, [job](const auto& entry) {
    return entry.get() == job;
  });
  if (found == jobs_.end()) return;
  ended_.push_back(std::move(*found));
  jobs_.erase(found);
}

void ListenerThreads::JoinEnded() {
  for (const auto& job : ended_) job->thread.join();
  ended_.clear();
}

bool ListenerThreads::IsRunning(std::uint32_t listener_id) const {
  return Find(listener_id) != jobs_.end();
}

std::vector<std::uint32_t> ListenerThreads::RunningIds() const {
  std::vector<std::uint32_t> ids;
  for (const auto& job : jobs_) ids.push_back(job->id);
  return ids;
}

std::string ListenerThreads::ProxyState() const {
  if (connections_.count() > 0) return std::string(kProxyServing);
  if (!jobs_.empty()) return std::string(kProxyListening);
  return std::string(kProxyDown);
}

}  // namespace pelrion::transport
