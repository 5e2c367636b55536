// The nine database files: names, kinds and stored sizes shared by the tables that own them
// and by the check tool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pelrion::store {

inline constexpr std::string_view kMessageSlotsFile = "db1.dat";
inline constexpr std::string_view kMessageHeapFile = "db2.dat";
inline constexpr std::string_view kContactSlotsFile = "db3.dat";
inline constexpr std::string_view kContactHeapFile = "db4.dat";
inline constexpr std::string_view kAccountsFile = "db5.dat";
inline constexpr std::string_view kIdentityFile = "db6.dat";
inline constexpr std::string_view kDigestSlotsFile = "db7.dat";
inline constexpr std::string_view kListenersFile = "db8.dat";
inline constexpr std::string_view kTrustedDomainsFile = "db9.dat";

// Slot entry sizes (the slot adds a 16-byte digest).
inline constexpr std::size_t kMessageEntrySize = 36;
inline constexpr std::size_t kContactEntrySize = 16;
inline constexpr std::size_t kDigestEntrySize = 20;

// RecordFile record sizes and the versions written.
inline constexpr std::size_t kAccountRecordSize = 1428;
inline constexpr std::size_t kOldAccountRecordSize = 1948;  // version 1, read for conversion
inline constexpr std::uint8_t kAccountsVersion = 2;
inline constexpr std::size_t kListenerRecordSize = 276;
inline constexpr std::uint8_t kListenersVersion = 1;
inline constexpr std::size_t kTrustedDomainRecordSize = 256;
inline constexpr std::uint8_t kTrustedDomainsVersion = 1;

// The account record size for a "db5.dat" version byte: 1 is the older layout, any other
// byte the current one.
constexpr std::size_t AccountRecordSizeFor(std::uint8_t version) {
  return version == 1 ? kOldAccountRecordSize : kAccountRecordSize;
}

}  // namespace pelrion::store
