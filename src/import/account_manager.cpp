#include "import/account_manager.h"

namespace pelrion::import {
namespace {

constexpr std::string_view kInternetAccounts =
    "Software\\Microsoft\\Internet Account Manager\\Accounts";

// A string value of 1 to 255 bytes.
std::optional<std::string> StringValue(const RegistryView& user, const std::string& key,
                                       std::string_view name) {
  const auto value = user.Value(key, name);
  if (!value || value->type != RegistryValueType::kString) return std::nullopt;
  return UsableText(value->text);
}

std::uint32_t PortValue(const RegistryView& user, const std::string& key, std::string_view name,
                        std::uint32_t fallback) {
  const auto value = user.Value(key, name);
  if (!value || value->type != RegistryValueType::kDword) return fallback;
  return PortOr(value->number, fallback);
}

std::optional<MailCandidate> ReadAccount(const RegistryView& user, const std::string& key) {
  MailCandidate c;
  const auto name = StringValue(user, key, "Account Name");
  const auto pop3 = StringValue(user, key, "POP3 Server");
  const auto login = StringValue(user, key, "POP3 User Name");
  const auto smtp = StringValue(user, key, "SMTP Server");
  const auto email = StringValue(user, key, "SMTP Email Address");
  const auto display = StringValue(user, key, "SMTP Display Name");
  if (!name || !pop3 || !login || !smtp || !email || !display) return std::nullopt;
  c.friendly_name = *name;
  c.pop3_host = *pop3;
  c.pop3_user = *login;
  c.smtp_host = *smtp;
  c.email_address = *email;
  c.display_name = *display;
  c.pop3_port = PortValue(user, key, "POP3 Port", 110);
  c.smtp_port = PortValue(user, key, "SMTP Port", 25);
  if (!CompleteCandidate(c)) return std::nullopt;
  return c;
}

}  // namespace

std::vector<std::string> AccountRoots(AccountManager manager, const RegistryView& user) {
  switch (manager) {
    case AccountManager::kOffice8:
      return {"Software\\Microsoft\\Office\\8.0\\Outlook\\OMI Account Manager\\Accounts"};
    case AccountManager::kOffice:
      return {"Software\\Microsoft\\Office\\Outlook\\OMI Account Manager\\Accounts"};
    case AccountManager::kInternetAccount:
      break;
  }
  std::vector<std::string> roots{std::string(kInternetAccounts)};
  for (const std::string& identity : user.Subkeys("Identities")) {
    roots.push_back("Identities\\" + identity + "\\" + std::string(kInternetAccounts));
  }
  return roots;
}

std::vector<MailCandidate> ReadAccountManagerAccounts(AccountManager manager,
                                                      const RegistryView& user) {
  std::vector<MailCandidate> candidates;
  for (const std::string& root : AccountRoots(manager, user)) {
    for (const std::string& account : user.Subkeys(root)) {
      if (auto c = ReadAccount(user, root + "\\" + account)) candidates.push_back(std::move(*c));
    }
  }
  return candidates;
}

}  // namespace pelrion::import
