#include <fstream>

#include "crypto/md5.h"
#include "store/message_summary.h"
#include "validation/quarantine_world.h"

namespace pelrion::validation::testing {

QuarantineWorld::QuarantineWorld() {
  Restart();
}

QuarantineWorld::~QuarantineWorld() = default;

void QuarantineWorld::Restart() {
  app::OpenStores(stores, {.database_folder = folder(),
                           .preferences = preferences,
                           .main_thread = main_thread_,
                           .listener_control = listener_control_,
                           .status_notices = notices_,
                           .folders_view = view,
                           .registry = registry_,
                           .port_probe = [](std::uint32_t) { return true; }});
}

std::uint32_t QuarantineWorld::AddAccount(std::string_view email) {
  const std::uint32_t port = next_server_port_++;
  store::MailAccount fields;
  fields.pop3_listener_id =
      listeners->FindOrCreateListener("pop.example.org", port, store::ListenerProtocol::kPop3,
                                      /*start=*/false);
  fields.smtp_listener_id =
      listeners->FindOrCreateListener("smtp.example.org", port, store::ListenerProtocol::kSmtp,
                                      /*start=*/false);
  fields.email_address.Set(email);
  fields.friendly_name.Set("account " + std::to_string(port));
  return accounts->AddAccount(fields);
}

std::string QuarantineWorld::MessageFile(const store::MessageRecord& record) const {
  return messages->MessageFilePath(record);
}

std::unique_ptr<store::MessageRecord> QuarantineWorld::NewMessage(std::uint32_t account_id,
                                                                  std::string_view sender,
                                                                  std::uint32_t id,
                                                                  std::string_view display_name) {
  auto record = std::make_unique<store::MessageRecord>();
  if (id == 0) {
    messages->CreateMessageFile(*record);
  } else {
    record->id = id;
  }
  const std::string text = "From: " + std::string(sender) + "\r\nSubject: hello\r\n\r\nbody\r\n";
  std::ofstream(MessageFile(*record), std::ios::binary) << text;
  record->account_id = account_id;
  record->summary.header_length = static_cast<std::int32_t>(text.find("\r\n\r\n") + 4);
  record->summary.body_line_count = 1;
  record->summary.file_size = static_cast<std::uint32_t>(text.size());
  record->summary.content_digest = crypto::Md5Of(text);
  record->summary.has_strings = true;
  record->summary.set_sender_address(std::string(sender));
  record->summary.set_sender_name_decoded(std::string(display_name));
  return record;
}

store::MessageRecord* QuarantineWorld::FileHeld(std::uint32_t account_id, std::string_view sender,
                                                std::uint32_t id, std::string_view display_name) {
  auto record = NewMessage(account_id, sender, id, display_name);
  record->status = 1;
  record->flags = 0;
  return messages->RegisterMessage(std::move(record));
}

}  // namespace pelrion::validation::testing
