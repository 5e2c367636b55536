#include "stores_fixture.h"

#include <fstream>

#include <gtest/gtest.h>

namespace pelrion::apptest {
namespace {

// Nothing listens in these tests; the ports outlive every store opened with them.
store::NoListenerControl no_listener_control;
store::NoStatusNotices no_status_notices;
store::NoFoldersView no_folders_view;
platform::MemoryRegistry no_settings;

}  // namespace

app::StoreSetup TestStoreSetup(const std::string& database_folder,
                               const core::Preferences& preferences,
                               platform::MainThread& main_thread) {
  return {.database_folder = database_folder,
          .preferences = preferences,
          .main_thread = main_thread,
          .listener_control = no_listener_control,
          .status_notices = no_status_notices,
          .folders_view = no_folders_view,
          .registry = no_settings,
          .port_probe = [](std::uint32_t) { return true; }};
}

std::uint32_t AddAccount(app::Stores& stores, std::uint32_t server_port) {
  store::MailAccount fields;
  fields.pop3_listener_id = stores.listeners->FindOrCreateListener(
      "pop.example.org", server_port, store::ListenerProtocol::kPop3, /*start=*/false);
  fields.smtp_listener_id = stores.listeners->FindOrCreateListener(
      "smtp.example.org", server_port, store::ListenerProtocol::kSmtp, /*start=*/false);
  fields.email_address.Set("user@example.org");
  fields.friendly_name.Set("user " + std::to_string(server_port));
  return stores.accounts->AddAccount(fields);
}

store::MessageRecord* FileMessage(app::Stores& stores, std::uint32_t account,
                                  const std::string& sender, std::uint32_t flags,
                                  std::int32_t request_number, std::int32_t request_sent,
                                  const MessageFields& fields) {
  auto record = std::make_unique<store::MessageRecord>();
  stores.messages->CreateMessageFile(*record);
  const std::string text =
      "From: " + sender + "\r\nSubject: " + fields.subject + "\r\n\r\nbody\r\n";
  std::ofstream(stores.messages->MessageFilePath(*record), std::ios::binary) << text;
  record->account_id = account;
  record->flags = flags;
  record->summary.header_length = static_cast<std::int32_t>(text.find("\r\n\r\n") + 4);
  record->summary.file_size = static_cast<std::uint32_t>(text.size());
  record->summary.has_strings = true;
  record->summary.set_sender_address(sender);
  record->summary.set_subject_decoded(fields.subject);
  record->summary.received = fields.received;
  record->summary.sent = fields.sent;
  const bool held = record->folder() == store::Folder::kQuarantine;
  if (held) record->status = 1;
  store::MessageRecord* filed = stores.messages->RegisterMessage(std::move(record));
  EXPECT_NE(filed, nullptr);
  if (held && filed != nullptr) {
    // Filing drew the sender's request afresh; the stored one is what the next start sees.
    filed->request_number = request_number;
    filed->request_sent_time = request_sent;
    filed->status = request_sent != 0 ? 2 : 1;
    stores.messages->SaveRecord(*filed);
  }
  return filed;
}

}  // namespace pelrion::apptest
