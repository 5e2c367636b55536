#include "app/shutdown.h"

#include <chrono>

#include "app/startup.h"
#include "transport/active_connection_list.h"

namespace pelrion::app {
namespace {

// How long the end waits for aborted sessions to close their connections.
constexpr std::chrono::milliseconds kSessionEndWait{3000};

// Every listener stops taking connections; the sessions still running are aborted (headless
// there is nobody to ask, and the desktop asked before the event loop ended) and waited for
// while the calls they make into the main thread are served. True when none is left.
bool StopListenersAndSessions(Application& app) {
  if (app.listeners) app.listeners->threads().StopAll();
  transport::ActiveConnectionList& sessions = transport::ActiveConnectionList::Process();
  sessions.AbortAll();
  return app.main_thread.WaitServing([&sessions] { return sessions.count() == 0; },
                                     kSessionEndWait);
}

}  // namespace

bool EmptyTrashAtExit(store::MessageTable& messages, const core::Preferences& preferences,
                      platform::Dialogs& dialogs) {
  if (preferences.emptytrash == 0) return false;
  const bool tell = messages.Counter(store::Folder::kTrash).messages > kQuietTrashSize;
  if (tell) dialogs.ShowStatus(kEmptyingTrash);
  messages.EmptyFolder(store::Folder::kTrash);
  if (tell) dialogs.ShowStatus(kShuttingDown);
  return tell;
}

// The question about active connections is asked by the main window's close handler,
// before the event loop ends; what follows runs after it.
bool Shutdown(Application& app) {
  app.shutting_down = true;
  // No command starts once the end has begun; an answer already given still goes out.
  if (app.control) app.control->Stop();
  const bool sessions_ended = StopListenersAndSessions(app);
  app.main_thread.KillTimer(kQuarantineExpiryTimer);
  bool status_shown = false;
  if (app.stores.messages) {
    status_shown = EmptyTrashAtExit(*app.stores.messages, app.preferences, app.dialogs);
  }
  // The running mail-check or send worker is told to stop and waited for, within the bound
  // of timer 4, while its main-thread calls are served.
  bool worker_ended = true;
  if (app.cycle) {
    worker_ended = app.cycle->StopForShutdown();
  } else {
    app.main_thread.PumpPending();
  }
  // Nothing is saved: every store wrote each change when it happened, and the window
  // layout arrives with the main window. The status window goes (a long wait for the worker
  // opens it too).
  if (status_shown || app.cycle) app.dialogs.ShowStatus({});
  return sessions_ended && worker_ended;
}

}  // namespace pelrion::app
