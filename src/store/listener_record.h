// Listener: a real mail server (host, port, protocol) paired with the local endpoint on which
// the user's e-mail program is accepted for it. Stored in "db8.dat" as 276-byte records:
//   id u32 | server host text[256] | server port u32 | protocol u32 | local address u32 |
//   local port u32
// Also holds TextField, the fixed-size zero-terminated text field of the stored records.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/database_files.h"

namespace pelrion::store {

// A text[N] field kept byte for byte: the text up to the first zero, and whatever follows the
// terminator, which is copied as it is when the record is written again.
template <std::size_t N>
struct TextField {
  std::array<char, N> bytes{};

  // The bytes before the first zero; all N bytes when the field holds no terminator.
  std::string_view Text() const {
    std::string_view all(bytes.data(), N);
    return all.substr(0, all.find('\0'));
  }
  // Stores text cut to N - 1 bytes, then zeros to the end of the field.
  void Set(std::string_view text) {
    if (text.size() > N - 1) text = text.substr(0, N - 1);
    bytes.fill('\0');
    text.copy(bytes.data(), text.size());
  }
  // All N stored bytes.
  std::string_view Raw() const { return std::string_view(bytes.data(), N); }
  // Copies the first N bytes of raw (zeros after a shorter raw).
  void SetRaw(std::string_view raw) {
    bytes.fill('\0');
    raw.substr(0, N).copy(bytes.data(), std::min(raw.size(), N));
  }
  bool operator==(const TextField&) const = default;
};

enum class ListenerProtocol : std::uint32_t { kPop3 = 0, kSmtp = 1 };

inline constexpr std::size_t kHostFieldSize = 256;
inline constexpr std::uint32_t kLoopbackAddress = 0x7F000001;  // 127.0.0.1, host byte order

struct Listener {
  std::uint32_t id = 0;
  TextField<kHostFieldSize> server_host;
  std::uint32_t server_port = 0;
  ListenerProtocol protocol = ListenerProtocol::kPop3;
  std::uint32_t local_address = kLoopbackAddress;  // host byte order; 0 = every interface
  std::uint32_t local_port = 0;

  // In memory only, guarded by the listener table's lock: 1 while in the table, +1 per holder.
  int ref_count = 0;
};

// An address in host byte order as a dotted quad ("127.0.0.1").
std::string DottedQuad(std::uint32_t address);

// The 276 stored bytes of a listener (no digest).
std::string EncodeListener(const Listener& listener);

// The listener held in exactly 276 stored bytes; nullopt for any other size, or for a
// protocol other than 0 (POP3) and 1 (SMTP), which the program never writes.
std::optional<Listener> DecodeListener(std::string_view stored);

// True when both listeners have the same stored bytes (reference counts are not compared).
bool SameStoredListener(const Listener& a, const Listener& b);

}  // namespace pelrion::store
