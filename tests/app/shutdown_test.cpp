// Shutdown empties the Trash when "emptytrash" is on, telling the user through the status
// window only when the Trash is large; nothing else is touched.
#include "app/shutdown.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/startup.h"
#include "platform/recording_dialogs.h"
#include "platform/registry.h"
#include "stores_fixture.h"
#include "support/temp_dir.h"

namespace pelrion::apptest {
namespace {

using platform::testing_support::RecordingDialogs;
using test_support::TempDir;

constexpr std::uint32_t kTrashFlags = 0x05;  // decided, in Trash
constexpr std::uint32_t kInboxFlags = 0x03;  // decided, in Inbox

struct TrashCase {
  const char* name;
  int trash_messages;
  bool emptytrash;
  std::vector<std::string> statuses;  // what the status window showed, in order

  friend void PrintTo(const TrashCase& c, std::ostream* out) { *out << c.name; }
};

class EmptyTrashAtExitTest : public ::testing::TestWithParam<TrashCase> {
 protected:
  TempDir dir_;
  std::string db_ = dir_.path() + "/";
};

TEST_P(EmptyTrashAtExitTest, EmptiesTrashOnlyWhenAskedAndTellsOnlyAboutALargeOne) {
  const TrashCase& c = GetParam();
  std::vector<std::string> trash_files;
  std::string inbox_file;
  std::uint32_t inbox_id = 0;
  std::uint32_t held_id = 0;
  {
    StoresFixture fixture(db_);
    app::Stores& stores = fixture.stores;
    const std::uint32_t account = AddAccount(stores);
    for (int i = 0; i < c.trash_messages; ++i) {
      const store::MessageRecord* record =
          FileMessage(stores, account, "spam" + std::to_string(i) + "@example.com", kTrashFlags);
      trash_files.push_back(stores.messages->MessageFilePath(*record));
    }
    const store::MessageRecord* inbox =
        FileMessage(stores, account, "friend@example.com", kInboxFlags);
    inbox_id = inbox->id;
    inbox_file = stores.messages->MessageFilePath(*inbox);
    held_id = FileMessage(stores, account, "stranger@example.com", 0, 12345)->id;
    ASSERT_EQ(stores.messages->Counter(store::Folder::kTrash).messages, c.trash_messages);

    fixture.preferences.emptytrash = c.emptytrash ? 1 : 0;
    RecordingDialogs dialogs;
    const bool open = app::EmptyTrashAtExit(*stores.messages, fixture.preferences, dialogs);
    EXPECT_EQ(dialogs.statuses, c.statuses);
    EXPECT_EQ(open, !c.statuses.empty());
  }

  // What is on disk after the next start.
  StoresFixture reopened(db_);
  const store::MessageTable& messages = *reopened.stores.messages;
  EXPECT_EQ(messages.Counter(store::Folder::kTrash).messages, c.emptytrash ? 0 : c.trash_messages);
  for (const std::string& file : trash_files) {
    EXPECT_EQ(std::filesystem::exists(file), !c.emptytrash) << file;
  }
  ASSERT_NE(messages.Find(inbox_id), nullptr);
  EXPECT_TRUE(std::filesystem::exists(inbox_file));
  ASSERT_NE(messages.Find(held_id), nullptr);
  EXPECT_NE(reopened.stores.pending_senders->Find("stranger@example.com"), nullptr);
}

const std::vector<std::string> kTold = {std::string(app::kEmptyingTrash),
                                        std::string(app::kShuttingDown)};

INSTANTIATE_TEST_SUITE_P(Cases, EmptyTrashAtExitTest,
                         ::testing::Values(TrashCase{"EmptyTrash", 0, true, {}},
                                           TrashCase{"HundredQuietly", 100, true, {}},
                                           TrashCase{"HundredAndOneTold", 101, true, kTold},
                                           TrashCase{"OffKeepsTrash", 101, false, {}}),
                         [](const ::testing::TestParamInfo<TrashCase>& info) {
                           return info.param.name;
                         });

// The whole shutdown: the flag workers read is set, the hourly expiry stops, the Trash is
// emptied and the status window closed again at the end.
TEST(ShutdownTest, EmptiesALargeTrashAndClosesTheStatusWindow) {
  TempDir dir;
  platform::FileRegistry registry(dir / "registry.reg");
  platform::PlainMainThread main_thread;
  RecordingDialogs dialogs;
  app::Application application(registry, main_thread, dialogs);
  application.preferences.emptytrash = 1;
  app::OpenStores(application.stores,
                  TestStoreSetup(dir.path() + "/", application.preferences, main_thread));
  const std::uint32_t account = AddAccount(application.stores);
  for (int i = 0; i <= app::kQuietTrashSize; ++i) {
    FileMessage(application.stores, account, "spam" + std::to_string(i) + "@example.com",
                kTrashFlags);
  }
  main_thread.SetTimer(app::kQuarantineExpiryTimer, app::kQuarantineExpiryPeriodMs, [] {});

  app::Shutdown(application);

  EXPECT_TRUE(application.shutting_down);
  EXPECT_FALSE(main_thread.TimerPeriod(app::kQuarantineExpiryTimer).has_value());
  EXPECT_EQ(application.stores.messages->Counter(store::Folder::kTrash).messages, 0);
  std::vector<std::string> expected = kTold;
  expected.emplace_back();  // closed
  EXPECT_EQ(dialogs.statuses, expected);
}

}  // namespace
}  // namespace pelrion::apptest
