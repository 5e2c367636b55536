// Runs the real pelrion executable in a private set of XDG folders, with standard error
// captured to a file, for tests of start-up, single instance and shutdown.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/files.h"

namespace pelrion::apptest {

// A private home for one test: every folder the program reads from its environment lives
// below root.
struct SandboxHome {
  explicit SandboxHome(const std::string& root);

  std::string root;
  std::vector<std::string> Environment() const;
  std::string DataFolder() const { return root + "/data/Pelrion/"; }
  std::string DatabaseFolder() const { return DataFolder() + "Db/"; }
  std::string RegistryFile() const { return root + "/config/Pelrion/registry.reg"; }
  std::string TempFolder() const;
};

struct CommandOutcome {
  int status = -1;  // the exit code; -1 when it did not run or ended by a signal
  std::string out;
  std::string err;
};

// Runs `pelrion args...` as a command-line client in home's environment, with input on its
// standard input.
CommandOutcome RunPelrionCommand(const SandboxHome& home, const std::vector<std::string>& args,
                                 const std::string& input = "");

class PelrionProcess {
 public:
  // headless false: the desktop program, on the offscreen screen the sandbox names.
  PelrionProcess(const SandboxHome& home, const std::string& stderr_path, bool headless = true);
  ~PelrionProcess();  // kills the process if it still runs

  // Waits until standard error holds text (true) or the process ended / 20 s passed.
  bool WaitForOutput(const std::string& text);
  // Waits for the process to end; its exit code, or -1 when it did not end within 20 s
  // or was killed by a signal.
  int Wait();
  void Signal(int signal_number);
  std::string Output() const;

 private:
  pid_t pid_ = -1;
  std::string stderr_path_;
  int status_ = 0;
  bool ended_ = false;

  bool Poll();
};

using test_support::ReadFile;
using test_support::WriteFile;
std::string MakeTempRoot();

}  // namespace pelrion::apptest
