#pragma once
// ResolveHost: a host text to an IPv4 address. A dotted quad is converted on the spot. A name is
// looked up on a short-lived thread while the requester polls every 100 ms and calls its stop
// check in between, so a stop request never waits for a slow resolver: the requester abandons
// the lookup and the lookup thread frees what is left when its resolver returns.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace pelrion::transport {

// Looks `host` up for IPv4 and stores the first address (host byte order). Returns 0 or a
// getaddrinfo result code (EAI_SYSTEM leaves errno set).
using LookupFunction = int (*)(const char* host, std::uint32_t* address);

// The system resolver through getaddrinfo.
int SystemLookup(const char* host, std::uint32_t* address);

// The address in host byte order. Throws NetError 12 (with the resolver's platform error) when
// the name does not resolve, and whatever `stop_check` throws while the lookup runs. Host names
// longer than 255 characters are cut there.
std::uint32_t ResolveHost(std::string_view host, const std::function<void()>& stop_check,
                          LookupFunction lookup = SystemLookup);

// How many lookup records are alive: pending, or abandoned and waiting for their resolver.
std::size_t LiveLookupRecords();

}  // namespace pelrion::transport
