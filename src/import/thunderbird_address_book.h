// Thunderbird's address books: the SQLite files "abook.sqlite" (the personal address book)
// and "abook-N.sqlite" (any further ones) of each profile, read without ever writing to them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/address_book_card.h"
#include "store/address_calls.h"

namespace pelrion::import {

// The cards of one address book file, in the order they were first stored. A card's
// addresses are PrimaryEmail, SecondEmail, then every EMAIL of its "_vCard" property (newer
// versions keep the whole card there); its display name is DisplayName, else the vCard's
// FN, else FirstName and LastName. nullopt when the file cannot be opened read-only or holds
// no card table.
std::optional<std::vector<AddressBookCard>> ReadThunderbirdAddressBook(const std::string& path);

// The address book files of one profile folder: "abook.sqlite" first, then the
// "abook-N.sqlite" files in name order. Only files that exist.
std::vector<std::string> AddressBookFiles(const std::string& profile_folder);

// Every address of every address book of every Thunderbird profile of the user whose home
// folder is home, added as AddCardsToList does. Returns the number of contacts added, or -1
// when not one address book could be read (no profile, or none readable).
int ImportFromThunderbird(std::string_view home, int list_index, store::AddressCalls& calls);

}  // namespace pelrion::import
