// account add / list / remove.
#include <optional>
#include <string>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "store/account_creation.h"
#include "store/account_removal_peers.h"
#include "transport/listener_properties.h"

namespace pelrion::app {
namespace {

// HOST or HOST:PORT; false when the port is not 1-65535.
bool SplitServer(std::string_view text, std::uint32_t default_port, std::string& host,
                 std::uint32_t& port) {
  const auto colon = text.rfind(':');
  host = std::string(text.substr(0, colon));
  port = default_port;
  if (colon == std::string_view::npos) return true;
  const auto parsed = transport::ParsePortNumber(text.substr(colon + 1));
  if (!parsed) return false;
  port = *parsed;
  return true;
}

platform::ControlReply AddAccount(CommandContext& context, const ParsedCommand& command,
                                  std::string_view input) {
  store::NewAccount account;
  account.friendly_name = command.Value("--name");
  account.display_name = command.Value("--display-name");
  account.email_address = command.Value("--email");
  account.pop3_user = command.Value("--pop3-user");
  account.smtp_authentication = command.Has("--smtp-auth");
  account.smtp_user = command.Value("--smtp-user");
  account.included = !command.Has("--exclude");
  const std::vector<std::string> lines = InputLines(input);
  if (!lines.empty()) account.pop3_password = lines[0];
  if (command.Has("--smtp-user")) {
    // A missing line is an empty password, which the check refuses.
    account.smtp_password = lines.size() > 1 ? lines[1] : std::string();
  }
  if (!SplitServer(command.Value("--pop3"), 110, account.pop3_host, account.pop3_port) ||
      !SplitServer(command.Value("--smtp"), 25, account.smtp_host, account.smtp_port)) {
    return Refused(store::kPortText);
  }
  if (const auto refusal = store::CheckNewAccount(account)) return Refused(*refusal);
  const store::CreatedAccount created =
      store::CreateAccount(*context.stores.accounts, *context.stores.listeners, account);
  return Succeeded(store::AccountCreatedText(created.pop3, created.smtp));
}

nlohmann::json AccountJson(const store::MailAccount& account) {
  return {{"id", account.id},
          {"friendly_name", JsonText(account.friendly_name.Text())},
          {"display_name", JsonText(account.display_name.Text())},
          {"email", JsonText(account.email_address.Text())},
          {"pop3_user", JsonText(account.pop3_user_name.Text())},
          {"smtp_user", JsonText(account.smtp_user_name.Text())},
          {"smtp_auth", account.smtp_authentication == 1},
          {"included", account.included != 0},
          {"pop3_listener", account.pop3_listener_id},
          {"smtp_listener", account.smtp_listener_id}};
}

platform::ControlReply ListAccounts(CommandContext& context, const ParsedCommand& command) {
  nlohmann::json list = nlohmann::json::array();
  std::string text;
  for (const std::uint32_t id : context.stores.accounts->Ids()) {
    const auto account = context.stores.accounts->CopyOf(id);
    if (!account) continue;
    list.push_back(AccountJson(*account));
    text += std::to_string(id) + "\t" + std::string(account->friendly_name.Text()) + "\t" +
            std::string(account->email_address.Text()) +
            (account->included != 0 ? "" : "\t(excluded)") + "\n";
  }
  return Succeeded(command.Has("--json") ? JsonOutput(list) : text);
}

platform::ControlReply RemoveAccount(CommandContext& context, std::uint32_t id) {
  store::MessageStoreRemovalPeers peers(*context.stores.messages, *context.stores.digests);
  const store::AccountRemovalOutcome outcome =
      context.stores.accounts->RemoveAccountUnasked(id, &peers);
  switch (outcome.result) {
    case store::AccountRemoval::kRemoved:
      return Succeeded();
    case store::AccountRemoval::kUnknown:
      return UnknownId("account", id);
    case store::AccountRemoval::kHasMessages:
      return Refused(outcome.refusal);
  }
  return UnknownId("account", id);
}

}  // namespace

platform::ControlReply RunAccountCommand(CommandContext& context, const ParsedCommand& command,
                                         std::string_view input) {
  switch (command.id) {
    case CommandId::kAccountAdd:
      return AddAccount(context, command, input);
    case CommandId::kAccountRemove:
      return RemoveAccount(context, command.ids.front());
    default:
      return ListAccounts(context, command);
  }
}

}  // namespace pelrion::app
