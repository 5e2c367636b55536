#include "app/program_listeners.h"

#include <utility>

#include "transport/pop3_server_session.h"
#include "transport/smtp_proxy_session.h"

namespace pelrion::app {

ProgramListeners::ProgramListeners(platform::MainThread& main_thread, Stores& stores,
                                   const platform::Registry& registry,
                                   const core::Preferences& preferences,
                                   transport::ListenerReports& reports, SessionSettings settings)
    : main_(main_thread),
      stores_(stores),
      preferences_(preferences),
      settings_(std::move(settings)),
      threads_(
          main_thread,
          [this, &registry](std::uint32_t id) {
            return transport::CopyListenerWorkOf(*stores_.listeners, registry, id);
          },
          reports,
          [this](transport::NetConnection& client, transport::WorkerJob& record,
                 const transport::ListenerWork& listener) { RunSession(client, record, listener); }) {}

void ProgramListeners::StartAll() {
  for (const std::uint32_t id : stores_.listeners->Ids()) threads_.StartListener(id);
}

void ProgramListeners::RunSession(transport::NetConnection& client, transport::WorkerJob& record,
                                  const transport::ListenerWork& listener) {
  if (listener.protocol == store::ListenerProtocol::kPop3) {
    transport::Pop3SessionPorts ports = transport::DefaultPop3SessionPorts(
        *stores_.accounts, *stores_.message_calls, settings_.database_folder);
    transport::RunPop3Session(client, record, listener, ports);
  } else {
    const transport::SmtpProxyPorts ports{.addresses = *stores_.address_calls,
                                          .trust_recipients = [this] { return TrustRecipients(); },
                                          .installation_id = settings_.installation_id,
                                          .host_name = settings_.host_name};
    transport::RunSmtpProxySession(client, record, listener, ports);
  }
}

// The preference may change while a session runs; it is read on the main thread, which owns it.
bool ProgramListeners::TrustRecipients() {
  return main_.Call([this] { return preferences_.trustrcpt != 0; });
}

}  // namespace pelrion::app
