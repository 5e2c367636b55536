#include "app/command_dispatch.h"

#include <variant>

#include "app/command_handlers.h"
#include "app/command_line.h"
#include "app/command_reply.h"

namespace pelrion::app {
namespace {

platform::ControlReply RunStoreCommand(CommandContext& context, const ParsedCommand& command,
                                       std::string_view input) {
  switch (command.id) {
    case CommandId::kAccountAdd:
    case CommandId::kAccountList:
    case CommandId::kAccountRemove:
      return RunAccountCommand(context, command, input);
    case CommandId::kContactAdd:
    case CommandId::kContactList:
    case CommandId::kContactRemove:
      return RunContactCommand(context, command);
    case CommandId::kDomainAdd:
    case CommandId::kDomainRemove:
    case CommandId::kDomainList:
      return RunDomainCommand(context, command);
    case CommandId::kGet:
    case CommandId::kSet:
      return RunPreferenceCommand(context, command);
    case CommandId::kListenerList:
    case CommandId::kListenerStart:
    case CommandId::kListenerSet:
      return RunListenerCommand(context, command);
    case CommandId::kImportAddresses:
      return RunImportCommand(context, command);
    case CommandId::kImportClients:
    case CommandId::kImportAccounts:
    case CommandId::kImportAccount:
      return RunMailClientCommand(context, command, input);
    default:
      return RunMessageCommand(context, command);
  }
}

}  // namespace

void HandleControlRequest(CommandContext& context, platform::ControlRequest request,
                          platform::ControlResponder respond) {
  auto parsed = ParseCommand(request.words);
  if (const auto* error = std::get_if<CommandUsageError>(&parsed)) {
    respond(Refused(error->text, kUsageExitCode));
    return;
  }
  const ParsedCommand& command = std::get<ParsedCommand>(parsed);
  switch (command.id) {
    case CommandId::kCheck:
    case CommandId::kOffline:
    case CommandId::kStatus:
    case CommandId::kErrors:
      RunCycleCommand(context, command, respond);
      return;
    case CommandId::kStop:
      respond(Succeeded());
      if (context.request_stop) context.request_stop();
      return;
    default:
      respond(RunStoreCommand(context, command, request.input));
      return;
  }
}

}  // namespace pelrion::app
