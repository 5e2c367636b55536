#include "app/mail_check_wiring.h"

#include <atomic>
#include <thread>
#include <utility>

#include "transport/mail_check_thread.h"

#include "validation/default_arrival_checks.h"

namespace pelrion::app {

MailCheckServices::MailCheckServices(Stores& stores, platform::MainThread& main_thread,
                                     const std::string& database_folder,
                                     const std::string& temp_folder, std::string installation_id,
                                     std::uint32_t challenge)
    : events_(main_thread, *stores.quarantine),
      checks_(validation::DefaultArrivalChecks(database_folder, temp_folder, events_)),
      fate_{checks_, context_, *stores.message_calls} {
  context_.installation_id = std::move(installation_id);
  context_.challenge = challenge;
  store::AddressCalls& addresses = *stores.address_calls;
  context_.lookup_address = [&addresses](std::string_view address, std::uint32_t mask) {
    return addresses.LookupAddress(address, mask);
  };
  context_.trusted_domains = stores.trusted_domains.get();
}

transport::CheckWork CopyCheckWork(const Stores& stores, const platform::Registry& registry,
                                   const std::string& database_folder,
                                   const std::vector<std::uint32_t>& account_ids) {
  transport::CheckWork work;
  work.database_folder = database_folder;
  for (const std::uint32_t id : account_ids) {
    const std::optional<store::MailAccount> account = stores.accounts->CopyOf(id);
    if (!account) continue;
    const std::optional<store::Listener> listener =
        stores.listeners->CopyOf(account->pop3_listener_id);
    if (!listener) continue;
    work.accounts.push_back(transport::CopyCheckAccount(*account, *listener, registry));
  }
  return work;
}

int CheckAndWait(platform::MainThread& main_thread, transport::WorkerJob& job,
                 const transport::CheckWork& work, const validation::FateServices& fate,
                 transport::WorkerReports& reports, int timeout_seconds,
                 transport::PlainConversationPolicy policy) {
  std::atomic<bool> ended{false};
  int code = 0;
  std::thread worker([&] {
    code = transport::MailCheckThread(job, work, fate, reports, timeout_seconds, std::move(policy))
               .Run();
    ended.store(true, std::memory_order_release);
  });
  main_thread.WaitServing([&] { return ended.load(std::memory_order_acquire); });
  worker.join();
  return code;
}

}  // namespace pelrion::app
