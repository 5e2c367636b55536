// domain add / remove / list.
#include <string>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "mailformat/ascii.h"
#include "store/trusted_domains.h"

namespace pelrion::app {
namespace {

platform::ControlReply AddDomains(store::TrustedDomainList& domains,
                                  const ParsedCommand& command) {
  for (const std::string& domain : command.args) {
    switch (domains.AddTrustedDomain(domain)) {
      case store::AddDomainResult::kAdded:
        break;
      case store::AddDomainResult::kDuplicate:
        return Refused(store::DuplicateDomainText(mailformat::ascii::ToLowerCopy(domain)));
      case store::AddDomainResult::kEmpty:
        return Refused("pelrion: a trusted domain cannot be empty", kUsageExitCode);
      case store::AddDomainResult::kTooLong:
        return Refused("pelrion: a trusted domain holds at most " +
                           std::to_string(store::kMaxDomainLength) + " bytes",
                       kUsageExitCode);
    }
  }
  return Succeeded();
}

platform::ControlReply RemoveDomains(store::TrustedDomainList& domains,
                                     const ParsedCommand& command) {
  for (const std::string& domain : command.args) {
    if (!domains.IsTrustedDomain(mailformat::ascii::ToLowerCopy(domain))) {
      return Refused("pelrion: '" + domain + "' is not a trusted domain");
    }
  }
  for (const std::string& domain : command.args) {
    domains.RemoveTrustedDomain(mailformat::ascii::ToLowerCopy(domain));
  }
  return Succeeded();
}

platform::ControlReply ListDomains(const store::TrustedDomainList& domains,
                                   const ParsedCommand& command) {
  nlohmann::json list = nlohmann::json::array();
  std::string text;
  for (const std::string& domain : domains.Domains()) {
    list.push_back(JsonText(domain));
    text += domain + "\n";
  }
  return Succeeded(command.Has("--json") ? JsonOutput(list) : text);
}

}  // namespace

platform::ControlReply RunDomainCommand(CommandContext& context, const ParsedCommand& command) {
  store::TrustedDomainList& domains = *context.stores.trusted_domains;
  switch (command.id) {
    case CommandId::kDomainAdd:
      return AddDomains(domains, command);
    case CommandId::kDomainRemove:
      return RemoveDomains(domains, command);
    default:
      return ListDomains(domains, command);
  }
}

}  // namespace pelrion::app
