#include "transport/listener_world_helpers.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "transport/socket_helpers.h"

namespace pelrion::transport::testing {

void RecordedListenerReports::ListenerListening(std::uint32_t listener_id) {
  std::lock_guard lock(mutex_);
  listening_.push_back(listener_id);
}

void RecordedListenerReports::ListenerFailed(std::uint32_t, const std::string& text) {
  std::lock_guard lock(mutex_);
  failures_.push_back(text);
}

std::vector<std::uint32_t> RecordedListenerReports::Listening() const {
  std::lock_guard lock(mutex_);
  return listening_;
}

std::vector<std::string> RecordedListenerReports::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

void EchoSession(NetConnection& client, WorkerJob&, const ListenerWork&) {
  client.SendText(kGreeting);
  for (;;) {
    const std::string line(client.ReadLine());
    if (line == "QUIT\r\n") {
      client.SendText("+OK bye\r\n");
      throw MakeNetError(kNetEnded);
    }
    client.SendText(line);
  }
}

ListenerWorld::ListenerWorld(SessionRunner runner)
    : listeners(
          world.main_thread(),
          [this](std::uint32_t id) {
            return CopyListenerWorkOf(*world.stores.listeners, world.registry, id);
          },
          reports, std::move(runner)) {}

std::uint32_t ListenerWorld::AddListener(std::uint32_t local_address, std::uint16_t local_port,
                                         std::uint16_t server_port, bool smtp) {
  const std::uint32_t id = world.stores.listeners->FindOrCreateListener(
      "127.0.0.1", server_port, smtp ? store::ListenerProtocol::kSmtp : store::ListenerProtocol::kPop3,
      /*start=*/false);
  world.stores.listeners->SetLocalEndpoint(id, local_address, local_port);
  return id;
}

void ListenerWorld::WaitUntilEnded(std::uint32_t listener_id) {
  const bool ended = world.main_thread().WaitServing(
      [&] { return !listeners.IsRunning(listener_id); }, std::chrono::seconds(20));
  EXPECT_TRUE(ended) << "listener " << listener_id << " is still running";
}

int ConnectTo(std::uint32_t address, std::uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const timeval timeout{20, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(address);
  to.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int ConnectWhenListening(std::uint32_t address, std::uint16_t port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  for (;;) {
    const int fd = ConnectTo(address, port);
    if (fd >= 0 || std::chrono::steady_clock::now() > deadline) return fd;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string ReadLineFrom(int fd) {
  std::string line;
  char c = 0;
  while (!line.ends_with("\r\n") && read(fd, &c, 1) == 1) line += c;
  return line;
}

std::size_t ThreadsNamed(std::string_view name) {
  std::size_t count = 0;
  DIR* tasks = opendir("/proc/self/task");
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string line;
    if (std::getline(comm, line) && line == name) ++count;
  }
  closedir(tasks);
  return count;
}

std::size_t WaitUntilNoThreadNamed(std::string_view name) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (ThreadsNamed(name) > 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return ThreadsNamed(name);
}

}  // namespace pelrion::transport::testing
