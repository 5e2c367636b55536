// contact add / list / remove.
#include <string>
#include <vector>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "mailformat/addresses.h"
#include "mailformat/ascii.h"
#include "store/address_list_table.h"
#include "store/contact.h"

namespace pelrion::app {
namespace {

constexpr std::size_t kMaxAddressBytes = 255;

// --list: 0 Trusted Contacts (the default), 1 Black List.
int ListIndex(const ParsedCommand& command) {
  return command.Value("--list", "trusted") == "blacklist" ? 1 : 0;
}

std::string_view ListWord(int list_index) { return list_index == 1 ? "blacklist" : "trusted"; }

platform::ControlReply AddContact(store::AddressListTable& lists, const ParsedCommand& command) {
  std::vector<std::string> addresses;
  for (const std::string& arg : command.args) {
    std::string address = mailformat::ascii::ToLowerCopy(arg);
    if (address.size() > kMaxAddressBytes || !mailformat::IsValidAddress(address)) {
      return Refused("pelrion: '" + arg + "' is not a valid e-mail address");
    }
    if (const store::Contact* holder = lists.FindByAddress(address)) {
      return Refused(store::AddressHeldText(address, *holder));
    }
    for (const std::string& earlier : addresses) {
      if (earlier == address) return Refused("pelrion: '" + arg + "' is given twice");
    }
    addresses.push_back(std::move(address));
  }
  if (lists.AddContact(command.Value("--name"), addresses, ListIndex(command)) == nullptr) {
    return Refused("pelrion: the contact could not be added");
  }
  return Succeeded();
}

platform::ControlReply ListContacts(store::AddressListTable& lists,
                                    const ParsedCommand& command) {
  const bool one_list = command.Has("--list");
  nlohmann::json list = nlohmann::json::array();
  std::string text;
  for (const store::Contact* contact : lists.records()) {
    const int index = store::ListIndexOf(*contact);
    if (one_list && index != ListIndex(command)) continue;
    nlohmann::json addresses = nlohmann::json::array();
    std::string joined;
    for (const std::string& address : contact->blob.addresses) {
      addresses.push_back(JsonText(address));
      joined += (joined.empty() ? "" : ", ") + address;
    }
    list.push_back({{"id", contact->id},
                    {"list", ListWord(index)},
                    {"name", JsonText(contact->blob.name)},
                    {"addresses", std::move(addresses)}});
    text += std::to_string(contact->id) + "\t" + std::string(ListWord(index)) + "\t" +
            contact->blob.name + "\t" + joined + "\n";
  }
  return Succeeded(command.Has("--json") ? JsonOutput(list) : text);
}

// Each address leaves its contact; a contact left without addresses goes.
platform::ControlReply RemoveAddresses(store::AddressListTable& lists,
                                       const ParsedCommand& command) {
  const bool one_list = command.Has("--list");
  for (const std::string& arg : command.args) {
    const store::Contact* holder = lists.FindByAddress(mailformat::ascii::ToLowerCopy(arg));
    if (holder == nullptr || (one_list && store::ListIndexOf(*holder) != ListIndex(command))) {
      return Refused("pelrion: no contact with the address '" + arg + "'");
    }
  }
  for (const std::string& arg : command.args) {
    const std::string address = mailformat::ascii::ToLowerCopy(arg);
    store::Contact* holder = lists.FindByAddress(address);
    if (holder == nullptr) continue;  // named twice
    std::vector<std::string> rest;
    for (const std::string& kept : holder->blob.addresses) {
      if (kept != address) rest.push_back(kept);
    }
    if (rest.empty()) {
      store::Contact* const gone[] = {holder};
      lists.DeleteContacts(gone);
    } else {
      const std::string name = holder->blob.name;
      lists.ReplaceContact(*holder, name, rest, store::ListIndexOf(*holder));
    }
  }
  return Succeeded();
}

}  // namespace

platform::ControlReply RunContactCommand(CommandContext& context, const ParsedCommand& command) {
  store::AddressListTable& lists = *context.stores.address_lists;
  switch (command.id) {
    case CommandId::kContactAdd:
      return AddContact(lists, command);
    case CommandId::kContactRemove:
      return RemoveAddresses(lists, command);
    default:
      return ListContacts(lists, command);
  }
}

}  // namespace pelrion::app
