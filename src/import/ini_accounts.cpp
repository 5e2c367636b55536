#include "import/ini_accounts.h"

#include <string>

#include "import/ini_line.h"
#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

bool Is(std::string_view name, std::string_view wanted) {
  return ascii::EqualsIgnoreCase(name, wanted);
}

bool IsOperaAccountSection(std::string_view name) {
  constexpr std::string_view kPrefix = "Account";
  return name.size() > kPrefix.size() && Is(name.substr(0, kPrefix.size()), kPrefix) &&
         name[kPrefix.size()] >= '0' && name[kPrefix.size()] <= '9';
}

struct OperaSection {
  MailCandidate candidate;
  bool pop = false;
  std::optional<std::uint32_t> pop3_port, smtp_port;
};

void TakeOperaKey(const IniLine& line, OperaSection& section) {
  MailCandidate& c = section.candidate;
  if (Is(line.name, "Incoming Protocol"))
    section.pop = line.value == "POP";
  else if (Is(line.name, "Incoming Servername"))
    c.pop3_host = TextOrEmpty(line.value);
  else if (Is(line.name, "Incoming Username"))
    c.pop3_user = TextOrEmpty(line.value);
  else if (Is(line.name, "Outgoing Servername"))
    c.smtp_host = TextOrEmpty(line.value);
  else if (Is(line.name, "Real Name"))
    c.display_name = TextOrEmpty(line.value);
  else if (Is(line.name, "Email"))
    c.email_address = TextOrEmpty(line.value);
  else if (Is(line.name, "Account Name"))
    c.friendly_name = TextOrEmpty(line.value);
  else if (Is(line.name, "Incoming Port"))
    section.pop3_port = ParsePortText(line.value);
  else if (Is(line.name, "Outgoing Port"))
    section.smtp_port = ParsePortText(line.value);
}

}  // namespace

std::vector<MailCandidate> ReadEudoraAccounts(std::string_view ini_text) {
  MailCandidate candidate;
  bool in_settings = false;
  bool seen_settings = false;
  bool uses_pop = false;
  for (const IniLine& line : ClassifyIniLines(ini_text)) {
    if (line.kind == IniLineKind::kSection) {
      // Only the first Settings section counts: reading stops where it ends.
      if (seen_settings) break;
      in_settings = Is(line.name, "Settings");
      seen_settings = in_settings;
      continue;
    }
    if (!in_settings || line.kind != IniLineKind::kKeyValue) continue;
    if (Is(line.name, "UsesPOP"))
      uses_pop = line.value == "1";
    else if (Is(line.name, "PopServer"))
      candidate.pop3_host = TextOrEmpty(line.value);
    else if (Is(line.name, "LoginName"))
      candidate.pop3_user = TextOrEmpty(line.value);
    else if (Is(line.name, "SMTPServer"))
      candidate.smtp_host = TextOrEmpty(line.value);
    else if (Is(line.name, "RealName"))
      candidate.display_name = TextOrEmpty(line.value);
    else if (Is(line.name, "ReturnAddress"))
      candidate.email_address = TextOrEmpty(line.value);
  }
  if (!uses_pop) return {};
  // The account is known by its address.
  candidate.friendly_name.clear();
  if (!CompleteCandidate(candidate)) return {};
  return {candidate};
}

std::vector<MailCandidate> ReadOperaAccounts(std::string_view ini_text) {
  std::vector<MailCandidate> candidates;
  std::optional<OperaSection> section;
  auto finish = [&] {
    if (!section || !section->pop) return;
    MailCandidate& c = section->candidate;
    c.pop3_port = PortOr(section->pop3_port, 110);
    c.smtp_port = PortOr(section->smtp_port, 25);
    if (CompleteCandidate(c)) candidates.push_back(std::move(c));
  };
  for (const IniLine& line : ClassifyIniLines(ini_text)) {
    if (line.kind == IniLineKind::kSection) {
      finish();
      section.reset();
      if (IsOperaAccountSection(line.name)) section.emplace();
    } else if (line.kind == IniLineKind::kKeyValue && section) {
      TakeOperaKey(line, *section);
    }
  }
  finish();
  return candidates;
}

}  // namespace pelrion::import
