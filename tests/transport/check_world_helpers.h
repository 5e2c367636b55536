// Real stores in a private database folder, opened as the program opens them, and the
// mail-check thread run against them while the test's main thread serves it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/mail_check_wiring.h"
#include "app/stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/folders_view.h"
#include "store/listener_control.h"
#include "store/status_notices.h"
#include "support/temp_dir.h"
#include "transport/tls_policy.h"
#include "transport/worker_job.h"
#include "transport/worker_reports.h"

namespace pelrion::transport::testing {

// Everything a worker reported, in order; the worker calls from its own thread.
class RecordedReports : public WorkerReports {
 public:
  void ActivityState(int state) override;
  void StatusChanged(const StatusRecord& status, int notify) override;
  void NetworkErrorReport(const std::string& server, std::uint32_t account_id,
                          MailProtocol protocol, const std::string& text,
                          const std::string& certificate) override;
  void SuccessNotice(const std::string& server, std::uint32_t account_id,
                     MailProtocol protocol) override;
  void Finished() override;

  std::vector<int> Activities() const;
  std::vector<std::string> Errors() const;  // the report texts
  std::vector<std::string> Certificates() const;  // each report's refused certificate
  std::vector<std::uint32_t> Successes() const;  // account ids
  std::vector<StatusRecord> Statuses() const;
  int finished() const;

 private:
  mutable std::mutex mutex_;
  std::vector<int> activities_;
  std::vector<std::string> errors_;
  std::vector<std::string> certificates_;
  std::vector<std::uint32_t> successes_;
  std::vector<StatusRecord> statuses_;
  int finished_ = 0;
};

class CheckWorld {
  test_support::TempDir dir_;
  platform::PlainMainThread main_thread_;
  store::NoListenerControl listener_control_;
  store::NoStatusNotices notices_;
  store::NoFoldersView view_;

 public:
  CheckWorld();
  ~CheckWorld();

  // Drops every store and opens them again from the folder, as the next start does.
  void Restart();

  // An account whose POP3 server is 127.0.0.1:port with this TLS policy; its id.
  std::uint32_t AddAccount(std::uint16_t port, const std::string& user = "jo",
                           const std::string& password = "secret",
                           TlsMode mode = TlsMode::kNever, const std::string& ca_file = "");

  // One check of these accounts (every account when empty), waiting for it while serving
  // it; its code. A fresh recorder takes the reports.
  int Check(std::vector<std::uint32_t> account_ids = {},
            PlainConversationPolicy policy = DecidePlainConversation);

  // The stored messages' file contents in ascending id order, and their records.
  std::vector<std::string> StoredTexts() const;
  std::vector<store::MessageRecord*> Records() const;
  // Names of the files in the database folder that end in ".eml".
  std::vector<std::string> MessageFileNames() const;

  std::string folder() const { return dir_.path() + "/"; }
  platform::MainThread& main_thread() { return main_thread_; }

  platform::MemoryRegistry registry;
  core::Preferences preferences;
  app::Stores stores;
  WorkerJob job;
  std::unique_ptr<RecordedReports> reports = std::make_unique<RecordedReports>();
  int timeout_seconds = 20;
};

}  // namespace pelrion::transport::testing
