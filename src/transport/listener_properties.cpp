#include "transport/listener_properties.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>

namespace pelrion::transport {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Decimal digits only, at most max_digits of them; nullopt otherwise.
std::optional<std::uint32_t> ParseDigits(std::string_view text, std::size_t max_digits) {
  if (text.empty() || text.size() > max_digits) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

}  // namespace

std::optional<std::uint32_t> ParseDottedQuad(std::string_view text) {
  std::uint32_t address = 0;
  for (int part = 0; part < 4; ++part) {
    const std::size_t dot = text.find('.');
    const bool last = part == 3;
    if (last != (dot == std::string_view::npos)) return std::nullopt;
    const std::optional<std::uint32_t> value = ParseDigits(text.substr(0, dot), 3);
    if (!value || *value > 255) return std::nullopt;
    address = (address << 8) | *value;
    text = last ? std::string_view() : text.substr(dot + 1);
  }
  return address;
}

std::optional<std::uint32_t> ParsePortNumber(std::string_view text) {
  const std::optional<std::uint32_t> port = ParseDigits(text, 5);
  if (!port || *port < 1 || *port > 65535) return std::nullopt;
  return port;
}

std::variant<LocalEndpoint, EndpointRefusal> ParseLocalEndpoint(std::string_view address_text,
                                                                std::string_view port_text) {
  LocalEndpoint endpoint;
  if (address_text != kAllInterfacesText) {
    const std::optional<std::uint32_t> address = ParseDottedQuad(address_text);
    if (!address) return EndpointRefusal{EndpointField::kAddress, kInvalidAddressText};
    endpoint.address = *address;
  }
  const std::optional<std::uint32_t> port = ParsePortNumber(port_text);
  if (!port) return EndpointRefusal{EndpointField::kPort, kInvalidPortText};
  endpoint.port = *port;
  return endpoint;
}

std::string LocalAddressText(std::uint32_t address) {
  if (address == 0) return std::string(kAllInterfacesText);
  return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
         std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::vector<std::string> LocalAddressChoices() {
  std::vector<std::string> choices{std::string(kAllInterfacesText)};
  std::array<char, 256> name{};
  if (gethostname(name.data(), name.size() - 1) != 0) return choices;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.data(), nullptr, &hints, &found) != 0) return choices;
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
    std::string text = LocalAddressText(ntohl(ipv4->sin_addr.s_addr));
    if (std::ranges::find(choices, text) == choices.end()) choices.push_back(std::move(text));
  }
  freeaddrinfo(found);
  return choices;
}

bool ApplyLocalEndpoint(store::ListenerTable& table, store::ListenerControl& listeners,
                        std::uint32_t listener_id, const LocalEndpoint& endpoint) {
  const std::optional<store::Listener> stored = table.CopyOf(listener_id);
  if (!stored) return false;
  const bool moved = stored->local_address != endpoint.address || stored->local_port != endpoint.port;
  const bool restart = moved && listeners.IsRunning(listener_id);
  if (restart) listeners.StopListener(listener_id);
  table.SetLocalEndpoint(listener_id, endpoint.address, endpoint.port);
  if (restart) listeners.StartListener(listener_id);
  return true;
}

}  // namespace pelrion::transport
