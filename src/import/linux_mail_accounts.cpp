#include "import/linux_mail_accounts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "import/ini_line.h"
#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

// section -> key -> value, names lower-cased; the first value of a key counts.
using KeyFile = std::map<std::string, std::map<std::string, std::string>>;

KeyFile ParseKeyFile(std::string_view text) {
  KeyFile file;
  std::string section;
  for (const IniLine& line : ClassifyIniLines(text)) {
    if (line.kind == IniLineKind::kSection) section = ascii::ToLowerCopy(line.name);
    if (line.kind == IniLineKind::kKeyValue) {
      file[section].emplace(ascii::ToLowerCopy(line.name), line.value);
    }
  }
  return file;
}

std::optional<std::string_view> Get(const KeyFile& file, std::string_view section,
                                    std::string_view key) {
  const auto s = file.find(std::string(section));
  if (s == file.end()) return std::nullopt;
  const auto k = s->second.find(std::string(key));
  if (k == s->second.end()) return std::nullopt;
  return k->second;
}

std::uint32_t KeyPort(const KeyFile& file, std::string_view section, std::string_view key,
                      std::uint32_t fallback) {
  const auto text = Get(file, section, key);
  return PortOr(text ? ParsePortText(*text) : std::nullopt, fallback);
}

bool IsAccountrcSection(std::string_view name) {
  constexpr std::string_view kPrefix = "Account:";
  return name.size() >= kPrefix.size() &&
         ascii::EqualsIgnoreCase(name.substr(0, kPrefix.size()), kPrefix);
}

MailCandidate AccountrcCandidate(const std::map<std::string, std::string>& keys) {
  auto get = [&](std::string_view key) -> std::optional<std::string_view> {
    const auto found = keys.find(std::string(key));
    if (found == keys.end()) return std::nullopt;
    return found->second;
  };
  auto port = [&](std::string_view set, std::string_view key, std::uint32_t fallback) {
    if (get(set) != std::optional<std::string_view>("1")) return fallback;
    const auto text = get(key);
    return PortOr(text ? ParsePortText(*text) : std::nullopt, fallback);
  };
  MailCandidate c;
  c.friendly_name = TextOrEmpty(get("account_name"));
  c.display_name = TextOrEmpty(get("name"));
  c.email_address = TextOrEmpty(get("address"));
  c.pop3_host = TextOrEmpty(get("receive_server"));
  c.pop3_user = TextOrEmpty(get("user_id"));
  c.smtp_host = TextOrEmpty(get("smtp_server"));
  c.pop3_port = port("set_popport", "pop_port", 110);
  c.smtp_port = port("set_smtpport", "smtp_port", 25);
  return c;
}

}  // namespace

std::vector<MailCandidate> ReadEvolutionAccounts(const std::vector<EvolutionSource>& sources) {
  std::map<std::string, KeyFile> by_uid;
  for (const EvolutionSource& source : sources)
    by_uid.emplace(source.uid, ParseKeyFile(source.text));
  auto find = [&](std::optional<std::string_view> uid) -> const KeyFile* {
    if (!uid) return nullptr;
    const auto found = by_uid.find(std::string(*uid));
    return found == by_uid.end() ? nullptr : &found->second;
  };
  std::vector<MailCandidate> candidates;
  for (const EvolutionSource& source : sources) {
    const KeyFile& account = by_uid.at(source.uid);
    const auto backend = Get(account, "mail account", "backendname");
    if (!backend || !ascii::EqualsIgnoreCase(*backend, "pop")) continue;
    const KeyFile* identity = find(Get(account, "mail account", "identityuid"));
    if (identity == nullptr) continue;
    const KeyFile* transport = find(Get(*identity, "mail submission", "transportuid"));
    if (transport == nullptr) continue;
    const auto transport_backend = Get(*transport, "mail transport", "backendname");
    if (!transport_backend || !ascii::EqualsIgnoreCase(*transport_backend, "smtp")) continue;
    MailCandidate c;
    c.friendly_name = TextOrEmpty(Get(account, "data source", "displayname"));
    c.pop3_host = TextOrEmpty(Get(account, "authentication", "host"));
    c.pop3_user = TextOrEmpty(Get(account, "authentication", "user"));
    c.pop3_port = KeyPort(account, "authentication", "port", 110);
    c.email_address = TextOrEmpty(Get(*identity, "mail identity", "address"));
    c.display_name = TextOrEmpty(Get(*identity, "mail identity", "name"));
    c.smtp_host = TextOrEmpty(Get(*transport, "authentication", "host"));
    c.smtp_port = KeyPort(*transport, "authentication", "port", 25);
    if (CompleteCandidate(c)) candidates.push_back(std::move(c));
  }
  return candidates;
}

std::vector<EvolutionSource> ReadEvolutionSources(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<EvolutionSource> sources;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension() != ".source") continue;
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::ostringstream text;
    text << in.rdbuf();
    sources.push_back({path.stem().string(), text.str()});
  }
  std::sort(sources.begin(), sources.end(),
            [](const EvolutionSource& a, const EvolutionSource& b) { return a.uid < b.uid; });
  return sources;
}

std::vector<MailCandidate> ReadAccountrcAccounts(std::string_view accountrc_text) {
  std::vector<MailCandidate> candidates;
  std::optional<std::map<std::string, std::string>> keys;
  auto finish = [&] {
    if (!keys) return;
    const auto protocol = keys->find("protocol");
    const bool pop =
        protocol != keys->end() && (protocol->second == "0" || protocol->second == "1");
    MailCandidate c = AccountrcCandidate(*keys);
    if (pop && CompleteCandidate(c)) candidates.push_back(std::move(c));
    keys.reset();
  };
  for (const IniLine& line : ClassifyIniLines(accountrc_text)) {
    if (line.kind == IniLineKind::kSection) {
      finish();
      if (IsAccountrcSection(line.name)) keys.emplace();
    } else if (line.kind == IniLineKind::kKeyValue && keys) {
      keys->emplace(ascii::ToLowerCopy(line.name), line.value);
    }
  }
  finish();
  return candidates;
}

}  // namespace pelrion::import
