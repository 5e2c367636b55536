// A stop (going offline, shutting down) while the sending worker is blocked in any phase of a
// conversation ends it with code 1: no report, no success notice, no further group.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <future>
#include <sstream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "transport/process_setup.h"
#include "transport/send_thread.h"
#include "transport/smtp_peer_helpers.h"
#include "transport/smtp_recorded_send.h"
#include "transport/socket_helpers.h"
#include "transport/tls_policy.h"

namespace pelrion::transport {
namespace {

using testing::kHoldUnread;
using testing::RecordedSend;
using testing::ScriptedSmtpPeer;
using testing::SmtpScript;

// Only a hang guard: a stopped worker ends at once.
constexpr auto kHangGuard = std::chrono::seconds(60);

// Larger than the socket buffers between the worker and a peer that reads nothing, so the
// worker blocks in the middle of the message.
core::Preferences LargeTemplates() {
  std::string text;
  while (text.size() < 8 * 1024 * 1024) text += "a line of the request that goes on and on\n";
  core::Preferences settings;
  for (auto& method : settings.template_texts) method[0] = text;
  return settings;
}

validation::SendGroupWork Group(std::uint16_t port, bool authentication, TlsMode mode,
                                std::size_t requests) {
  validation::SendGroupWork group = testing::TestAccountGroup(port, authentication, mode);
  for (std::size_t i = 0; i < requests; ++i) {
    validation::RequestWork request;
    request.facts.sender_address = "sender" + std::to_string(i) + "@x.test";
    request.facts.user_email = group.email_address;
    group.requests.push_back(request);
  }
  return group;
}

// Runs the worker on its own thread (read and write waits without a time-out, so only the
// stop can end it), stops it once `blocked` says it is in the phase, and returns its code.
int StopWhenBlocked(const validation::SendWork& work, RecordedSend& recorded,
                    const std::function<void()>& blocked) {
  WorkerJob job;
  std::promise<int> code;
  std::future<int> ended = code.get_future();
  std::thread worker([&] { code.set_value(SendThread(job, work, recorded, recorded, -1).Run()); });
  blocked();
  job.RequestStop();
  if (ended.wait_for(kHangGuard) != std::future_status::ready) {
    ADD_FAILURE() << "the worker did not end after the stop";
    std::abort();  // it still uses this frame; nothing safe is left to do
  }
  worker.join();
  return ended.get();
}

struct StopCase {
  const char* phase;
  bool authentication;
  TlsMode mode;
  std::size_t requests;
  std::vector<std::string> replies;  // the last one holds the connection
  std::size_t delivered;             // requests accepted before the stop
  bool large_message = false;        // so that the worker blocks while writing it
};

// Test names and failure messages show the row's name, not its bytes.
void PrintTo(const StopCase& row, std::ostream* out) { *out << row.phase; }

const StopCase kPhases[] = {
    {"Greeting", false, TlsMode::kNever, 1, {""}, 0},
    {"Ehlo", true, TlsMode::kNever, 1, {"220 hi\r\n", ""}, 0},
    {"StartTlsHandshake", false, TlsMode::kUpgradeRequired, 1,
     {"220 hi\r\n", "250-srv\r\n250 STARTTLS\r\n", "220 go ahead\r\n", kHoldUnread}, 0},
    {"AuthLogin", true, TlsMode::kNever, 1,
     {"220 hi\r\n", "250-srv\r\n250 AUTH LOGIN\r\n", "334 VXNlcm5hbWU6\r\n", ""}, 0},
    {"Helo", false, TlsMode::kNever, 1, {"220 hi\r\n", ""}, 0},
    {"MailFrom", false, TlsMode::kNever, 1, {"220 hi\r\n", "250 hello\r\n", ""}, 0},
    {"RcptTo", false, TlsMode::kNever, 1, {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", ""}, 0},
    {"DataCommand", false, TlsMode::kNever, 1,
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", ""}, 0},
    {"MessageBody", false, TlsMode::kNever, 1,
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", kHoldUnread}, 0,
     true},
    {"EndOfData", false, TlsMode::kNever, 1,
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", ""}, 0},
    {"Rset", false, TlsMode::kNever, 2,
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", ""},
     1},
    {"Quit", false, TlsMode::kNever, 1,
     {"220 hi\r\n", "250 hello\r\n", "250 ok\r\n", "250 ok\r\n", "354 go\r\n", "250 queued\r\n", ""},
     1},
    {"QuitAfterRefusal", false, TlsMode::kNever, 1, {"421 busy\r\n", ""}, 0},
};

class SmtpStopPhaseThreadTest : public ::testing::TestWithParam<StopCase> {
 protected:
  // As the program does: a TLS write to the stopped socket must be an error, not SIGPIPE.
  void SetUp() override { PrepareProcessForNetwork(); }
};

TEST_P(SmtpStopPhaseThreadTest, StopEndsTheWorkerWithCodeOneAndNoReport) {
  const StopCase& row = GetParam();
  ScriptedSmtpPeer peer(SmtpScript{row.replies, "", ""});
  validation::SendWork work;
  if (row.large_message) work.settings = LargeTemplates();
  work.groups.push_back(Group(peer.port(), row.authentication, row.mode, row.requests));
  // A second group to a port nobody listens on: reaching it would give a connect report.
  work.groups.push_back(Group(testing::FreePort(), false, TlsMode::kNever, 1));
  RecordedSend recorded;

  EXPECT_EQ(StopWhenBlocked(work, recorded, [&] { peer.WaitUntilHolding(); }), 1);
  peer.Release();
  EXPECT_EQ(recorded.errors, std::vector<std::string>{});
  EXPECT_EQ(recorded.successes, 0);
  EXPECT_EQ(recorded.delivered.size(), row.delivered);
  EXPECT_EQ(recorded.finished, 1);
  EXPECT_EQ(recorded.last_status.main_text, "Idle");
}

INSTANTIATE_TEST_SUITE_P(Phases, SmtpStopPhaseThreadTest, ::testing::ValuesIn(kPhases),
                         [](const auto& info) { return std::string(info.param.phase); });

// Connections to port in SYN-SENT, from the kernel's table ("st" 02; addresses in hex).
std::size_t ConnectsInProgressTo(std::uint16_t port) {
  std::ifstream table("/proc/net/tcp");
  std::string line;
  std::getline(table, line);  // the column names
  std::size_t count = 0;
  char wanted[8];
  std::snprintf(wanted, sizeof wanted, ":%04X", port);
  while (std::getline(table, line)) {
    std::string slot, local, remote, state;
    std::istringstream fields(line);
    fields >> slot >> local >> remote >> state;
    if (state == "02" && remote.size() >= 5 && remote.compare(remote.size() - 5, 5, wanted) == 0) {
      ++count;
    }
  }
  return count;
}

TEST(SmtpStopConnectingThreadTest, StopEndsTheWorkerWithCodeOneAndNoReport) {
  testing::UnansweredListener unanswered;
  validation::SendWork work;
  work.groups.push_back(Group(unanswered.port(), false, TlsMode::kNever, 1));
  work.groups.push_back(Group(testing::FreePort(), false, TlsMode::kNever, 1));
  const std::size_t before = ConnectsInProgressTo(unanswered.port());
  RecordedSend recorded;

  const int code = StopWhenBlocked(work, recorded, [&] {
    while (ConnectsInProgressTo(unanswered.port()) <= before) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  EXPECT_EQ(code, 1);
  EXPECT_EQ(recorded.errors, std::vector<std::string>{});
  EXPECT_EQ(recorded.successes, 0);
  EXPECT_EQ(recorded.finished, 1);
}

}  // namespace
}  // namespace pelrion::transport
