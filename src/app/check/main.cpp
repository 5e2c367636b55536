// pelrion-check: checks one POP3 mailbox once into a database folder, as the program's mail
// check does (store, analysis, classification, durability, deletion from the server), and
// prints the folder counts. For benchmarks and crash tests of the download road.
//   pelrion-check --data DIR --host HOST --port N --user U --password P
//                 [--tls automatic|required|implicit|never] [--ca-file F] [--timeout S]
// Exit status: 0 checked, 1 the check was refused or failed (reason on standard error),
// 2 usage.
#include <sys/stat.h>

#include <iostream>
#include <mutex>
#include <string>
#include <vector>

#include "app/check/check_options.h"
#include "app/mail_check_wiring.h"
#include "app/stores.h"
#include "app/tool_stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/installation_id.h"
#include "transport/listener_tls_settings.h"
#include "transport/process_setup.h"

namespace pelrion::checktool {
namespace {

// Reports failures on standard error and counts them; progress is not shown.
class ConsoleReports : public transport::WorkerReports {
 public:
  void ActivityState(int) override {}
  void StatusChanged(const transport::StatusRecord&, int) override {}
  void NetworkErrorReport(const std::string&, std::uint32_t, transport::MailProtocol,
                          const std::string& text, const std::string&) override {
    std::lock_guard lock(mutex_);
    std::cerr << text << "\n";
    ++failures_;
  }
  void SuccessNotice(const std::string&, std::uint32_t, transport::MailProtocol) override {}
  void Finished() override {}
  int failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
  }

 private:
  mutable std::mutex mutex_;
  int failures_ = 0;
};

// The account for this server and user, made on first use.
std::uint32_t AccountFor(app::Stores& stores, platform::Registry& registry,
                         const CheckOptions& options) {
  const std::uint32_t listener = stores.listeners->FindOrCreateListener(
      options.host, options.port, store::ListenerProtocol::kPop3, /*start=*/false);
  transport::WriteListenerTlsSettings(registry, listener, {options.tls_mode, ""});
  if (store::MailAccount* known = stores.accounts->FindAccountForLogin(listener, options.user)) {
    const std::uint32_t id = known->id;
    stores.accounts->ReleaseAccount(known);
    return id;
  }
  store::MailAccount fields;
  fields.pop3_listener_id = listener;
  fields.smtp_listener_id = stores.listeners->FindOrCreateListener(
      options.host, 25, store::ListenerProtocol::kSmtp, /*start=*/false);
  fields.pop3_user_name.Set(options.user);
  fields.pop3_password.Set(options.password);
  fields.email_address.Set(options.user + "@" + options.host);
  fields.friendly_name.Set(options.user + " at " + options.host);
  return stores.accounts->AddAccount(fields);
}

int Run(const CheckOptions& options) {
  transport::PrepareProcessForNetwork();
  app::ToolStores tool(options.data);
  const std::string temp = options.data + "tmp/";
  ::mkdir(temp.c_str(), 0700);
  platform::PlainMainThread& main_thread = tool.main_thread;
  platform::Registry& registry = tool.registry;
  app::Stores& stores = tool.stores;
  if (!options.ca_file.empty()) {
    registry.SetString(platform::kProgramKey, "TlsCaFile", options.ca_file);
  }
  const std::uint32_t account = AccountFor(stores, registry, options);
  const std::string installation_id = store::LoadInstallationId(options.data + "db6.dat");

  ConsoleReports reports;
  transport::WorkerJob job;
  const transport::CheckWork work =
      app::CopyCheckWork(stores, registry, options.data, {account});
  app::MailCheckServices services(stores, main_thread, options.data, temp, installation_id,
                                  tool.preferences.challenge);
  app::CheckAndWait(main_thread, job, work, services.fate(), reports, options.timeout_seconds);

  std::cout << "inbox=" << stores.messages->Counter(store::Folder::kInbox).messages
            << " quarantine=" << stores.messages->Counter(store::Folder::kQuarantine).messages
            << " junk=" << stores.messages->Counter(store::Folder::kJunkMail).messages
            << " trash=" << stores.messages->Counter(store::Folder::kTrash).messages << "\n";
  return reports.failures() == 0 ? 0 : 1;
}

}  // namespace
}  // namespace pelrion::checktool

int main(int argc, char** argv) {
  std::string error;
  const auto options =
      pelrion::checktool::ParseCheckOptions(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::cerr << "pelrion-check: " << error << "\n"
              << "usage: pelrion-check --data DIR --host HOST --port N --user U --password P\n"
                 "       [--tls automatic|required|implicit|never] [--ca-file F] [--timeout S]\n";
    return 2;
  }
  return pelrion::checktool::Run(*options);
}
