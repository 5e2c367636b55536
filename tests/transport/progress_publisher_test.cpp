// The status record as told to the window: text changes at once, percent changes at most once
// per interval, nothing untold at the end.

#include "transport/progress_publisher.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <utility>
#include <vector>

#include "transport/message_download.h"

namespace pelrion::transport {
namespace {

struct Told {
  StatusRecord status;
  int notify;
};

class Recorder : public WorkerReports {
 public:
  void ActivityState(int) override {}
  void StatusChanged(const StatusRecord& status, int notify) override {
    told.push_back({status, notify});
  }
  void NetworkErrorReport(const std::string&, std::uint32_t, MailProtocol, const std::string&,
                          const std::string&) override {}
  void SuccessNotice(const std::string&, std::uint32_t, MailProtocol) override {}
  void Finished() override {}
  std::vector<Told> told;
};

constexpr auto kNever = std::chrono::hours(1);
constexpr auto kAlways = std::chrono::milliseconds(0);

TEST(ProgressPublisherTest, PercentWaitsForTheIntervalAndRidesWithTheNextText) {
  Recorder recorder;
  ProgressPublisher publisher(recorder, kNever);
  publisher.Set("Receiving", "", 0, true, 7);
  publisher.SetPercent(10);
  publisher.SetPercent(20);
  ASSERT_EQ(recorder.told.size(), 1u);

  publisher.SetSubText("Receiving message 2 of 2...", kNotifySubText);
  ASSERT_EQ(recorder.told.size(), 2u);
  EXPECT_EQ(recorder.told[1].notify, kNotifySubText | kNotifyPercent);
  EXPECT_EQ(recorder.told[1].status.percent, 20);

  publisher.Flush();  // nothing untold
  publisher.SetPercent(40);
  publisher.Flush();
  ASSERT_EQ(recorder.told.size(), 3u);
  EXPECT_EQ(recorder.told[2].notify, kNotifyPercent);
  EXPECT_EQ(recorder.told[2].status.percent, 40);
}

TEST(ProgressPublisherTest, EveryChangeIsToldOnceTheIntervalHasPassed) {
  Recorder recorder;
  ProgressPublisher publisher(recorder, kAlways);
  publisher.SetPercent(5);
  publisher.SetPercent(5);  // no change, nothing to tell
  publisher.SetPercent(6);
  ASSERT_EQ(recorder.told.size(), 2u);
  EXPECT_EQ(recorder.told[0].status.percent, 5);
  EXPECT_EQ(recorder.told[1].status.percent, 6);
}

TEST(ReceiveProgressTest, PercentFollowsTheBytesAndStopsAtAHundred) {
  Recorder recorder;
  ProgressPublisher publisher(recorder, kAlways);
  ReceiveProgress progress(publisher, 2.5);  // a 250-byte mailbox
  std::vector<int> seen;
  const std::pair<std::size_t, int> steps[] = {{2, 0}, {1, 1}, {2, 2}, {100, 42}, {500, 100}};
  for (const auto& [bytes, want] : steps) {
    progress.Add(bytes);
    EXPECT_EQ(publisher.status().percent, want) << "after " << bytes << " more bytes";
  }
  // Percent 0 is where it started: only the four changes were told.
  EXPECT_EQ(recorder.told.size(), 4u);
}

TEST(FileErrorTextTest, SystemWordsInEnglishAfterThePrefix) {
  EXPECT_EQ(FileErrorText(ENOSPC), "File Error: No space left on device");
  EXPECT_EQ(FileErrorText(EIO), "File Error: Input/output error");
}

}  // namespace
}  // namespace pelrion::transport
