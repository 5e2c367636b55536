#include "app/shutdown.h"

#include "app/startup.h"

namespace pelrion::app {

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
void Shutdown(Application& app) {
  app.shutting_down = true;
  // Every running listener is told to stop and its socket closed here; listeners arrive
  // with the listener layer.
  app.main_thread.KillTimer(kQuarantineExpiryTimer);
  bool status_shown = false;
  if (app.stores.messages) {
    status_shown = EmptyTrashAtExit(*app.stores.messages, app.preferences, app.dialogs);
  }
  // The running mail-check or send worker is told to stop here and waited for while its
  // main-thread calls are still served; the worker arrives with the mail cycle. Until then
  // only calls already queued remain to be served.
  app.main_thread.PumpPending();
  // Nothing is saved: every store wrote each change when it happened, and the window
  // layout arrives with the main window.
  if (status_shown) app.dialogs.ShowStatus({});
}

}  // namespace pelrion::app
