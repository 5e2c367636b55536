#include "pelrion_process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "support/run_command.h"

namespace pelrion::apptest {
namespace {

constexpr auto kPatience = std::chrono::seconds(20);

}  // namespace

SandboxHome::SandboxHome(const std::string& root_in) : root(root_in) {
  for (const char* sub : {"/home", "/data", "/config", "/runtime", "/tmp", "/docs"}) {
    mkdir((root + sub).c_str(), 0700);
  }
}

std::vector<std::string> SandboxHome::Environment() const {
  return {"HOME=" + root + "/home",          "XDG_DATA_HOME=" + root + "/data",
          "XDG_CONFIG_HOME=" + root + "/config", "XDG_RUNTIME_DIR=" + root + "/runtime",
          "TMPDIR=" + root + "/tmp",          "XDG_DOCUMENTS_DIR=" + root + "/docs",
          "PATH=/usr/bin:/bin",               "QT_QPA_PLATFORM=offscreen",
          "ASAN_OPTIONS=detect_leaks=0"};
}

std::string SandboxHome::TempFolder() const {
  return root + "/tmp/Pelrion-" + std::to_string(getuid()) + "/";
}

CommandOutcome RunPelrionCommand(const SandboxHome& home, const std::vector<std::string>& args,
                                 const std::string& input) {
  static int serial = 0;
  const std::string stem = home.root + "/command" + std::to_string(++serial);
  WriteFile(stem + ".in", input);
  std::string command = "env -i";
  for (const std::string& variable : home.Environment()) {
    command += " " + test_support::ShellQuote(variable);
  }
  command += " " + test_support::ShellCommand(PELRION_BIN, args) + " <" +
             test_support::ShellQuote(stem + ".in") + " 2>" +
             test_support::ShellQuote(stem + ".err");
  const test_support::RunResult result = test_support::RunCommand(command);
  return {result.status, result.out, ReadFile(stem + ".err")};
}

PelrionProcess::PelrionProcess(const SandboxHome& home, const std::string& stderr_path,
                               bool headless)
    : stderr_path_(stderr_path) {
  std::vector<std::string> env = home.Environment();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int fd = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd >= 0) dup2(fd, 2);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char arg0[] = PELRION_BIN;
    char arg1[] = "--headless";
    char* argv[] = {arg0, headless ? arg1 : nullptr, nullptr};
    execve(PELRION_BIN, argv, envp.data());
    _exit(127);
  }
}

PelrionProcess::~PelrionProcess() {
  if (!ended_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool PelrionProcess::Poll() {
  if (ended_) return true;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
  return ended_;
}

bool PelrionProcess::WaitForOutput(const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    if (Output().find(text) != std::string::npos) return true;
    if (Poll()) return Output().find(text) != std::string::npos;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

int PelrionProcess::Wait() {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!Poll() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended_ || !WIFEXITED(status_)) return -1;
  return WEXITSTATUS(status_);
}

void PelrionProcess::Signal(int signal_number) {
  if (!ended_) kill(pid_, signal_number);
}

std::string PelrionProcess::Output() const { return ReadFile(stderr_path_); }

std::string MakeTempRoot() {
  std::string pattern = ::testing::TempDir() + "/pelrion-app-XXXXXX";
  return mkdtemp(pattern.data());
}

}  // namespace pelrion::apptest
