#include "transport/check_world_helpers.h"

#include <algorithm>
#include <filesystem>

#include "support/files.h"
#include "transport/listener_tls_settings.h"

namespace pelrion::transport::testing {

void RecordedReports::ActivityState(int state) {
  std::lock_guard lock(mutex_);
  activities_.push_back(state);
}
void RecordedReports::StatusChanged(const StatusRecord& status, int) {
  std::lock_guard lock(mutex_);
  statuses_.push_back(status);
}
void RecordedReports::NetworkErrorReport(const std::string&, std::uint32_t, MailProtocol,
                                         const std::string& text,
                                         const std::string& certificate) {
  std::lock_guard lock(mutex_);
  errors_.push_back(text);
  certificates_.push_back(certificate);
}
void RecordedReports::SuccessNotice(const std::string&, std::uint32_t account_id, MailProtocol) {
  std::lock_guard lock(mutex_);
  successes_.push_back(account_id);
}
void RecordedReports::Finished() {
  std::lock_guard lock(mutex_);
  ++finished_;
}
std::vector<int> RecordedReports::Activities() const {
  std::lock_guard lock(mutex_);
  return activities_;
}
std::vector<std::string> RecordedReports::Errors() const {
  std::lock_guard lock(mutex_);
  return errors_;
}
std::vector<std::string> RecordedReports::Certificates() const {
  std::lock_guard lock(mutex_);
  return certificates_;
}
std::vector<std::uint32_t> RecordedReports::Successes() const {
  std::lock_guard lock(mutex_);
  return successes_;
}
std::vector<StatusRecord> RecordedReports::Statuses() const {
  std::lock_guard lock(mutex_);
  return statuses_;
}
int RecordedReports::finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

CheckWorld::CheckWorld() { Restart(); }

CheckWorld::~CheckWorld() = default;

void CheckWorld::Restart() {
  app::OpenStores(stores, {.database_folder = folder(),
                           .preferences = preferences,
                           .main_thread = main_thread_,
                           .listener_control = listener_control_,
                           .status_notices = notices_,
                           .folders_view = view_,
                           .registry = registry,
                           .port_probe = [](std::uint32_t) { return true; }});
}

std::uint32_t CheckWorld::AddAccount(std::uint16_t port, const std::string& user,
                                     const std::string& password, TlsMode mode,
                                     const std::string& ca_file) {
  store::MailAccount fields;
  fields.pop3_listener_id = stores.listeners->FindOrCreateListener(
      "127.0.0.1", port, store::ListenerProtocol::kPop3, /*start=*/false);
  fields.smtp_listener_id = stores.listeners->FindOrCreateListener(
      "127.0.0.1", port, store::ListenerProtocol::kSmtp, /*start=*/false);
  fields.pop3_user_name.Set(user);
  fields.pop3_password.Set(password);
  fields.email_address.Set("me@home.example");
  fields.friendly_name.Set("Home " + std::to_string(port));
  WriteListenerTlsSettings(registry, fields.pop3_listener_id, {mode, ""});
  if (!ca_file.empty()) registry.SetString(platform::kProgramKey, "TlsCaFile", ca_file);
  return stores.accounts->AddAccount(fields);
}

int CheckWorld::Check(std::vector<std::uint32_t> account_ids, PlainConversationPolicy policy) {
  if (account_ids.empty()) account_ids = stores.accounts->Ids();
  reports = std::make_unique<RecordedReports>();
  const CheckWork work = app::CopyCheckWork(stores, registry, folder(), account_ids);
  app::MailCheckServices services(stores, main_thread_, folder(), folder(), "USR0000BEEF", 1);
  return app::CheckAndWait(main_thread_, job, work, services.fate(), *reports, timeout_seconds,
                           std::move(policy));
}

std::vector<store::MessageRecord*> CheckWorld::Records() const {
  return stores.messages->records();
}

std::vector<std::string> CheckWorld::StoredTexts() const {
  std::vector<std::string> texts;
  for (store::MessageRecord* record : Records()) {
    texts.push_back(test_support::ReadFile(stores.messages->MessageFilePath(*record)));
  }
  return texts;
}

std::vector<std::string> CheckWorld::MessageFileNames() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    const std::string name = entry.path().filename().string();
    if (name.size() > 4 && name.ends_with(".eml")) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace pelrion::transport::testing
