#include "store/address_calls.h"

namespace pelrion::store {

std::uint32_t AddressCalls::LookupAddress(std::string_view address, std::uint32_t mask) {
  return main_.Call([&] { return lists_.LookupAddress(address, mask); });
}

bool AddressCalls::AddContactIfNew(std::string_view name,
                                   const std::vector<std::string>& addresses, int list_index) {
  return main_.Call([&] { return lists_.AddContactIfNew(name, addresses, list_index) != nullptr; });
}

}  // namespace pelrion::store
