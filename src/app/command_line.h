// The words of a control command (`pelrion account list --json`, ...): which commands exist,
// their options and arguments, and the one-line usage of each. The client parses the words
// before it connects, so bad arguments are answered (exit 2) even when no program runs; the
// running program parses them again, trusting nothing that came over the socket.
#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pelrion::app {

inline constexpr int kUsageExitCode = 2;

enum class CommandId {
  kAccountAdd, kAccountList, kAccountRemove,
  kContactAdd, kContactList, kContactRemove,
  kDomainAdd, kDomainRemove, kDomainList,
  kMessages, kApprove, kBlacklist, kDelete, kMove, kEmptyTrash,
  kCheck, kOffline, kStatus, kErrors,
  kGet, kSet,
  kListenerList, kListenerStart, kListenerSet,
  kImportAddresses, kImportClients, kImportAccounts, kImportAccount,
  kStop,
};

struct ParsedCommand {
  CommandId id = CommandId::kStatus;
  // Each option given ("--json"), with its value ("" for a switch).
  std::map<std::string, std::string, std::less<>> options;
  std::vector<std::string> args;    // the words that are not options, in order
  // The args as ids for the commands that take ids; check's --account id.
  std::vector<std::uint32_t> ids;

  bool Has(std::string_view option) const { return options.find(option) != options.end(); }
  // The option's value, or fallback when it was not given.
  std::string_view Value(std::string_view option, std::string_view fallback = {}) const;
};

// The reason a command was refused before it ran: "usage: pelrion ..." or what is wrong.
struct CommandUsageError {
  std::string text;  // one line, without the line end
};

// True when the --from of import addresses names the address book rather than a file.
bool IsAddressBookWord(std::string_view from);

// True when word starts a control command (the program then runs as a client).
bool IsCommandWord(std::string_view word);

// Parses the words after the program name. Words that are not UTF-8 are refused.
std::variant<ParsedCommand, CommandUsageError> ParseCommand(const std::vector<std::string>& words);

// How many lines of standard input the command reads: account add reads the POP3 password,
// and the SMTP password after it when --smtp-user is given; import account reads the
// password of the account it creates.
int InputLineCount(const ParsedCommand& command);

// What the client sends: the words (file paths made absolute against working_folder) and
// the number of standard-input lines to read.
struct ClientCommand {
  std::vector<std::string> words;
  int input_lines = 0;
};
std::variant<ClientCommand, CommandUsageError> PrepareClientCommand(
    const std::vector<std::string>& words, std::string_view working_folder);

// Reads up to `lines` lines from in, each with its line end, as the request's input text.
std::string ReadCommandInput(std::istream& in, int lines);

// The lines of the input text without their line ends ("\n" or "\r\n").
std::vector<std::string> InputLines(std::string_view input);

// Every command with one line each, for --help.
std::string CommandUsageText();

}  // namespace pelrion::app
