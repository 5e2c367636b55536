#include "import/address_sources.h"

namespace pelrion::import {

std::string_view AddressSourceName(AddressSource source) {
  switch (source) {
    case AddressSource::kTextFile:
      return "Text File (one address per line)";
    case AddressSource::kVCardFile:
      return "vCard File (.vcf)";
    case AddressSource::kAddressBook:
      return "Thunderbird Address Book";
  }
  return {};
}

std::string FirstRunAddressBookQuestion() {
  return "Do you want to add contacts from your " +
         std::string(AddressSourceName(AddressSource::kAddressBook)) +
         " to the list of trusted contacts?";
}

std::string ImportResultText(AddressSource source, int result) {
  if (IsImportFailure(result)) {
    if (source == AddressSource::kAddressBook) {
      return std::string(AddressSourceName(source)) + " is not accessible at this moment.";
    }
    return "File read error.";
  }
  if (result == 0) return "No new contacts could be found.";
  return std::to_string(result) + " new contacts were added.";
}

}  // namespace pelrion::import
