#include "validation/main_thread_quarantine_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/clock.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"

namespace pelrion::validation {
namespace {

using testing::QuarantineWorld;

constexpr char kSender[] = "stranger@example.com";

struct EventRow {
  const char* name;
  // What the worker reports through the interfaces it is given (the arrival checks' and the
  // send thread's), given the entry's request number.
  std::function<void(QuarantineEvents&, RequestOutcomes&, std::int32_t number)> report;
  std::int32_t want_status;
  store::Folder want_folder;
};

void PrintTo(const EventRow& row, std::ostream* os) {
  *os << row.name;
}

class MainThreadQuarantineEventsThreadTest : public ::testing::TestWithParam<EventRow> {
 protected:
  void TearDown() override { platform::SetNowForTesting(std::nullopt); }

  platform::PlainMainThread main_thread_;
  QuarantineWorld world_;
};

// Each event reaches the quarantine only when the main thread serves it, and the worker
// waits for that.
TEST_P(MainThreadQuarantineEventsThreadTest, WorkerEventIsHandledOnTheMainThread) {
  const EventRow& row = GetParam();
  const std::uint32_t account = world_.AddAccount("me@home.example");
  store::MessageRecord* held = world_.FileHeld(account, kSender);
  const std::int32_t number = held->request_number;
  platform::SetNowForTesting(1'700'000'000);
  MainThreadQuarantineEvents events(main_thread_, *world_.quarantine);
  QuarantineEvents& arrival = events;
  RequestOutcomes& sending = events;

  std::atomic<bool> returned{false};
  std::thread worker([&] {
    row.report(arrival, sending, number);
    returned = true;
  });
  // Nothing has happened while the main thread has not served the call.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(returned);
  EXPECT_EQ(held->status, kStatusAwaitingRequest);

  main_thread_.RunUntil([&] { return returned.load(); });
  worker.join();
  EXPECT_EQ(held->status, row.want_status);
  EXPECT_EQ(held->folder(), row.want_folder);
}

const EventRow kRows[] = {
    {"bounced",
     [](QuarantineEvents& arrival, RequestOutcomes&, std::int32_t n) {
       arrival.RequestBounced(kSender, n);
     },
     kStatusRequestFailed, store::Folder::kJunkMail},
    {"reply",
     [](QuarantineEvents& arrival, RequestOutcomes&, std::int32_t n) {
       arrival.AuthorizationReplyReceived(kSender, n, "thanks");
     },
     kStatusAuthorized, store::Folder::kInbox},
    {"delivered",
     [](QuarantineEvents&, RequestOutcomes& sending, std::int32_t) {
       sending.RequestDelivered(kSender);
     },
     kStatusAwaitingReply, store::Folder::kQuarantine},
    {"refused",
     [](QuarantineEvents&, RequestOutcomes& sending, std::int32_t) {
       sending.RequestRefused(kSender);
     },
     kStatusRequestFailed, store::Folder::kJunkMail},
};

INSTANTIATE_TEST_SUITE_P(Events, MainThreadQuarantineEventsThreadTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<EventRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pelrion::validation
