#include "support/dovecot_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace pelrion::test_support {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Any uncommon name works; Debian's own mail user for virtual mailboxes is the usual one.
constexpr const char* kMailUser = "vmail";
constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr auto kStopLimit = std::chrono::seconds(10);

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("private Dovecot POP3 server: " + what);
}

bool IsExecutable(const std::string& path) {
  return !path.empty() && ::access(path.c_str(), X_OK) == 0;
}

std::string FindDovecot(const std::string& wanted) {
  if (!wanted.empty()) {
    if (IsExecutable(wanted)) return wanted;
  } else {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
      if (!folder.empty() && IsExecutable(folder + "/dovecot")) return folder + "/dovecot";
    }
    if (IsExecutable("/usr/sbin/dovecot")) return "/usr/sbin/dovecot";
  }
  Fail("dovecot is not installed" + (wanted.empty() ? std::string() : " at " + wanted) +
       "; install the packages dovecot-core and dovecot-pop3d (scripts/install-deps does)");
}

// A port on 127.0.0.1 nobody listens on right now, chosen by the kernel.
std::uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool ok = fd >= 0 &&
                  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  if (fd >= 0) ::close(fd);
  if (!ok) Fail("no free port on 127.0.0.1");
  return ntohs(address.sin_port);
}

// A connection to 127.0.0.1:port; -1 when nobody accepts.
int ConnectLoopback(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    return fd;
  }
  if (fd >= 0) ::close(fd);
  return -1;
}

// True when the server at port sends a positive POP3 greeting within a second.
bool Greets(std::uint16_t port) {
  const int fd = ConnectLoopback(port);
  if (fd < 0) return false;
  std::string greeting;
  pollfd entry{fd, POLLIN, 0};
  char buffer[256];
  while (greeting.find('\n') == std::string::npos && ::poll(&entry, 1, 1000) == 1) {
    const long got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    greeting.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return greeting.rfind("+OK", 0) == 0;
}

bool Accepts(std::uint16_t port) {
  const int fd = ConnectLoopback(port);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

void WriteText(const std::string& path, const std::string& text, mode_t mode) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out.good() || ::chmod(path.c_str(), mode) != 0) Fail("cannot write " + path);
}

// A folder owned by the mail user, as Dovecot's mail processes run under it.
void MakeOwnedFolder(const std::string& path, uid_t uid, gid_t gid) {
  std::error_code error;
  fs::create_directories(path, error);
  if (error || ::chmod(path.c_str(), 0700) != 0 ||
      (::geteuid() == 0 && ::chown(path.c_str(), uid, gid) != 0)) {
    Fail("cannot create " + path);
  }
}

void CheckName(const std::string& text, const char* what) {
  if (text.empty() || text.find_first_of(":\r\n") != std::string::npos) {
    Fail(std::string(what) + " must be non-empty without ':' or line ends: '" + text + "'");
  }
}

std::string UserName(uid_t uid) {
  const passwd* entry = ::getpwuid(uid);
  if (entry == nullptr) Fail("the current user has no name");
  return entry->pw_name;
}

std::string GroupName(gid_t gid) {
  const group* entry = ::getgrgid(gid);
  if (entry == nullptr) Fail("the current group has no name");
  return entry->gr_name;
}

// As root Dovecot refuses to run its processes as root: the Debian users dovenull (login) and
// dovecot (internal), and an unprivileged mail user made here when missing.
const passwd& RootModeMailUser() {
  for (const char* needed : {"dovecot", "dovenull"}) {
    if (::getpwnam(needed) == nullptr) {
      Fail(std::string("the user '") + needed + "' is missing; reinstall dovecot-core");
    }
  }
  if (::getpwnam(kMailUser) == nullptr) {
    // Another test process may be making it at the same moment: only the result counts.
    const std::string command =
        std::string("useradd -r -M -s /usr/sbin/nologin ") + kMailUser + " >/dev/null 2>&1";
    (void)!std::system(command.c_str());
  }
  const passwd* mail = ::getpwnam(kMailUser);
  if (mail == nullptr) Fail(std::string("cannot create the mail user '") + kMailUser + "'");
  return *mail;
}

}  // namespace

DovecotServer::DovecotServer(Options options) : options_(std::move(options)) {
  binary_ = FindDovecot(options_.binary);
  if (dir_.path().empty()) Fail("cannot make a temporary folder");
  // Dovecot's unprivileged processes must reach their sockets and the mail below it.
  if (::chmod(dir_.path().c_str(), 0755) != 0) Fail("cannot open up " + dir_.path());
  if (::geteuid() == 0) {
    const passwd& mail = RootModeMailUser();
    mail_uid_ = mail.pw_uid;
    mail_gid_ = mail.pw_gid;
    internal_user_ = "dovecot";
    internal_group_ = "dovecot";
    login_user_ = "dovenull";
  } else {
    // Without root nothing can change users: every process runs as the caller.
    mail_uid_ = ::geteuid();
    mail_gid_ = ::getegid();
    internal_user_ = login_user_ = UserName(mail_uid_);
    internal_group_ = GroupName(mail_gid_);
  }
  if (options_.tls != Tls::kNone) pki_ = std::make_unique<TestPki>();
  MakeOwnedFolder(dir_ / "mail", mail_uid_, mail_gid_);
  MakeOwnedFolder(dir_ / "home", mail_uid_, mail_gid_);
  ::chmod((dir_ / "mail").c_str(), 0755);
  ::chmod((dir_ / "home").c_str(), 0755);
  WriteText(dir_ / "users", "", 0644);
  Start();
}

DovecotServer::~DovecotServer() {
  Stop();
}

const std::string& DovecotServer::ca_file() const {
  static const std::string kNone;
  return pki_ ? pki_->ca : kNone;
}

std::string DovecotServer::Config() const {
  const std::string& d = dir_.path();
  std::ostringstream c;
  c << "base_dir = " << d << "/run\n"
    << "state_dir = " << d << "/state\n"
    << "log_path = " << d << "/dovecot.log\n"
    << "protocols = pop3\n"
    << "listen = 127.0.0.1\n"
    << "disable_plaintext_auth = no\n"
    << "auth_mechanisms = plain login\n"
    << "mail_location = maildir:" << d << "/mail/%u\n"
    << "default_internal_user = " << internal_user_ << "\n"
    << "default_internal_group = " << internal_group_ << "\n"
    << "default_login_user = " << login_user_ << "\n"
    << "first_valid_uid = " << mail_uid_ << "\n"
    << "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%u " << d
    << "/users\n}\n"
    << "userdb {\n  driver = static\n  args = uid=" << mail_uid_ << " gid=" << mail_gid_
    << " home=" << d << "/home/%u\n}\n"
    << "pop3_uidl_format = " << kUidlFormat << "\n";
  if (pki_) {
    c << "ssl = yes\n"
      << "ssl_cert = <" << pki_->valid.certificate << "\n"
      << "ssl_key = <" << pki_->valid.key << "\n";
  } else {
    c << "ssl = no\n";
  }
  // Only root may chroot: without it the login and anvil processes stay where they are.
  const bool rootless = ::geteuid() != 0;
  if (rootless) c << "service anvil {\n  chroot =\n}\n";
  c << "service pop3-login {\n"
    << (rootless ? "  chroot =\n" : "")
    << "  inet_listener pop3 {\n    address = 127.0.0.1\n    port = " << pop3_port_ << "\n  }\n";
  // Dovecot's built-in pop3s listener (port 995) exists unless its port is set, to 0 when
  // unwanted: a fixed port would clash between servers running side by side.
  c << "  inet_listener pop3s {\n    address = 127.0.0.1\n    port = " << pop3s_port_
    << "\n    ssl = yes\n  }\n";
  c << "}\n";
  return c.str();
}

void DovecotServer::Start() {
  // A free port can be taken by someone else before Dovecot binds it: a few fresh tries.
  std::string failure;
  for (int attempt = 0; attempt < 3; ++attempt) {
    pop3_port_ = FreePort();
    pop3s_port_ = options_.tls == Tls::kImplicit ? FreePort() : 0;
    const std::string config = dir_ / "dovecot.conf";
    WriteText(config, Config(), 0644);

    // Everything the child needs is made before fork: after it only exec-safe calls.
    const std::string null_device = "/dev/null";
    const std::string output = dir_ / "dovecot.out";
    std::vector<char*> argv = {const_cast<char*>(binary_.c_str()), const_cast<char*>("-F"),
                               const_cast<char*>("-c"), const_cast<char*>(config.c_str()), nullptr};
    const pid_t child = ::fork();
    if (child < 0) Fail("fork failed");
    if (child == 0) {
      const int in = ::open(null_device.c_str(), O_RDONLY);
      const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (in >= 0) ::dup2(in, 0);
      if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
      }
      // A test that dies leaves no server behind: the master is told to stop when the thread
      // that started it ends (servers are started from a test's main thread).
      ::prctl(PR_SET_PDEATHSIG, SIGTERM);
      // The test's own sockets and files stay out of the server.
      ::syscall(SYS_close_range, 3U, ~0U, 0U);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    pid_ = child;
    try {
      WaitUntilReady();
      return;
    } catch (const std::runtime_error& error) {
      failure = error.what();
      Stop();
      if (LogTail().find("Address already in use") == std::string::npos) break;
    }
  }
  throw std::runtime_error(failure);
}

void DovecotServer::WaitUntilReady() {
  const auto deadline = Clock::now() + kStartLimit;
  while (Clock::now() < deadline) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      Fail("dovecot ended at start (exit status " +
           std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "): " + LogTail());
    }
    // Every listener is bound before the first greeting is sent.
    if (Greets(pop3_port_) && (pop3s_port_ == 0 || Accepts(pop3s_port_))) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  Fail("no greeting on 127.0.0.1:" + std::to_string(pop3_port_) + " within " +
       std::to_string(kStartLimit.count()) + " s: " + LogTail());
}

void DovecotServer::Stop() {
  if (pid_ <= 0) return;
  // The master ends its login and mail processes before it goes.
  ::kill(pid_, SIGTERM);
  const auto deadline = Clock::now() + kStopLimit;
  while (::waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (Clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string DovecotServer::LogTail() const {
  std::string log;
  for (const char* name : {"dovecot.out", "dovecot.log"}) {
    std::ifstream in(dir_ / name, std::ios::binary);
    log.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  constexpr std::size_t kKeep = 3000;
  return log.size() > kKeep ? log.substr(log.size() - kKeep) : log;
}

std::string DovecotServer::Maildir(const std::string& user) const {
  return dir_ / ("mail/" + user);
}

void DovecotServer::AddUser(const std::string& user, const std::string& password) {
  CheckName(user, "a user name");
  CheckName(password, "a password");
  if (user.find('/') != std::string::npos || user[0] == '.') Fail("not a folder name: " + user);
  for (const char* sub : {"", "/new", "/cur", "/tmp"}) {
    MakeOwnedFolder(Maildir(user) + sub, mail_uid_, mail_gid_);
  }
  MakeOwnedFolder(dir_ / ("home/" + user), mail_uid_, mail_gid_);
  // The passwd-file is read again whenever it changes, so users can come after the start.
  std::ofstream users(dir_ / "users", std::ios::app);
  users << user << ':' << password << "\n";
  users.close();
  if (!users.good()) Fail("cannot add the user " + user);
}

void DovecotServer::AddMessage(const std::string& user, std::string_view bytes) {
  if (!fs::is_directory(Maildir(user) + "/new")) Fail("no such user: " + user);
  std::string stored;
  stored.reserve(bytes.size());
  std::size_t line_ends = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    if (bytes[i] == '\n') ++line_ends;
    stored += bytes[i];
  }
  // Dovecot orders new mail by the leading time stamp of the name, so a counter there keeps
  // the order of adding; S and W (the size with CR LF) spare it reading each file for STAT.
  ++added_;
  const std::string name = std::to_string(1000000000 + added_) + ".P" + std::to_string(::getpid()) +
                           ".pelrion,S=" + std::to_string(stored.size()) +
                           ",W=" + std::to_string(stored.size() + line_ends);
  // Written in tmp/ and renamed, so the server never sees half a message.
  const std::string temporary = Maildir(user) + "/tmp/" + name;
  WriteText(temporary, stored, 0600);
  if ((::geteuid() == 0 && ::chown(temporary.c_str(), mail_uid_, mail_gid_) != 0) ||
      ::rename(temporary.c_str(), (Maildir(user) + "/new/" + name).c_str()) != 0) {
    Fail("cannot place a message for " + user);
  }
}

std::size_t DovecotServer::MessageCount(const std::string& user) const {
  std::size_t count = 0;
  for (const char* sub : {"/new", "/cur"}) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(Maildir(user) + sub, error)) {
      if (entry.path().filename().string()[0] != '.') ++count;
    }
    if (error) Fail("cannot list the mailbox of " + user);
  }
  return count;
}

}  // namespace pelrion::test_support
