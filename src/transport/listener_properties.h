// The local endpoint of a listener as the user edits it: the address and port texts checked
// in the order the fields are shown, and the change applied, restarting a running listener
// when its endpoint moved. Qt-free; the properties sheet shows the texts and moves the focus.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "store/listener_table.h"
#include "transport/listener_threads.h"

namespace pelrion::transport {

// The address choice that stands for every local interface (stored as 0).
inline constexpr std::string_view kAllInterfacesText = "all (unassigned)";
inline constexpr std::string_view kInvalidAddressText = "Please enter a valid IP address.";
inline constexpr std::string_view kInvalidPortText = "Please enter a valid port number.";

struct LocalEndpoint {
  std::uint32_t address = 0;  // host byte order; 0 = every interface
  std::uint32_t port = 0;
  bool operator==(const LocalEndpoint&) const = default;
};

enum class EndpointField { kAddress, kPort };

// Why the texts were refused: the message to show and the field that takes the focus.
struct EndpointRefusal {
  EndpointField field;
  std::string_view message;
  bool operator==(const EndpointRefusal&) const = default;
};

// A dotted quad of four decimal parts 0-255 (up to three digits each), nothing else around.
std::optional<std::uint32_t> ParseDottedQuad(std::string_view text);
// Decimal digits only, 1-65535.
std::optional<std::uint32_t> ParsePortNumber(std::string_view text);

// The address text first ("all (unassigned)" exactly, or a dotted quad), then the port text.
std::variant<LocalEndpoint, EndpointRefusal> ParseLocalEndpoint(std::string_view address_text,
                                                                std::string_view port_text);

// The text the address field shows for a stored address.
std::string LocalAddressText(std::uint32_t address);

// The address field's choices: "all (unassigned)", then each IPv4 address the machine's name
// resolves to, once, in the resolver's order. May wait for the resolver.
std::vector<std::string> LocalAddressChoices();

// Stores the endpoint. When it differs from the stored one and the listener is running, the
// listener is stopped first and started again afterwards on the new endpoint. False when the
// id is not in the table. Main thread.
bool ApplyLocalEndpoint(store::ListenerTable& table, store::ListenerControl& listeners,
                        std::uint32_t listener_id, const LocalEndpoint& endpoint);

}  // namespace pelrion::transport
