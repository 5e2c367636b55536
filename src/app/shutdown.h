// The orderly end, once the event loop has ended. Runs on the main thread.
#pragma once

#include <string_view>

#include "app/application.h"
#include "core/preferences.h"
#include "platform/dialogs.h"
#include "store/message_table.h"

namespace pelrion::app {

inline constexpr std::string_view kEmptyingTrash = "Emptying the Trash folder...";
inline constexpr std::string_view kShuttingDown = "Pelrion is shutting down...";
// Emptying a Trash of more messages than this takes long enough to tell the user.
inline constexpr int kQuietTrashSize = 100;

// With "emptytrash" on, every message of Trash is deleted for good (a message a mail client
// still holds goes when it is let go, or at the next start). A Trash of more than
// kQuietTrashSize messages shows kEmptyingTrash in the status window while it is emptied,
// then kShuttingDown. True when the status window was shown and is still open.
bool EmptyTrashAtExit(store::MessageTable& messages, const core::Preferences& preferences,
                      platform::Dialogs& dialogs);

// Takes the running program apart in order: the control socket, the listeners and their
// sessions, the Trash, the mail worker. Stores need no saving here: every change was written
// when it happened. False when a session or the worker outlived its wait: the thread may
// still call into the stores, so the caller ends the process at once instead of taking the
// application apart.
bool Shutdown(Application& app);

}  // namespace pelrion::app
