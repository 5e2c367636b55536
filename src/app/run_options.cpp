#include "app/run_options.h"

#include "app/command_line.h"

namespace pelrion::app {
namespace {

constexpr const char* kRunHelp =
    "Usage: pelrion [--headless]\n"
    "       pelrion COMMAND [ARGUMENTS...]\n"
    "       pelrion --help | --version\n"
    "\n"
    "Without a command, starts Pelrion: the main window when a display is available, the\n"
    "headless proxy otherwise.\n"
    "  --headless   run without a window even when a display is available\n"
    "  --help       print this text and exit\n"
    "  --version    print the version and exit\n"
    "\n"
    "Commands, answered by the running program:\n";

}  // namespace

RunOptions ParseRunOptions(const std::vector<std::string>& arguments) {
  RunOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.empty() || argument[0] != '-') {
      options.mode = RunMode::kCommand;
      options.words.assign(arguments.begin() + static_cast<std::ptrdiff_t>(i), arguments.end());
      return options;
    }
    if (argument == "--headless") {
      options.headless = true;
    } else if (argument == "--help" || argument == "-h") {
      options.mode = RunMode::kHelp;
      return options;
    } else if (argument == "--version") {
      options.mode = RunMode::kVersion;
      return options;
    } else {
      options.mode = RunMode::kUsage;
      options.error = "pelrion: unknown option '" + argument + "' (see pelrion --help)";
      return options;
    }
  }
  return options;
}

std::string HelpText() { return kRunHelp + CommandUsageText(); }

std::string VersionText() { return "Pelrion " PELRION_VERSION "\n"; }

}  // namespace pelrion::app
