#include "import/address_book_card.h"

#include "mailformat/ascii.h"

namespace pelrion::import {

int AddCardsToList(std::span<const AddressBookCard> cards, int list_index,
                   store::AddressCalls& calls) {
  int added = 0;
  for (const AddressBookCard& card : cards) {
    for (const std::string& address : card.addresses) {
      if (address.empty()) continue;
      const std::vector<std::string> one = {mailformat::ascii::ToLowerCopy(address)};
      if (calls.AddContactIfNew(card.display_name, one, list_index)) ++added;
    }
  }
  return added;
}

}  // namespace pelrion::import
