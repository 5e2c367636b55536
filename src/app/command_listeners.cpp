// listener list / start / set.
#include <array>
#include <cctype>
#include <string>
#include <variant>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "transport/listener_properties.h"
#include "transport/listener_tls_settings.h"

namespace pelrion::app {
namespace {

struct TlsWord {
  std::string_view word;
  transport::TlsMode mode;
};
constexpr std::array<TlsWord, 4> kTlsWords = {{{"auto", transport::TlsMode::kAutomatic},
                                               {"starttls", transport::TlsMode::kUpgradeRequired},
                                               {"implicit", transport::TlsMode::kImplicit},
                                               {"off", transport::TlsMode::kNever}}};

std::string_view TlsModeWord(transport::TlsMode mode) {
  for (const TlsWord& entry : kTlsWords) {
    if (entry.mode == mode) return entry.word;
  }
  return "auto";
}

// A SHA-256 fingerprint: 64 hex digits, optionally in colon-separated pairs; or empty, which
// removes the pin.
bool ValidFingerprint(std::string_view text) {
  std::size_t digits = 0;
  for (const char c : text) {
    if (c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    ++digits;
  }
  return digits == 0 ? text.empty() : digits == 64;
}

platform::ControlReply ListListeners(CommandContext& context, const ParsedCommand& command) {
  const nlohmann::json list = ListenersJson(context);
  if (command.Has("--json")) return Succeeded(JsonOutput(list));
  std::string text;
  for (const nlohmann::json& listener : list) {
    text += std::to_string(listener["id"].get<std::uint32_t>()) + "\t" +
            listener["protocol"].get<std::string>() + "\t" +
            listener["host"].get<std::string>() + ":" +
            std::to_string(listener["port"].get<std::uint32_t>()) + "\t" +
            listener["local_address"].get<std::string>() + ":" +
            std::to_string(listener["local_port"].get<std::uint32_t>()) + "\t" +
            (listener["running"].get<bool>() ? "running" : "stopped") + "\n";
  }
  return Succeeded(text);
}

platform::ControlReply SetListener(CommandContext& context, const ParsedCommand& command) {
  const std::uint32_t id = command.ids.front();
  const auto listener = context.stores.listeners->CopyOf(id);
  if (!listener) return UnknownId("listener", id);

  transport::ListenerTlsSettings tls = transport::ReadListenerTlsSettings(context.registry, id);
  if (command.Has("--tls")) {
    for (const TlsWord& entry : kTlsWords) {
      if (entry.word == command.Value("--tls")) tls.mode = entry.mode;
    }
  }
  if (command.Has("--fingerprint")) {
    if (!ValidFingerprint(command.Value("--fingerprint"))) {
      return Refused("pelrion: a fingerprint is 64 hexadecimal digits (SHA-256)",
                     kUsageExitCode);
    }
    tls.fingerprint = command.Value("--fingerprint");
  }
  const std::string address_text =
      command.Has("--address") && command.Value("--address") == "all"
          ? std::string(transport::kAllInterfacesText)
          : std::string(command.Value("--address",
                                      transport::LocalAddressText(listener->local_address)));
  const std::string port_text(command.Value("--port", std::to_string(listener->local_port)));
  const auto endpoint = transport::ParseLocalEndpoint(address_text, port_text);
  if (const auto* refusal = std::get_if<transport::EndpointRefusal>(&endpoint)) {
    return Refused(refusal->message);
  }

  const bool tls_changed = command.Has("--tls") || command.Has("--fingerprint");
  if (tls_changed && !transport::WriteListenerTlsSettings(context.registry, id, tls)) {
    return Refused("pelrion: the listener's TLS settings could not be saved");
  }
  const auto& local = std::get<transport::LocalEndpoint>(endpoint);
  const bool moved = local.address != listener->local_address || local.port != listener->local_port;
  transport::ApplyLocalEndpoint(*context.stores.listeners, context.listeners, id, local);
  // A running listener read its TLS settings when it started; a move restarted it already.
  if (tls_changed && !moved && context.listeners.IsRunning(id)) {
    context.listeners.StopListener(id);
    context.listeners.StartListener(id);
  }
  return Succeeded();
}

}  // namespace

nlohmann::json ListenersJson(CommandContext& context) {
  nlohmann::json list = nlohmann::json::array();
  for (const std::uint32_t id : context.stores.listeners->Ids()) {
    const auto listener = context.stores.listeners->CopyOf(id);
    if (!listener) continue;
    const transport::ListenerTlsSettings tls =
        transport::ReadListenerTlsSettings(context.registry, id);
    list.push_back(
        {{"id", id},
         {"host", JsonText(listener->server_host.Text())},
         {"port", listener->server_port},
         {"protocol", listener->protocol == store::ListenerProtocol::kSmtp ? "smtp" : "pop3"},
         {"local_address", store::DottedQuad(listener->local_address)},
         {"local_port", listener->local_port},
         {"running", context.listeners.IsRunning(id)},
         {"tls", TlsModeWord(tls.mode)}});
  }
  return list;
}

platform::ControlReply RunListenerCommand(CommandContext& context, const ParsedCommand& command) {
  switch (command.id) {
    case CommandId::kListenerStart: {
      const std::uint32_t id = command.ids.front();
      if (!context.stores.listeners->Contains(id)) return UnknownId("listener", id);
      context.listeners.StartListener(id);
      return Succeeded();
    }
    case CommandId::kListenerSet:
      return SetListener(context, command);
    default:
      return ListListeners(context, command);
  }
}

}  // namespace pelrion::app
