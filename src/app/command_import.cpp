// import addresses: fills an address list from a text file, a vCard file or the user's
// Thunderbird address books, and prints the sentence the Import Addresses window shows.
// import clients / accounts / account: the user's mail programs, the POP3 accounts each
// keeps, and one of them created as the set-up wizard's import path creates it.
#include <algorithm>
#include <string>
#include <vector>
#include <string_view>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "import/address_sources.h"
#include "import/mail_clients.h"
#include "import/text_file_import.h"
#include "import/thunderbird_address_book.h"
#include "import/thunderbird_profiles.h"
#include "mailformat/ascii.h"
#include "store/account_creation.h"
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

nlohmann::json CandidateJson(const import::MailCandidate& c) {
  return {{"friendly_name", JsonText(c.friendly_name)},
          {"display_name", JsonText(c.display_name)},
          {"email", JsonText(c.email_address)},
          {"pop3_server", JsonText(c.pop3_host)},
          {"pop3_port", c.pop3_port},
          {"pop3_user", JsonText(c.pop3_user)},
          {"smtp_server", JsonText(c.smtp_host)},
          {"smtp_port", c.smtp_port}};
}

platform::ControlReply ListClients(const import::MailClients& clients, bool json) {
  nlohmann::json list = nlohmann::json::array();
  std::string text;
  for (const import::MailClientKind kind : clients.ListInstalled()) {
    const std::string_view name = import::KindInfo(kind).display_name;
    list.push_back({{"kind", static_cast<int>(kind)}, {"name", name}});
    text += std::to_string(static_cast<int>(kind)) + "\t" + std::string(name) + "\n";
  }
  return Succeeded(json ? JsonOutput(list) : text);
}

platform::ControlReply ListCandidates(const std::vector<import::MailCandidate>& candidates,
                                      bool json) {
  nlohmann::json list = nlohmann::json::array();
  std::string text;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    const import::MailCandidate& c = candidates[i];
    list.push_back(CandidateJson(c));
    text += std::to_string(i) + "\t" + c.friendly_name + "\t" + c.email_address + "\t" +
            c.pop3_host + ":" + std::to_string(c.pop3_port) + "\n";
  }
  return Succeeded(json ? JsonOutput(list) : text);
}

platform::ControlReply CreateCandidate(CommandContext& context,
                                       std::vector<import::MailCandidate> candidates,
                                       std::uint32_t index, std::string_view input) {
  if (index >= candidates.size()) return UnknownId("account to import", index);
  store::NewAccount account = std::move(candidates[index]);
  const std::vector<std::string> lines = InputLines(input);
  account.pop3_password = lines.empty() ? std::string() : lines[0];
  if (const auto refusal = store::CheckNewAccount(account)) return Refused(*refusal);
  const store::CreatedAccount created =
      store::CreateAccount(*context.stores.accounts, *context.stores.listeners, account);
  return Succeeded(store::AccountCreatedText(created.pop3, created.smtp));
}

}  // namespace

platform::ControlReply RunMailClientCommand(CommandContext& context, const ParsedCommand& command,
                                            std::string_view input) {
  // The programs of the user the running program runs as, which is the user who asks.
  const import::MailClients clients = import::MailClients::OfThisUser();
  if (command.id == CommandId::kImportClients) return ListClients(clients, command.Has("--json"));
  const std::uint32_t number = command.ids.front();
  const auto kind = import::KindOfNumber(static_cast<int>(std::min<std::uint32_t>(number, 1000)));
  if (!kind) return UnknownId("mail client kind", number);
  // Nobody is there to answer a question about where a settings file is.
  import::NoSettingsFileQuestions questions;
  std::vector<import::MailCandidate> candidates = clients.ReadAccounts(*kind, questions);
  if (command.id == CommandId::kImportAccounts) {
    return ListCandidates(candidates, command.Has("--json"));
  }
  return CreateCandidate(context, std::move(candidates), command.ids[1], input);
}

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
