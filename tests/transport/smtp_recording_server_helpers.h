// A real SMTP server for the sending worker's end-to-end tests: Python's aiosmtpd, started
// on 127.0.0.1 at a port of the kernel's choosing by a throw-away script in a temporary
// folder. It records every message it accepts (envelope and the exact DATA bytes) and every
// log-in into files there, and is killed by its own process id with the object.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace pelrion::transport::testing {

struct RecordingServerOptions {
  std::string certificate;  // with key: offer STARTTLS and require it before MAIL
  std::string key;
  std::string user;         // with password: require AUTH (LOGIN or PLAIN) before MAIL
  std::string password;
};

struct RecordedMessage {
  std::string mail_from;
  std::vector<std::string> recipients;
  std::string data;  // what arrived between DATA's go-ahead and the end-of-data line
  bool over_tls = false;
  bool authenticated = false;
};

class RecordingSmtpServer {
 public:
  // Fails the current test with the server's output (and leaves port() 0) when it does not
  // come up.
  explicit RecordingSmtpServer(const RecordingServerOptions& options);
  ~RecordingSmtpServer();
  RecordingSmtpServer(const RecordingSmtpServer&) = delete;
  RecordingSmtpServer& operator=(const RecordingSmtpServer&) = delete;

  std::uint16_t port() const { return port_; }
  // In the order they arrived.
  std::vector<RecordedMessage> Messages() const;
  // "MECHANISM user password" for every log-in attempt.
  std::vector<std::string> Logins() const;

 private:
  bool Start(const RecordingServerOptions& options);
  bool WaitUntilListening();
  std::string Log() const;

  test_support::TempDir dir_;
  pid_t pid_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace pelrion::transport::testing
