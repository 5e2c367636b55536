#include "account_test_helpers.h"

#include "store/account_creation.h"

namespace pelrion::ui::testing_support {

AccountWorld::AccountWorld()
    : fixture_(dir_.path() + "/"),
      threads_(
          fixture_.main_thread,
          [this](std::uint32_t id) {
            return transport::CopyListenerWorkOf(*fixture_.stores.listeners, registry_, id);
          },
          reports_,
          [](transport::NetConnection&, transport::WorkerJob&, const transport::ListenerWork&) {}),
      removal_(std::make_unique<store::MessageStoreRemovalPeers>(*fixture_.stores.messages,
                                                                 *fixture_.stores.digests)) {}

AccountWindowPorts AccountWorld::ports() {
  return {.accounts = *stores().accounts,
          .listeners = *stores().listeners,
          .listener_threads = threads_,
          .registry = registry_,
          .removal = *removal_,
          .messages_highlighted = [this] { ++redraws; },
          .mail_clients = mail_clients_};
}

std::uint32_t AccountWorld::AddAccount(const std::string& friendly_name,
                                       const std::string& pop3_host, std::uint32_t pop3_port) {
  store::NewAccount account{.friendly_name = friendly_name,
                            .display_name = "Jo Doe",
                            .email_address = "jo@example.org",
                            .pop3_host = pop3_host,
                            .pop3_port = pop3_port,
                            .pop3_user = "jo",
                            .pop3_password = "secret",
                            .smtp_host = "smtp.example.org"};
  return store::CreateAccount(*stores().accounts, *stores().listeners, account).id;
}

}  // namespace pelrion::ui::testing_support
