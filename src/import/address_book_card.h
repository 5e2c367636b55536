// One person of an address book as the importers read it, and the step every importer ends
// with: each address becomes a contact of the chosen list unless a contact holds it already.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "store/address_calls.h"

namespace pelrion::import {

struct AddressBookCard {
  std::string display_name;            // UTF-8; empty when the book has none
  std::vector<std::string> addresses;  // as the book has them, in its order
};

// Every non-empty address, lower-cased, becomes a contact of its own with the card's display
// name in list_index, unless a contact of either list already holds it (so an import never
// moves an address from one list to the other). Returns the number of contacts added.
int AddCardsToList(std::span<const AddressBookCard> cards, int list_index,
                   store::AddressCalls& calls);

}  // namespace pelrion::import
