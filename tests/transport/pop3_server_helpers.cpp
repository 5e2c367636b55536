#include "transport/pop3_server_helpers.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "crypto/md5.h"
#include "store/content_digest.h"
#include "store/message_record.h"
#include "support/files.h"
#include "transport/net_connection.h"
#include "transport/pop3_server_session.h"
#include "transport/worker_job.h"

namespace pelrion::transport::testing {
namespace {

// Header length (up to and including the empty line) and the body's line count, a last line
// without LF counted.
std::pair<std::size_t, std::uint32_t> Layout(const std::string& text) {
  std::size_t header = text.find("\r\n\r\n");
  header = header == std::string::npos ? text.size() : header + 4;
  const std::string_view body = std::string_view(text).substr(header);
  auto lines = static_cast<std::uint32_t>(std::count(body.begin(), body.end(), '\n'));
  if (!body.empty() && body.back() != '\n') ++lines;
  return {header, lines};
}

}  // namespace

Pop3ServerWorld::Pop3ServerWorld()
    : ports(DefaultPop3SessionPorts(*world.stores.accounts, *world.stores.message_calls,
                                    world.folder())) {
  ports.login_failure_delay = [this] { ++login_delays; };
  ports.fatal_stop = [this](std::string_view text) {
    std::lock_guard lock(mutex_);
    fatal_stops.emplace_back(text);
  };
  ports.upstream_timeout_seconds = 10;
}

Pop3ServerWorld::~Pop3ServerWorld() {
  stopping_ = true;
  ::shutdown(listener_.fd(), SHUT_RDWR);
  if (acceptor_.joinable()) acceptor_.join();
  // Sessions still running end when their clients have gone; their store calls need serving.
  std::atomic<bool> joined{false};
  std::thread joiner([&] {
    for (std::thread& session : sessions_) session.join();
    joined = true;
  });
  world.main_thread().WaitServing([&] { return joined.load(); });
  joiner.join();
}

std::uint32_t Pop3ServerWorld::AddAccount(std::uint16_t server_port, const std::string& user,
                                          const std::string& password) {
  const std::uint32_t id = world.AddAccount(server_port, user, password, TlsMode::kNever);
  if (listener.id == 0) {
    listener.id = world.stores.accounts->CopyOf(id)->pop3_listener_id;
    listener.server_host = "127.0.0.1";
    listener.server_port = server_port;
    listener.tls_mode = static_cast<std::uint32_t>(TlsMode::kNever);
  }
  return id;
}

store::MessageRecord* Pop3ServerWorld::FileInbox(std::uint32_t account_id,
                                                 const std::string& text) {
  return FileInboxInOrder(account_id, {text}).front();
}

std::vector<store::MessageRecord*> Pop3ServerWorld::FileInboxInOrder(
    std::uint32_t account_id, const std::vector<std::string>& texts) {
  // The ids are drawn first; the texts then go to them in ascending id order.
  std::vector<std::unique_ptr<store::MessageRecord>> records;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    records.push_back(std::make_unique<store::MessageRecord>());
    world.stores.message_calls->CreateMessageFile(*records.back());
  }
  std::sort(records.begin(), records.end(), [](const auto& a, const auto& b) { return a->id < b->id; });
  std::vector<store::MessageRecord*> filed;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    store::MessageRecord& record = *records[i];
    const std::string& text = texts[i];
    test_support::WriteFile(world.stores.messages->MessageFilePath(record), text);
    const auto [header, lines] = Layout(text);
    record.account_id = account_id;
    record.flags = store::kFlagDecided | store::kFlagInbox;
    record.summary.header_length = static_cast<std::int32_t>(header);
    record.summary.body_line_count = lines;
    record.summary.file_size = static_cast<std::uint32_t>(text.size());
    record.summary.content_digest =
        crypto::Md5Of(std::string_view(text).substr(0, store::kContentDigestSpan));
    filed.push_back(world.stores.message_calls->RegisterMessage(std::move(records[i])));
    EXPECT_NE(filed.back(), nullptr);
  }
  return filed;
}

std::vector<std::string> Pop3ServerWorld::InboxTexts(std::uint32_t account_id) {
  std::vector<std::string> texts;
  for (store::MessageRecord* record : world.Records()) {
    if (record->account_id != account_id || record->folder() != store::Folder::kInbox) continue;
    texts.push_back(
        test_support::ReadFile(world.stores.messages->MessageFilePath(*record)));
  }
  return texts;
}

void Pop3ServerWorld::SetRealServer(std::uint16_t port) {
  std::lock_guard lock(mutex_);
  listener.server_port = port;
}

void Pop3ServerWorld::Serve() { acceptor_ = std::thread([this] { AcceptLoop(); }); }

void Pop3ServerWorld::AcceptLoop() {
  for (;;) {
    const int fd = ::accept(listener_.fd(), nullptr, nullptr);
    if (fd < 0) {
      if (stopping_) return;
      continue;
    }
    std::lock_guard lock(mutex_);
    sessions_.emplace_back([this, fd] { RunOne(fd); });
  }
}

void Pop3ServerWorld::RunOne(int fd) {
  WorkerJob record;
  ListenerWork copy;  // as a listener thread hands its sessions a copy
  {
    std::lock_guard lock(mutex_);
    copy = listener;
    running_.push_back(&record);
  }
  NetError ended = 0;
  {
    NetConnection client(20, 20, &record);
    client.Adopt(fd);
    record.SetSocket(fd, 0);
    try {
      RunPop3Session(client, record, copy, ports);
    } catch (NetError error) {
      ended = error;
    }
  }
  std::lock_guard lock(mutex_);
  std::erase(running_, &record);
  ended_.push_back(ended);
}

void Pop3ServerWorld::StopSessions() {
  std::lock_guard lock(mutex_);
  for (WorkerJob* job : running_) job->RequestStop();
}

void Pop3ServerWorld::RunClient(const std::function<void()>& client) {
  std::atomic<bool> done{false};
  std::thread thread([&] {
    client();
    done = true;
  });
  world.main_thread().WaitServing([&] { return done.load(); });
  thread.join();
}

std::vector<NetError> Pop3ServerWorld::WaitForSessions(std::size_t count) {
  world.main_thread().WaitServing([&] {
    std::lock_guard lock(mutex_);
    return ended_.size() >= count;
  }, std::chrono::seconds(20));
  std::lock_guard lock(mutex_);
  return ended_;
}

Pop3Client::Pop3Client(std::uint16_t port) : fd_(ConnectRaw(port)) {
  EXPECT_GE(fd_, 0);
  const timeval wait{5, 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
}

Pop3Client::~Pop3Client() {
  if (fd_ >= 0) ::close(fd_);
}

std::string Pop3Client::Receive(std::size_t length) {
  std::string bytes;
  char buffer[65536];
  while (bytes.size() < length) {
    const ssize_t got =
        ::recv(fd_, buffer, std::min(sizeof buffer, length - bytes.size()), 0);
    if (got <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return bytes;
}

std::string Pop3Client::Exchange(std::string_view line, std::string_view expected) {
  Send(std::string(line) + "\r\n");
  return Receive(expected.size());
}

std::string Pop3Client::Rest() { return Receive(SIZE_MAX); }

void Pop3Client::Send(std::string_view bytes) { WriteAll(fd_, bytes); }

std::string Stuffed(std::string_view text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && c == '.') out.push_back('.');
    out.push_back(c);
    line_start = c == '\n';
  }
  if (!line_start) out += "\r\n";
  return out + ".\r\n";
}

}  // namespace pelrion::transport::testing
