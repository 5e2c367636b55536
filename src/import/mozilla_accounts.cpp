#include "import/mozilla_accounts.h"

#include <string>

#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

// The trimmed, non-empty entries of a comma-separated list.
std::vector<std::string> ListEntries(std::string_view list) {
  std::vector<std::string> entries;
  while (true) {
    const auto comma = list.find(',');
    const std::string_view entry = ascii::Trim(list.substr(0, comma));
    if (!entry.empty()) entries.emplace_back(entry);
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return entries;
}

std::string Pref(std::string_view pattern, std::string_view id) {
  std::string name(pattern);
  name.replace(name.find("%s"), 2, id);
  return name;
}

class MozillaReader {
 public:
  explicit MozillaReader(const PreferenceFile& prefs) : prefs_(prefs) {}

  std::vector<MailCandidate> Read() {
    std::vector<MailCandidate> candidates;
    const auto accounts = prefs_.Find("mail.accountmanager.accounts");
    if (!accounts) return candidates;
    for (const std::string& account : ListEntries(*accounts)) {
      if (auto candidate = ReadAccount(account)) candidates.push_back(std::move(*candidate));
    }
    return candidates;
  }

 private:
  std::optional<std::string_view> Find(std::string_view pattern, std::string_view id,
                                       NameCase name_case = NameCase::kIgnore) const {
    return prefs_.Find(Pref(pattern, id), name_case);
  }

  // The identity's SMTP server, else the default one, else the first listed one, which then
  // stands as the default for the accounts after it.
  std::optional<std::string> SmtpServerId(std::string_view identity) {
    if (const auto own = Find("mail.identity.%s.smtpServer", identity); own && !own->empty()) {
      return std::string(*own);
    }
    if (default_smtp_) return default_smtp_;
    if (const auto fallback = prefs_.Find("mail.smtp.defaultserver")) {
      return std::string(*fallback);
    }
    const auto listed = prefs_.Find("mail.smtpservers");
    if (!listed) return std::nullopt;
    const std::vector<std::string> servers = ListEntries(*listed);
    if (servers.empty()) return std::nullopt;
    default_smtp_ = servers.front();
    return default_smtp_;
  }

  std::optional<MailCandidate> ReadAccount(std::string_view account) {
    const auto server = Find("mail.account.%s.server", account, NameCase::kExact);
    if (!server) return std::nullopt;
    const auto type = Find("mail.server.%s.type", *server);
    if (!type || !ascii::EqualsIgnoreCase(*type, "pop3")) return std::nullopt;
    const std::string identity(
        Find("mail.account.%s.identities", account, NameCase::kExact).value_or(""));
    const auto smtp = SmtpServerId(identity);
    if (!smtp) return std::nullopt;

    MailCandidate candidate;
    const auto email = UsableText(Find("mail.identity.%s.useremail", identity));
    const auto pop3 = UsableText(Find("mail.server.%s.hostname", *server));
    const auto user = UsableText(Find("mail.server.%s.userName", *server));
    const auto smtp_host = UsableText(Find("mail.smtpserver.%s.hostname", *smtp, NameCase::kExact));
    if (!email || !pop3 || !user || !smtp_host) return std::nullopt;
    candidate.email_address = *email;
    candidate.pop3_host = *pop3;
    candidate.pop3_user = *user;
    candidate.smtp_host = *smtp_host;
    candidate.friendly_name = TextOrEmpty(Find("mail.server.%s.name", *server));
    candidate.display_name = TextOrEmpty(Find("mail.identity.%s.fullName", identity));
    candidate.pop3_port = Port(Find("mail.server.%s.port", *server), 110);
    candidate.smtp_port = Port(Find("mail.smtpserver.%s.port", *smtp), 25);
    if (!CompleteCandidate(candidate)) return std::nullopt;
    return candidate;
  }

  static std::uint32_t Port(std::optional<std::string_view> text, std::uint32_t fallback) {
    return PortOr(text ? ParsePortText(ascii::Trim(*text)) : std::nullopt, fallback);
  }

  const PreferenceFile& prefs_;
  std::optional<std::string> default_smtp_;
};

}  // namespace

std::vector<MailCandidate> ReadMozillaAccounts(const PreferenceFile& prefs) {
  return MozillaReader(prefs).Read();
}

std::vector<MailCandidate> ReadOldStyleAccount(const PreferenceFile& prefs) {
  if (prefs.Find("mail.server_type") == std::optional<std::string_view>("1")) return {};
  MailCandidate candidate;
  const auto pop3 = UsableText(prefs.Find("network.hosts.pop_server"));
  const auto user = UsableText(prefs.Find("mail.pop_name"));
  const auto smtp = UsableText(prefs.Find("network.hosts.smtp_server"));
  const auto email = UsableText(prefs.Find("mail.identity.useremail"));
  if (!pop3 || !user || !smtp || !email) return {};
  candidate.pop3_host = *pop3;
  candidate.pop3_user = *user;
  candidate.smtp_host = *smtp;
  candidate.email_address = *email;
  candidate.display_name = TextOrEmpty(prefs.Find("mail.identity.username"));
  if (!CompleteCandidate(candidate)) return {};
  return {candidate};
}

}  // namespace pelrion::import
