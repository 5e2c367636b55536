#include "app/command_client.h"

#include <unistd.h>

#include <variant>

#include "app/command_line.h"
#include "platform/control_client.h"
#include "platform/control_server.h"
#include "platform/folders.h"

namespace pelrion::app {
namespace {

std::string WorkingFolder() {
  char buffer[4096];
  if (getcwd(buffer, sizeof buffer) == nullptr) return "/";
  return buffer;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& words, std::istream& in, std::ostream& out,
                   std::ostream& err) {
  auto prepared = PrepareClientCommand(words, WorkingFolder());
  if (auto* refused = std::get_if<CommandUsageError>(&prepared)) {
    err << refused->text << "\n";
    return kUsageExitCode;
  }
  const ClientCommand& command = std::get<ClientCommand>(prepared);
  platform::ControlRequest request{command.words, ReadCommandInput(in, command.input_lines)};
  const std::string socket_path = platform::ControlSocketPath(platform::UsualTempFolderPath());
  return platform::RunControlCommand(socket_path, request, out, err);
}

}  // namespace pelrion::app
