// Any text as a vCard file: no crash, no endless unfolding, and never an empty address
// handed on to the address lists.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "import/vcard.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const pelrion::import::AddressBookCard& card : pelrion::import::ParseVCards(text)) {
    for (const std::string& address : card.addresses) {
      if (address.empty()) std::abort();
    }
  }
  return 0;
}
