// What the pelrion command line asks for: run the program (GUI, or headless), print the help
// or the version, or send a command to the running program.
#pragma once

#include <string>
#include <vector>

namespace pelrion::app {

enum class RunMode {
  kRun,      // start the program
  kHelp,     // print the help text, start nothing
  kVersion,  // print the version, start nothing
  kCommand,  // words holds a command for the running program
  kUsage,    // an unknown option: error holds the line to print, exit 2
};

struct RunOptions {
  RunMode mode = RunMode::kRun;
  bool headless = false;           // --headless
  std::vector<std::string> words;  // kCommand: the command and its arguments
  std::string error;               // kUsage
};

// arguments without the program name. A first argument that does not begin with '-' starts
// a command; everything from there on belongs to it.
RunOptions ParseRunOptions(const std::vector<std::string>& arguments);

// "pelrion --help": the run options, then every command with one line each.
std::string HelpText();
std::string VersionText();

}  // namespace pelrion::app
