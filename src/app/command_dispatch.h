// The running program's answer to a control request: the words parsed again and the command
// run on the main thread.
#pragma once

#include "app/command_context.h"
#include "platform/control_message.h"
#include "platform/control_server.h"

namespace pelrion::app {

// Runs the request and answers through respond: at once, except `check --wait`, which
// answers once the mail cycle is idle again, and `stop`, which answers before it asks the
// program to stop. Never asks anything through the dialogs. Main thread.
void HandleControlRequest(CommandContext& context, platform::ControlRequest request,
                          platform::ControlResponder respond);

}  // namespace pelrion::app
