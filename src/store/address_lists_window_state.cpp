#include "store/address_lists_window_state.h"

#include "store/address_list_table.h"
#include "store/byte_reader.h"
#include "store/byte_writer.h"
#include "store/record_digest.h"

namespace pelrion::store {

std::string EncodeAddressListsWindowState(const AddressListsWindowState& state) {
  ByteWriter out;
  out.I32(state.column_widths[0]);
  out.I32(state.column_widths[1]);
  out.I32(state.column_order[0]);
  out.I32(state.column_order[1]);
  out.I32(state.sort_column);
  out.I32(state.ascending);
  out.I32(state.list_shown);
  out.I32(state.left);
  out.I32(state.top);
  out.I32(state.right);
  out.I32(state.bottom);
  return WithDigest(out.bytes());
}

std::optional<AddressListsWindowState> DecodeAddressListsWindowState(std::string_view bytes) {
  if (bytes.size() != kAddressListsStateSize) return std::nullopt;
  const std::string_view fields = bytes.substr(kDigestSize);
  if (!DigestMatches(bytes.substr(0, kDigestSize), fields)) return std::nullopt;
  ByteReader in(fields);
  AddressListsWindowState state;
  state.column_widths[0] = in.I32();
  state.column_widths[1] = in.I32();
  state.column_order[0] = in.I32();
  state.column_order[1] = in.I32();
  state.sort_column = in.I32();
  state.ascending = in.I32();
  state.list_shown = in.I32();
  state.left = in.I32();
  state.top = in.I32();
  state.right = in.I32();
  state.bottom = in.I32();
  if (!in.ok()) return std::nullopt;
  return state;
}

AddressListsWindowState ReadAddressListsWindowState(const platform::Registry& registry) {
  const auto value = registry.GetBinary(platform::kProgramKey, kAddressListsValue);
  if (!value) return {};
  const std::string bytes(value->begin(), value->end());
  auto state = DecodeAddressListsWindowState(bytes);
  if (!state) return {};
  // Keep the window on screen; 64-bit sums so a stored extreme cannot overflow.
  if (state->left < 0) {
    state->right = static_cast<std::int32_t>(std::int64_t{state->right} - state->left);
    state->left = 0;
  }
  if (state->top < 0) {
    state->bottom = static_cast<std::int32_t>(std::int64_t{state->bottom} - state->top);
    state->top = 0;
  }
  return *state;
}

bool WriteAddressListsWindowState(platform::Registry& registry,
                                  const AddressListsWindowState& state) {
  const std::string bytes = EncodeAddressListsWindowState(state);
  return registry.SetBinary(platform::kProgramKey, kAddressListsValue,
                            platform::RegistryBinary(bytes.begin(), bytes.end()));
}

std::string AddressListsWindowTitle(int list_index) {
  return std::string(AddressListName(list_index)) + " - Address Lists";
}

}  // namespace pelrion::store
