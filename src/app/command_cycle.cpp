// check, offline, status, errors: the mail cycle seen from the command line. Nothing here
// asks through the dialogs: the one who typed the command gets the answer instead.
#include <string>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "cycle/network_errors.h"

namespace pelrion::app {
namespace {

std::string ReportLine(const cycle::NetworkErrorReport& report) {
  return cycle::FormatReportTime(report.time) + "   " + report.text + "\n";
}

// The reports whose serial is at least first_serial, one line each.
std::string ReportLines(const cycle::NetworkErrorList& errors, std::uint64_t first_serial) {
  std::string text;
  for (const cycle::NetworkErrorReport& report : errors.reports()) {
    if (report.serial >= first_serial) text += ReportLine(report);
  }
  return text;
}

void Check(CommandContext& context, const ParsedCommand& command,
           const platform::ControlResponder& respond) {
  std::optional<std::uint32_t> account;
  if (!command.ids.empty()) {
    account = command.ids.front();
    if (!context.stores.accounts->AccountExists(*account)) {
      respond(UnknownId("account", *account));
      return;
    }
  }
  const std::uint64_t first_serial = context.cycle.errors().next_serial();
  switch (context.cycle.RequestCheck(account)) {
    case cycle::CheckStart::kOffline:
      respond(Refused("pelrion: working offline; 'pelrion offline off' goes online"));
      return;
    case cycle::CheckStart::kBusy:
      respond(Refused("pelrion: the mail is being checked or sent already"));
      return;
    case cycle::CheckStart::kNothingToCheck:
      respond(Refused("pelrion: no account to check"));
      return;
    case cycle::CheckStart::kStarted:
      break;
  }
  if (!command.Has("--wait")) {
    respond(Succeeded());
    return;
  }
  // Answered from the cycle's idle notice: the main thread goes on serving the workers.
  cycle::MailCycle& mail_cycle = context.cycle;
  mail_cycle.WhenIdle([&mail_cycle, first_serial, respond] {
    const std::string reports = ReportLines(mail_cycle.errors(), first_serial);
    respond({reports.empty() ? 0 : 1, reports, {}});
  });
}

platform::ControlReply Status(CommandContext& context, const ParsedCommand& command) {
  const cycle::MailCycle& mail_cycle = context.cycle;
  nlohmann::json errors = nlohmann::json::array();
  for (const cycle::NetworkErrorReport& report : mail_cycle.errors().reports()) {
    errors.push_back({{"time", report.time}, {"text", JsonText(report.text)}});
  }
  const std::string proxy_state = context.listeners.ProxyState();
  if (command.Has("--json")) {
    return Succeeded(JsonOutput({{"offline", mail_cycle.offline()},
                                 {"checking", mail_cycle.checking()},
                                 {"sending", mail_cycle.sending()},
                                 {"proxy_state", proxy_state},
                                 {"listeners", ListenersJson(context)},
                                 {"errors", std::move(errors)}}));
  }
  auto yes_no = [](bool on) { return on ? std::string("yes\n") : std::string("no\n"); };
  return Succeeded("offline: " + yes_no(mail_cycle.offline()) +
                   "checking: " + yes_no(mail_cycle.checking()) +
                   "sending: " + yes_no(mail_cycle.sending()) + proxy_state + "\n" +
                   "network errors: " + std::to_string(mail_cycle.errors().reports().size()) +
                   "\n");
}

}  // namespace

void RunCycleCommand(CommandContext& context, const ParsedCommand& command,
                     const platform::ControlResponder& respond) {
  switch (command.id) {
    case CommandId::kCheck:
      Check(context, command, respond);
      return;
    case CommandId::kOffline:
      context.cycle.SetOffline(command.args[0] == "on");
      respond(Succeeded());
      return;
    case CommandId::kErrors:
      respond(Succeeded(command.Has("--clear") ? context.cycle.TakeNetworkErrors()
                                               : ReportLines(context.cycle.errors(), 0)));
      return;
    default:
      respond(Status(context, command));
      return;
  }
}

}  // namespace pelrion::app
