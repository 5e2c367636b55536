#include "app/command_line.h"

#include <charconv>
#include <functional>
#include <optional>
#include <span>

#include "core/preferences.h"
#include "mailformat/utf8_text.h"

namespace pelrion::app {
namespace {

struct OptionSpec {
  std::string_view name;
  bool takes_value = false;
  std::string_view choices = {};  // "a|b|c", or empty for any value
};

enum class Args {
  kNone,       // no arguments
  kIds,        // one or more ids
  kId,         // exactly one id
  kWords,      // one or more words (addresses, domains)
  kOnOff,      // on or off
  kName,       // a preference name
  kNameValue,  // a preference name and its value
};

struct CommandSpec {
  CommandId id;
  std::string_view word1;
  std::string_view word2;  // empty for one-word commands
  std::string_view usage;
  std::vector<OptionSpec> options;
  Args args = Args::kNone;
  // The rules a table cannot say; an empty text means the command is well-formed.
  std::function<std::string_view(const ParsedCommand&)> extra = {};
};

constexpr std::string_view kListChoices = "trusted|blacklist";
constexpr std::string_view kFolderChoices = "inbox|quarantine|junk|trash";

std::string_view AccountAddRules(const ParsedCommand& command) {
  for (std::string_view required :
       {"--name", "--display-name", "--email", "--pop3", "--pop3-user", "--smtp"}) {
    if (!command.Has(required)) return "missing option";
  }
  if (command.Has("--smtp-user") && !command.Has("--smtp-auth")) {
    return "--smtp-user needs --smtp-auth";
  }
  return {};
}

std::string_view RequireTo(const ParsedCommand& command) {
  return command.Has("--to") ? std::string_view() : "missing option --to";
}

std::string_view RequireFrom(const ParsedCommand& command) {
  return command.Value("--from").empty() ? "missing option --from" : std::string_view();
}

std::string_view KindAndIndex(const ParsedCommand& command) {
  return command.ids.size() == 2 ? std::string_view() : "expected a kind and an index";
}

std::string_view ListenerSetRules(const ParsedCommand& command) {
  return command.options.empty() ? "nothing to set" : std::string_view();
}

const std::vector<CommandSpec>& Specs() {
  static const std::vector<CommandSpec> specs = {
      {CommandId::kAccountAdd, "account", "add",
       "account add --name FRIENDLY --display-name NAME --email ADDRESS --pop3 HOST[:PORT] "
       "--pop3-user USER --smtp HOST[:PORT] [--smtp-auth [--smtp-user USER]] [--exclude]  "
       "(passwords on standard input)",
       {{"--name", true}, {"--display-name", true}, {"--email", true}, {"--pop3", true},
        {"--pop3-user", true}, {"--smtp", true}, {"--smtp-auth"}, {"--smtp-user", true},
        {"--exclude"}},
       Args::kNone, AccountAddRules},
      {CommandId::kAccountList, "account", "list", "account list [--json]", {{"--json"}}},
      {CommandId::kAccountRemove, "account", "remove", "account remove ID", {}, Args::kId},
      {CommandId::kContactAdd, "contact", "add",
       "contact add [--list trusted|blacklist] [--name NAME] ADDRESS...",
       {{"--list", true, kListChoices}, {"--name", true}}, Args::kWords},
      {CommandId::kContactList, "contact", "list",
       "contact list [--list trusted|blacklist] [--json]",
       {{"--list", true, kListChoices}, {"--json"}}},
      {CommandId::kContactRemove, "contact", "remove",
       "contact remove [--list trusted|blacklist] ADDRESS...",
       {{"--list", true, kListChoices}}, Args::kWords},
      {CommandId::kDomainAdd, "domain", "add", "domain add DOMAIN...", {}, Args::kWords},
      {CommandId::kDomainRemove, "domain", "remove", "domain remove DOMAIN...", {},
       Args::kWords},
      {CommandId::kDomainList, "domain", "list", "domain list [--json]", {{"--json"}}},
      {CommandId::kMessages, "messages", "",
       "messages [--folder inbox|quarantine|junk|trash] [--json]",
       {{"--folder", true, kFolderChoices}, {"--json"}}},
      {CommandId::kApprove, "approve", "", "approve ID...", {}, Args::kIds},
      {CommandId::kBlacklist, "blacklist", "", "blacklist ID...", {}, Args::kIds},
      {CommandId::kDelete, "delete", "", "delete ID...", {}, Args::kIds},
      {CommandId::kMove, "move", "", "move --to inbox|quarantine|junk|trash ID...",
       {{"--to", true, kFolderChoices}}, Args::kIds, RequireTo},
      {CommandId::kEmptyTrash, "empty-trash", "", "empty-trash", {}},
      {CommandId::kCheck, "check", "", "check [--account ID] [--wait]",
       {{"--account", true}, {"--wait"}}},
      {CommandId::kOffline, "offline", "", "offline on|off", {}, Args::kOnOff},
      {CommandId::kStatus, "status", "", "status [--json]", {{"--json"}}},
      {CommandId::kErrors, "errors", "", "errors [--clear]", {{"--clear"}}},
      {CommandId::kGet, "get", "", "get NAME", {}, Args::kName},
      {CommandId::kSet, "set", "", "set NAME VALUE", {}, Args::kNameValue},
      {CommandId::kListenerList, "listener", "list", "listener list [--json]", {{"--json"}}},
      {CommandId::kListenerStart, "listener", "start", "listener start ID", {}, Args::kId},
      {CommandId::kListenerSet, "listener", "set",
       "listener set ID [--address A|all] [--port P] [--tls auto|starttls|implicit|off] "
       "[--fingerprint SHA256HEX]",
       {{"--address", true}, {"--port", true}, {"--tls", true, "auto|starttls|implicit|off"},
        {"--fingerprint", true}},
       Args::kId, ListenerSetRules},
      {CommandId::kImportAddresses, "import", "addresses",
       "import addresses --from FILE.txt|FILE.vcf|thunderbird [--list trusted|blacklist]",
       {{"--from", true}, {"--list", true, kListChoices}}, Args::kNone, RequireFrom},
      {CommandId::kImportClients, "import", "clients", "import clients [--json]", {{"--json"}}},
      {CommandId::kImportAccounts, "import", "accounts", "import accounts KIND [--json]",
       {{"--json"}}, Args::kId},
      {CommandId::kImportAccount, "import", "account",
       "import account KIND INDEX  (password on standard input)", {}, Args::kIds, KindAndIndex},
      {CommandId::kStop, "stop", "", "stop", {}},
  };
  return specs;
}

bool OneOf(std::string_view value, std::string_view choices) {
  while (!choices.empty()) {
    const auto bar = choices.find('|');
    if (choices.substr(0, bar) == value) return true;
    if (bar == std::string_view::npos) break;
    choices.remove_prefix(bar + 1);
  }
  return false;
}

const CommandSpec* FindSpec(const std::vector<std::string>& words) {
  if (words.empty()) return nullptr;
  for (const CommandSpec& spec : Specs()) {
    if (spec.word1 != words[0]) continue;
    if (spec.word2.empty() || (words.size() > 1 && spec.word2 == words[1])) return &spec;
  }
  return nullptr;
}

bool IsPreferenceName(std::string_view name) {
  for (const auto& key : core::NumberPreferences()) {
    if (key.name == name) return true;
  }
  for (const auto& key : core::FileNamePreferences()) {
    if (key.name == name) return true;
  }
  return false;
}

bool IsFileNamePreference(std::string_view name) {
  for (const auto& key : core::FileNamePreferences()) {
    if (key.name == name) return true;
  }
  return false;
}

std::optional<std::uint32_t> ParseId(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

CommandUsageError Usage(const CommandSpec& spec) {
  return {"usage: pelrion " + std::string(spec.usage)};
}

// The arguments' count and form; an empty text when they fit.
std::string_view CheckArgs(const CommandSpec& spec, ParsedCommand& command) {
  const std::size_t count = command.args.size();
  switch (spec.args) {
    case Args::kNone:
      return count == 0 ? "" : "unexpected argument";
    case Args::kWords:
      return count > 0 ? "" : "missing argument";
    case Args::kOnOff:
      return count == 1 && OneOf(command.args[0], "on|off") ? "" : "expected on or off";
    case Args::kName:
      if (count != 1) return "expected one name";
      return IsPreferenceName(command.args[0]) ? "" : "unknown setting";
    case Args::kNameValue:
      if (count != 2) return "expected a name and a value";
      if (!IsPreferenceName(command.args[0])) return "unknown setting";
      if (IsFileNamePreference(command.args[0])) {
        return command.args[1].empty() ? "empty file name" : "";
      }
      return ParseId(command.args[1]) ? "" : "the value must be a number";
    case Args::kId:
    case Args::kIds:
      if (count == 0 || (spec.args == Args::kId && count != 1)) return "wrong number of ids";
      for (const std::string& arg : command.args) {
        const auto id = ParseId(arg);
        if (!id) return "an id is a decimal number";
        command.ids.push_back(*id);
      }
      return "";
  }
  return "";
}

}  // namespace

bool IsAddressBookWord(std::string_view from) { return from == "thunderbird"; }

std::string_view ParsedCommand::Value(std::string_view option, std::string_view fallback) const {
  const auto found = options.find(option);
  return found == options.end() ? fallback : std::string_view(found->second);
}

bool IsCommandWord(std::string_view word) {
  for (const CommandSpec& spec : Specs()) {
    if (spec.word1 == word) return true;
  }
  return false;
}

std::variant<ParsedCommand, CommandUsageError> ParseCommand(
    const std::vector<std::string>& words) {
  for (const std::string& word : words) {
    if (!mailformat::IsValidUtf8(word)) {
      return CommandUsageError{"pelrion: arguments must be UTF-8 text"};
    }
  }
  const CommandSpec* spec = FindSpec(words);
  if (spec == nullptr) {
    const std::string what = words.empty() ? std::string("no command")
                                           : "unknown command '" + words[0] + "'";
    return CommandUsageError{"pelrion: " + what + "; see pelrion --help"};
  }
  ParsedCommand command;
  command.id = spec->id;
  for (std::size_t i = spec->word2.empty() ? 1 : 2; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (!word.starts_with("--")) {
      command.args.push_back(word);
      continue;
    }
    const OptionSpec* option = nullptr;
    for (const OptionSpec& candidate : spec->options) {
      if (candidate.name == word) option = &candidate;
    }
    if (option == nullptr || command.Has(word)) return Usage(*spec);
    std::string value;
    if (option->takes_value) {
      if (i + 1 >= words.size()) return Usage(*spec);
      value = words[++i];
      if (!option->choices.empty() && !OneOf(value, option->choices)) return Usage(*spec);
    }
    command.options.emplace(word, std::move(value));
  }
  if (!CheckArgs(*spec, command).empty()) return Usage(*spec);
  if (spec->extra && !spec->extra(command).empty()) return Usage(*spec);
  if (command.Has("--account")) {
    const auto account = ParseId(command.Value("--account"));
    if (!account) return Usage(*spec);
    command.ids.push_back(*account);
  }
  return command;
}

int InputLineCount(const ParsedCommand& command) {
  if (command.id == CommandId::kImportAccount) return 1;
  if (command.id != CommandId::kAccountAdd) return 0;
  return command.Has("--smtp-user") ? 2 : 1;
}

std::variant<ClientCommand, CommandUsageError> PrepareClientCommand(
    const std::vector<std::string>& words, std::string_view working_folder) {
  auto parsed = ParseCommand(words);
  if (auto* error = std::get_if<CommandUsageError>(&parsed)) return *error;
  const auto& command = std::get<ParsedCommand>(parsed);
  ClientCommand client{words, InputLineCount(command)};
  // A template file name or an address file is opened by the running program, whose working
  // folder is not ours.
  auto absolute = [&](const std::string& name) {
    if (name.starts_with('/')) return name;
    std::string path(working_folder);
    if (!path.ends_with('/')) path.push_back('/');
    return path + name;
  };
  if (command.id == CommandId::kSet && IsFileNamePreference(command.args[0])) {
    client.words.back() = absolute(command.args[1]);
  }
  if (command.id == CommandId::kImportAddresses && !IsAddressBookWord(command.Value("--from"))) {
    for (std::size_t i = 0; i + 1 < client.words.size(); ++i) {
      if (client.words[i] == "--from") client.words[i + 1] = absolute(client.words[i + 1]);
    }
  }
  return client;
}

std::string ReadCommandInput(std::istream& in, int lines) {
  std::string input;
  std::string line;
  for (int i = 0; i < lines && std::getline(in, line); ++i) {
    input += line;
    input.push_back('\n');
  }
  return input;
}

std::vector<std::string> InputLines(std::string_view input) {
  std::vector<std::string> lines;
  while (!input.empty()) {
    const auto end = input.find('\n');
    std::string_view line = input.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    input.remove_prefix(end + 1);
  }
  return lines;
}

std::string CommandUsageText() {
  std::string text;
  for (const CommandSpec& spec : Specs()) {
    text += "  pelrion ";
    text += spec.usage;
    text += '\n';
  }
  return text;
}

}  // namespace pelrion::app
