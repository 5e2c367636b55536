#include "ui/main_window_test_helpers.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "store/content_digest.h"
#include "ui/message_list_view.h"

namespace pelrion::ui::window_testing {

std::uint32_t FlagsOf(store::Folder folder, bool read) {
  return store::FolderBits(folder) | (read ? store::kFlagRead : 0);
}

WindowWorld::WindowWorld() {
  account_ = list_.AddAccount("Home");
  temp_folder_ = list_.folder() + "temp/";
  std::filesystem::create_directories(temp_folder_);
  MakeWindow();
}

WindowWorld::~WindowWorld() {
  window_->Detach();
  cycle_.reset();
  window_.reset();
}

void WindowWorld::MakeWindow() {
  window_ = std::make_unique<MainWindow>(MainWindowPorts{.dialogs = dialogs_,
                                                         .main_thread = main_thread_,
                                                         .registry = registry_,
                                                         .preferences = preferences_,
                                                         .model = list_.model()});
  cycle_ = std::make_unique<cycle::MailCycle>(cycle::CyclePorts{.main_thread = main_thread_,
                                                                .dialogs = dialogs_,
                                                                .registry = registry_,
                                                                .preferences = preferences_,
                                                                .workers = workers_,
                                                                .view = window_->cycle_view()});
  app::Stores& stores = list_.stores();
  window_->Attach({.messages = stores.messages.get(),
                   .accounts = stores.accounts.get(),
                   .address_lists = stores.address_lists.get(),
                   .cycle = cycle_.get(),
                   .proxy_state = {},
                   .active_connections = [this] { return connections; },
                   .temp_folder = temp_folder_,
                   .eml_viewer = eml_viewer,
                   .launch =
                       [this](const std::string& path, const platform::ViewerCommand&) {
                         launched.push_back(path);
                         return launch_succeeds;
                       },
                   .desktop = {},
                   .windows = windows,
                   .pin_certificate = pin_certificate});
}

void WindowWorld::ReopenWindow() {
  window_->Detach();
  cycle_.reset();
  window_.reset();
  MakeWindow();
}

store::MessageRecord* WindowWorld::FileInto(store::Folder folder, const std::string& fixture,
                                            bool read) {
  store::MessageRecord* record = list_.FileFixture(account_, fixture, FlagsOf(folder, read), 0);
  EXPECT_NE(record, nullptr) << fixture;
  if (record == nullptr) return nullptr;
  // A download fingerprints the file it filed; the data check of Open compares against it.
  const auto fingerprint = store::ReadContentFingerprint(list_.messages().MessageFilePath(*record));
  EXPECT_TRUE(fingerprint.has_value()) << fixture;
  if (fingerprint) record->summary.content_digest = fingerprint->digest;
  return record;
}

void WindowWorld::SelectOnly(const store::MessageRecord& record) {
  window_->ShowFolder(record.folder());
  const int row = list_.model().RowOf(&record);
  ASSERT_GE(row, 0);
  window_->list()->selectionModel()->select(
      list_.model().index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

}  // namespace pelrion::ui::window_testing
