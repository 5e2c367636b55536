// import addresses: fills an address list from a text file, a vCard file or the user's
// Thunderbird address books, and prints the sentence the Import Addresses window shows.
#include <string>
#include <string_view>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "import/address_sources.h"
#include "import/text_file_import.h"
#include "import/thunderbird_address_book.h"
#include "import/thunderbird_profiles.h"
#include "mailformat/ascii.h"
#include "store/address_list_table.h"

namespace pelrion::app {
namespace {

bool IsVCardFileName(std::string_view name) {
  for (std::string_view extension : {".vcf", ".vcard"}) {
    if (name.size() >= extension.size() &&
        mailformat::ascii::EqualsIgnoreCase(name.substr(name.size() - extension.size()),
                                            extension)) {
      return true;
    }
  }
  return false;
}

}  // namespace

platform::ControlReply RunImportCommand(CommandContext& context, const ParsedCommand& command) {
  const int list = command.Value("--list", "trusted") == "blacklist" ? store::kBlackList
                                                                     : store::kTrustedContactsList;
  const std::string from(command.Value("--from"));
  store::AddressCalls& calls = *context.stores.address_calls;
  import::AddressSource source = import::AddressSource::kTextFile;
  int result = 0;
  if (IsAddressBookWord(from)) {
    // The books of the user the running program runs as, which is the user who asks.
    source = import::AddressSource::kAddressBook;
    result = import::ImportFromThunderbird(import::UserHomeFolder(), list, calls);
  } else if (IsVCardFileName(from)) {
    source = import::AddressSource::kVCardFile;
    result = import::ImportFromVCardFile(from, list, calls);
  } else {
    result = import::ImportFromTextFile(from, list, calls);
  }
  const std::string text = import::ImportResultText(source, result);
  if (import::IsImportFailure(result)) return Refused(text);
  return Succeeded(text + "\n");
}

}  // namespace pelrion::app
