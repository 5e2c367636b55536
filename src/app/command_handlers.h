// The control commands by group; each runs on the main thread and answers with its reply.
// The dispatcher picks the group from the parsed command.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

#include "app/command_context.h"
#include "app/command_line.h"
#include "platform/control_message.h"
#include "platform/control_server.h"

namespace pelrion::app {

// account add / list / remove; input holds the passwords of account add.
platform::ControlReply RunAccountCommand(CommandContext& context, const ParsedCommand& command,
                                         std::string_view input);
// contact add / list / remove.
platform::ControlReply RunContactCommand(CommandContext& context, const ParsedCommand& command);
// domain add / remove / list.
platform::ControlReply RunDomainCommand(CommandContext& context, const ParsedCommand& command);
// messages, approve, blacklist, delete, move, empty-trash.
platform::ControlReply RunMessageCommand(CommandContext& context, const ParsedCommand& command);
// get, set.
platform::ControlReply RunPreferenceCommand(CommandContext& context,
                                            const ParsedCommand& command);
// listener list / start / set.
platform::ControlReply RunListenerCommand(CommandContext& context, const ParsedCommand& command);
// import addresses.
platform::ControlReply RunImportCommand(CommandContext& context, const ParsedCommand& command);
// import clients / accounts / account; input holds the password of import account.
platform::ControlReply RunMailClientCommand(CommandContext& context, const ParsedCommand& command,
                                            std::string_view input);
// check, offline, status, errors; check --wait answers later, through respond.
void RunCycleCommand(CommandContext& context, const ParsedCommand& command,
                     const platform::ControlResponder& respond);

// The listeners as status and listener list print them.
nlohmann::json ListenersJson(CommandContext& context);

}  // namespace pelrion::app
