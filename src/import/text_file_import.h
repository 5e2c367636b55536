// Filling an address list from a file: a text file with one address per line, or a vCard
// file exported by an address book.
#pragma once

#include <string>

#include "store/address_calls.h"

namespace pelrion::import {

// Each line (ending at LF; the last may lack it) without its trailing white space, when
// anything is left, is lower-cased and becomes a contact of list_index with an empty display
// name, unless a contact already holds it. Leading white space stays part of the address;
// no syntax check is made. Returns the number of contacts added, or -1 when the file could
// not be opened or a read failed (the contacts added before the failure stay).
int ImportFromTextFile(const std::string& path, int list_index, store::AddressCalls& calls);

// Every address of every card of the vCard file (see ParseVCards), added as AddCardsToList
// does. Returns the number of contacts added, or -1 when the file could not be read.
int ImportFromVCardFile(const std::string& path, int list_index, store::AddressCalls& calls);

}  // namespace pelrion::import
