#include "transport/smtp_recording_server_helpers.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <sstream>
#include <thread>

#include "support/files.h"
#include "transport/socket_helpers.h"

extern char** environ;

namespace pelrion::transport::testing {
namespace {

// Debian's packages are visible to the system interpreter only.
constexpr char kPython[] = "/usr/bin/python3";

// Only a hang guard: the server is normally up well within a second.
constexpr auto kStartLimit = std::chrono::seconds(30);

// argv: folder certificate key user password ("" for none). Each message goes to
// message-N.envelope and message-N.data, each log-in attempt to a line of "logins"; the port
// is written to "port" once the server listens. Files appear whole (written, then renamed).
constexpr char kScript[] = R"PY(
import asyncio, os, ssl, sys
from aiosmtpd.smtp import SMTP, AuthResult

folder, certificate, key, user, password = sys.argv[1:6]

def put(name, data):
    path = os.path.join(folder, name)
    with open(path + ".part", "wb") as f:
        f.write(data)
    os.rename(path + ".part", path)

class Recorder:
    count = 0
    async def handle_DATA(self, server, session, envelope):
        Recorder.count += 1
        base = "message-%d" % Recorder.count
        lines = ["MAIL FROM:" + envelope.mail_from]
        lines += ["RCPT TO:" + r for r in envelope.rcpt_tos]
        lines.append("TLS:" + ("yes" if session.ssl is not None else "no"))
        lines.append("AUTH:" + ("yes" if session.authenticated else "no"))
        put(base + ".data", envelope.original_content)
        put(base + ".envelope", ("\n".join(lines) + "\n").encode())
        return "250 2.0.0 recorded"

def authenticator(server, session, envelope, mechanism, data):
    login = data.login.decode("utf-8", "replace")
    secret = data.password.decode("utf-8", "replace")
    with open(os.path.join(folder, "logins"), "a") as f:
        f.write("%s %s %s\n" % (mechanism, login, secret))
    return AuthResult(success=(login == user and secret == password))

async def main():
    loop = asyncio.get_running_loop()
    context = None
    if certificate:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(certificate, key)
    def protocol():
        return SMTP(Recorder(), hostname="recorder.test", tls_context=context,
                    require_starttls=context is not None, auth_required=bool(user),
                    auth_require_tls=False, authenticator=authenticator if user else None,
                    loop=loop)
    server = await loop.create_server(protocol, host="127.0.0.1", port=0)
    put("port", str(server.sockets[0].getsockname()[1]).encode())
    await asyncio.Event().wait()

asyncio.run(main())
)PY";

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

RecordingSmtpServer::RecordingSmtpServer(const RecordingServerOptions& options) {
  if (!Start(options) || !WaitUntilListening()) {
    ADD_FAILURE() << "aiosmtpd could not be started with " << kPython
                  << " (is python3-aiosmtpd installed? scripts/install-deps installs it); "
                     "its output:\n"
                  << Log();
    port_ = 0;
  }
}

RecordingSmtpServer::~RecordingSmtpServer() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
}

bool RecordingSmtpServer::Start(const RecordingServerOptions& options) {
  if (dir_.path().empty()) return false;
  test_support::WriteFile(dir_ / "recorder.py", kScript);
  const std::string script = dir_ / "recorder.py";
  const std::string log = dir_ / "server.log";
  std::vector<std::string> args{kPython,          script,        dir_.path(), options.certificate,
                                options.key,      options.user,  options.password};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int failed = posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) pid_ = -1;
  return failed == 0;
}

// The port file appears once the server listens; a connection to it proves it.
bool RecordingSmtpServer::WaitUntilListening() {
  const auto limit = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < limit) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;  // it ended: nothing left to kill
      return false;
    }
    if (Exists(dir_ / "port")) {
      port_ = static_cast<std::uint16_t>(std::stoi(test_support::ReadFile(dir_ / "port")));
      const int probe = ConnectRaw(port_);
      if (probe >= 0) {
        close(probe);
        return true;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string RecordingSmtpServer::Log() const {
  const std::string path = dir_ / "server.log";
  return Exists(path) ? test_support::ReadFile(path) : std::string("(no output)");
}

std::vector<RecordedMessage> RecordingSmtpServer::Messages() const {
  std::vector<RecordedMessage> messages;
  for (int n = 1; Exists(dir_ / ("message-" + std::to_string(n) + ".envelope")); ++n) {
    const std::string base = dir_ / ("message-" + std::to_string(n));
    RecordedMessage message;
    message.data = test_support::ReadFile(base + ".data");
    for (const std::string& line : Lines(test_support::ReadFile(base + ".envelope"))) {
      const std::size_t colon = line.find(':');
      const std::string name = line.substr(0, colon);
      const std::string value = line.substr(colon + 1);
      if (name == "MAIL FROM") message.mail_from = value;
      if (name == "RCPT TO") message.recipients.push_back(value);
      if (name == "TLS") message.over_tls = value == "yes";
      if (name == "AUTH") message.authenticated = value == "yes";
    }
    messages.push_back(message);
  }
  return messages;
}

std::vector<std::string> RecordingSmtpServer::Logins() const {
  const std::string path = dir_ / "logins";
  return Exists(path) ? Lines(test_support::ReadFile(path)) : std::vector<std::string>{};
}

}  // namespace pelrion::transport::testing
