#include "ui/message_list_test_helpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"
#include "validation/arrival_analysis.h"
#include "validation/classification_input.h"

namespace pelrion::ui::list_testing {

ListWorld::ListWorld() {
  app::OpenStores(stores_, {.database_folder = folder(),
                            .preferences = preferences_,
                            .main_thread = main_thread_,
                            .listener_control = listener_control_,
                            .status_notices = status_notices_,
                            .folders_view = model_,
                            .registry = registry_,
                            .port_probe = [](std::uint32_t) { return true; }});
  model_.Attach(stores_.messages.get(), stores_.accounts.get());
}

ListWorld::~ListWorld() {
  model_.Attach(nullptr, nullptr);
  stores_.Close();
}

std::uint32_t ListWorld::AddAccount(const std::string& friendly_name) {
  store::MailAccount fields;
  const std::uint32_t port = next_port_++;
  fields.pop3_listener_id = stores_.listeners->FindOrCreateListener(
      "pop.example.org", port, store::ListenerProtocol::kPop3, /*start=*/false);
  fields.smtp_listener_id = stores_.listeners->FindOrCreateListener(
      "smtp.example.org", port, store::ListenerProtocol::kSmtp, /*start=*/false);
  fields.email_address.Set("user@example.org");
  fields.friendly_name.Set(friendly_name);
  return stores_.accounts->AddAccount(fields);
}

store::MessageRecord* ListWorld::File(std::uint32_t account, const Message& message) {
  auto record = std::make_unique<store::MessageRecord>();
  stores_.messages->CreateMessageFile(*record);
  const std::string head = "From: " + message.from + "\r\nSubject: " + message.subject + "\r\n\r\n";
  const std::string text = head + std::string(message.body_bytes, 'x');
  std::ofstream(stores_.messages->MessageFilePath(*record), std::ios::binary) << text;
  record->account_id = account;
  record->flags = message.flags;
  record->status = message.status;
  record->view_state = message.view_state;
  store::MessageSummary& summary = record->summary;
  summary.header_length = static_cast<std::int32_t>(head.size());
  summary.file_size = static_cast<std::uint32_t>(text.size());
  summary.sent = message.sent;
  summary.received = message.received;
  summary.has_strings = true;
  summary.set_from_text(message.from);
  // Each sender is its own held sender, with its own request time.
  summary.set_sender_address(message.from);
  summary.set_subject(message.subject);
  summary.set_subject_decoded(message.subject);
  summary.set_to_text(message.to);
  if (message.attachment) {
    mailformat::PartTable table;
    table.mime = 1;
    table.parts.resize(2);
    table.parts[1].attachment = 1;
    table.parts[1].name = "data.bin";
    summary.set_part_table(table);
  }
  store::MessageRecord* filed = stores_.messages->RegisterMessage(std::move(record));
  EXPECT_NE(filed, nullptr);
  if (filed != nullptr && message.request_sent != 0) {
    filed->request_sent_time = message.request_sent;
    stores_.messages->RefreshRecord(*filed);
  }
  return filed;
}

store::MessageRecord* ListWorld::FileFixture(std::uint32_t account, const std::string& fixture,
                                             std::uint32_t flags, std::int32_t status) {
  std::ifstream in(std::string(PELRION_FIXTURES) + "/" + fixture, std::ios::binary);
  EXPECT_TRUE(in.good()) << fixture;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  // Stored messages have CR LF line ends, as the download writes them.
  std::string text;
  for (char c : bytes.str()) {
    if (c == '\n' && (text.empty() || text.back() != '\r')) text += '\r';
    text += c;
  }

  auto record = std::make_unique<store::MessageRecord>();
  stores_.messages->CreateMessageFile(*record);
  const std::string path = stores_.messages->MessageFilePath(*record);
  std::ofstream(path, std::ios::binary) << text;
  mailformat::MimeScanner scanner;
  EXPECT_TRUE(mailformat::FeedMessageFile(path, scanner)) << fixture;
  store::MessageSummary& summary = record->summary;
  summary.header_length =
      scanner.headers_ended() ? static_cast<std::int32_t>(scanner.header_length()) : -1;
  summary.body_line_count = scanner.body_line_count();
  summary.file_size = static_cast<std::uint32_t>(text.size());
  summary.set_part_table(mailformat::BuildPartTable(scanner, path));
  validation::ClassificationInput input;
  std::string message_id;
  EXPECT_TRUE(validation::AnalyseMessage(*record, path, folder(), input, message_id)) << fixture;
  record->account_id = account;
  record->flags = flags;
  record->status = status;
  store::MessageRecord* filed = stores_.messages->RegisterMessage(std::move(record));
  EXPECT_NE(filed, nullptr);
  return filed;
}

}  // namespace pelrion::ui::list_testing
