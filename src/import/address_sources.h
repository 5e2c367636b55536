// Where addresses are imported from, the names the windows and commands show for each, and
// the sentence that reports an import's result.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::import {

enum class AddressSource {
  kTextFile,     // one address per line
  kVCardFile,    // a .vcf file an address book exported
  kAddressBook,  // the Thunderbird address books of the user's profiles
};

// "Text File (one address per line)", "vCard File (.vcf)", "Thunderbird Address Book".
std::string_view AddressSourceName(AddressSource source);

// The result of an import from source: -1 (the source could not be read) gives
// "File read error." for a file and "Thunderbird Address Book is not accessible at this
// moment." for the address book; 0 "No new contacts could be found."; n > 0
// "%d new contacts were added.".
std::string ImportResultText(AddressSource source, int result);

// The first-run offer to fill Trusted Contacts from the address book.
std::string FirstRunAddressBookQuestion();

// Whether the result is reported as a warning (-1) rather than as information.
constexpr bool IsImportFailure(int result) {
  return result < 0;
}

}  // namespace pelrion::import
