#pragma once
// The platform half of a NetError keeps the Winsock numbering the error texts are keyed on, so
// the host's errno values and resolver results are translated here, in one table each.
#include <cstdint>
#include <span>

namespace pelrion::transport {

struct ErrnoMapping {
  int host_errno;
  std::uint16_t platform_error;
};

// Every errno value that has a counterpart in the platform error texts.
std::span<const ErrnoMapping> ErrnoMappings();

// The platform error for an errno value; 0 when it has no counterpart.
std::uint16_t PlatformErrorFromErrno(int host_errno);

// The platform error for a getaddrinfo result; EAI_SYSTEM takes the errno it left. 0 for success
// and for results without a counterpart.
std::uint16_t PlatformErrorFromLookup(int lookup_status, int host_errno);

}  // namespace pelrion::transport
