#pragma once
// A private Dovecot POP3 server for tests and benchmarks: a throw-away configuration, users
// and maildirs under one temporary folder, listeners on 127.0.0.1 at free ports, optionally
// with TLS from a CA made at run time. The server is the object's own child process (its
// master); the destructor stops it and waits until it is gone. Should the thread that made
// the object end first (or the process die), the server is told to stop: make it on a thread
// that outlives it, such as the test's main thread.
//
// Failures (Dovecot missing, a bad configuration, a port that never answers) are thrown as
// std::runtime_error with a message saying what to do; nothing here needs GoogleTest.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace pelrion::test_support {

class DovecotServer {
 public:
  enum class Tls {
    kNone,      // plain text only, no STLS
    kStls,      // the plain listener offers STLS
    kImplicit,  // kStls plus a pop3s listener that speaks TLS from the first byte
  };
  struct Options {
    Tls tls = Tls::kNone;
    // Empty: "dovecot" on PATH, else /usr/sbin/dovecot.
    std::string binary;
  };

  // The UIDL of a message is its IMAP UID and the mailbox's UIDVALIDITY, each as 8 lower-case
  // hex digits: message k added to a fresh mailbox (in the order added) has UID k.
  static constexpr const char* kUidlFormat = "%08Xu%08Xv";

  explicit DovecotServer(Options options);
  DovecotServer() : DovecotServer(Options{}) {}
  ~DovecotServer();
  DovecotServer(const DovecotServer&) = delete;
  DovecotServer& operator=(const DovecotServer&) = delete;

  // Adds a user with a plain-text password and an empty maildir; no ':' or line ends in either.
  void AddUser(const std::string& user, const std::string& password);
  // Places one message in the user's maildir new/ as Dovecot expects it: LF line ends (CR LF
  // is turned into LF; the server sends CR LF back). Messages are listed in the order added.
  void AddMessage(const std::string& user, std::string_view bytes);
  // Messages left in the user's mailbox (new/ and cur/).
  std::size_t MessageCount(const std::string& user) const;

  // The plain-text listener (offering STLS unless Tls::kNone).
  std::uint16_t pop3_port() const { return pop3_port_; }
  // The implicit-TLS listener; 0 unless Tls::kImplicit.
  std::uint16_t pop3s_port() const { return pop3s_port_; }
  pid_t pid() const { return pid_; }
  // The CA that signed the server's certificate (for "localhost" and 127.0.0.1); empty
  // without TLS. Clients are given it as their extra trusted CA file.
  const std::string& ca_file() const;
  // Dovecot's own log, for a failing test's message.
  std::string LogTail() const;

 private:
  void Start();
  void Stop();
  void WaitUntilReady();
  std::string Config() const;
  std::string Maildir(const std::string& user) const;

  Options options_;
  TempDir dir_;
  std::unique_ptr<TestPki> pki_;
  std::string binary_;
  uid_t mail_uid_ = 0;
  gid_t mail_gid_ = 0;
  std::string internal_user_, login_user_, internal_group_;
  std::uint16_t pop3_port_ = 0;
  std::uint16_t pop3s_port_ = 0;
  pid_t pid_ = -1;
  std::size_t added_ = 0;
};

}  // namespace pelrion::test_support
