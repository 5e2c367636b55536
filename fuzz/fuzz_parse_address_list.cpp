// Parses arbitrary bytes as an address field, with and without name decoding; checks the
// parallel lists stay paired and the joins and angle-address reader accept the result.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mailformat/addresses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view value(reinterpret_cast<const char*>(data), size);
  for (const bool decode : {false, true}) {
    const pelrion::mailformat::ParsedAddressList list =
        pelrion::mailformat::ParseAddressList(value, decode);
    if (list.names.size() != list.addresses.size()) std::abort();
    for (const auto& address : list.addresses) {
      for (const char c : address) {
        if (c >= 'A' && c <= 'Z') std::abort();  // addresses come out lower-cased
      }
      (void)pelrion::mailformat::IsValidAddress(address);
      (void)pelrion::mailformat::DomainOf(address);
    }
    (void)pelrion::mailformat::JoinDisplayNames(list);
    (void)pelrion::mailformat::JoinNameAddressList(list);
  }
  (void)pelrion::mailformat::ExtractAngleAddress(value);
  (void)pelrion::mailformat::UnquoteString(value);
  (void)pelrion::mailformat::QuotePhraseIfNeeded(value);
  return 0;
}
