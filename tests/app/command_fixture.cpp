#include "command_fixture.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

#include <gtest/gtest.h>

#include "app/command_dispatch.h"
#include "mailformat/timestamp.h"
#include "stores_fixture.h"
#include "transport/net_connection.h"

namespace pelrion::apptest {
namespace {

// Nothing is served in these tests: a client that connects is let go at once.
void DropSession(transport::NetConnection&, transport::WorkerJob&,
                 const transport::ListenerWork&) {}

}  // namespace

std::uint16_t UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  std::uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  EXPECT_NE(port, 0);
  return port;
}

platform::DialogAnswer ForbiddenDialogs::MessageBox(std::string_view text, std::string_view,
                                                    platform::DialogIcon,
                                                    platform::DialogButtons) {
  ADD_FAILURE() << "a command asked: " << text;
  return platform::DialogAnswer::kNo;
}

std::optional<std::string> ForbiddenDialogs::ChooseFolder(std::string_view title) {
  ADD_FAILURE() << "a command asked for a folder: " << title;
  return std::nullopt;
}

std::vector<std::uint32_t> RecordingWorkers::IncludedAccountIds() const {
  std::vector<std::uint32_t> ids;
  for (const std::uint32_t id : stores_.accounts->Ids()) {
    const auto account = stores_.accounts->CopyOf(id);
    if (account && account->included != 0) ids.push_back(id);
  }
  return ids;
}

void RecordingWorkers::StartCheck(const std::vector<std::uint32_t>& account_ids,
                                  transport::WorkerReports& reports) {
  checks.push_back(account_ids);
  running_ = &reports;
}

bool RecordingWorkers::StartSending(transport::WorkerReports& reports) {
  if (!sending_due) return false;
  ++sendings;
  running_ = &reports;
  return true;
}

CommandWorld::CommandWorld()
    : folder(temp.path() + "/"),
      cycle(cycle::CyclePorts{main_thread, dialogs, registry, preferences, workers, view}),
      listeners(
          main_thread,
          [this](std::uint32_t id) {
            return transport::CopyListenerWorkOf(*stores.listeners, registry, id);
          },
          cycle.listener_reports(), DropSession),
      context{stores,    preferences, registry,
              cycle,     listeners,   folder,
              [this] { stop_requested = true; }} {
  platform::SetDialogs(&dialogs);
  Reopen();
}

CommandWorld::~CommandWorld() {
  listeners.StopAll();
  stores.Close();
  platform::SetDialogs(nullptr);
}

void CommandWorld::Reopen() {
  app::OpenStores(stores, {.database_folder = folder,
                           .preferences = preferences,
                           .main_thread = main_thread,
                           .listener_control = listeners,
                           .status_notices = cycle,
                           .folders_view = folders_view,
                           .registry = registry});
}

void CommandWorld::Start(std::vector<std::string> words,
                         std::optional<platform::ControlReply>* reply) {
  app::HandleControlRequest(context, {std::move(words), {}},
                            [reply](platform::ControlReply answer) {
                              EXPECT_FALSE(reply->has_value()) << "answered twice";
                              *reply = std::move(answer);
                            });
}

platform::ControlReply CommandWorld::Run(std::vector<std::string> words, std::string input) {
  std::optional<platform::ControlReply> reply;
  app::HandleControlRequest(context, {words, std::move(input)},
                            [&reply](platform::ControlReply answer) {
                              EXPECT_FALSE(reply.has_value()) << "answered twice";
                              reply = std::move(answer);
                            });
  if (!reply) {
    ADD_FAILURE() << "no answer to " << (words.empty() ? std::string() : words[0]);
    return {-1, {}, {}};
  }
  return *reply;
}

nlohmann::json CommandWorld::Json(std::vector<std::string> words) {
  words.push_back("--json");
  const platform::ControlReply reply = Run(words);
  EXPECT_EQ(reply.exit_code, 0) << reply.errors;
  // Throws (and so fails the test) when the output is not JSON.
  return nlohmann::json::parse(reply.output);
}

std::uint32_t CommandWorld::AddAccount(const std::string& name, std::uint32_t pop3_port) {
  const std::uint32_t next = stores.accounts->next_id();
  const platform::ControlReply reply =
      Run({"account", "add", "--name", name, "--display-name", "Jane Doe", "--email",
           "jane@example.org", "--pop3", "pop.example.org:" + std::to_string(pop3_port),
           "--pop3-user", "jane", "--smtp", "smtp.example.org"},
          "pop3-secret\n");
  EXPECT_EQ(reply.exit_code, 0) << reply.errors;
  return next;
}

std::uint32_t CommandWorld::FileMessage(std::uint32_t account, const std::string& sender,
                                        std::uint32_t flags, const std::string& subject) {
  const MessageFields fields{
      .subject = subject, .received = kReceivedTime, .sent = mailformat::kNoDate};
  const store::MessageRecord* filed =
      apptest::FileMessage(stores, account, sender, flags, 0, 0, fields);
  return filed != nullptr ? filed->id : 0;
}

}  // namespace pelrion::apptest
