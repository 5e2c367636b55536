// The "Address Lists" window's remembered state: registry value "Address Lists" under the
// program key, 60 bytes: the MD5 of the following 44 bytes, then eleven little-endian 32-bit
// integers in this order: two column widths, two column display positions, sort column,
// ascending flag, list shown, and the window's normal rectangle left, top, right, bottom.
// Written when the window closes; ignored when missing, not 60 bytes long or failing its
// digest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace pelrion::store {

inline constexpr std::string_view kAddressListsValue = "Address Lists";
inline constexpr std::size_t kAddressListsStateSize = 60;

struct AddressListsWindowState {
  std::array<std::int32_t, 2> column_widths = {200, 350};
  std::array<std::int32_t, 2> column_order = {0, 1};
  std::int32_t sort_column = 0;
  std::int32_t ascending = 1;
  std::int32_t list_shown = 0;  // Trusted Contacts
  std::int32_t left = 20;
  std::int32_t top = 20;
  std::int32_t right = 585;
  std::int32_t bottom = 440;

  bool operator==(const AddressListsWindowState&) const = default;
};

// The 60 stored bytes (digest, then the eleven fields).
std::string EncodeAddressListsWindowState(const AddressListsWindowState& state);
// The state in bytes, nullopt unless they are 60 bytes with a matching digest. The
// rectangle is returned as stored.
std::optional<AddressListsWindowState> DecodeAddressListsWindowState(std::string_view bytes);

// The stored state, or the defaults when the value is missing or damaged. A negative left
// or top is moved to 0 and the opposite edge moved by the same amount.
AddressListsWindowState ReadAddressListsWindowState(const platform::Registry& registry);
// Stores the state; false when the registry could not keep it.
bool WriteAddressListsWindowState(platform::Registry& registry,
                                  const AddressListsWindowState& state);

// "%s - Address Lists" with the shown list's name.
std::string AddressListsWindowTitle(int list_index);

}  // namespace pelrion::store
