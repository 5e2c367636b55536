// The command words as the client checks them before it connects and the program checks them
// again: bad arguments give the command's usage line, the passwords' input lines are known,
// and template file names travel as absolute paths.
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_line.h"

namespace pelrion::app {
namespace {

using Words = std::vector<std::string>;

const Words kAccountAdd = {"account", "add", "--name", "Home", "--display-name", "Jane",
                           "--email", "jane@example.org", "--pop3", "pop.example.org",
                           "--pop3-user", "jane", "--smtp", "smtp.example.org"};

Words With(Words words, const Words& more) {
  words.insert(words.end(), more.begin(), more.end());
  return words;
}

Words Without(Words words, const std::string& option) {
  for (auto it = words.begin(); it != words.end(); ++it) {
    if (*it == option) {
      words.erase(it, it + 2);
      break;
    }
  }
  return words;
}

struct BadCase {
  std::string label;
  Words words;
  std::string usage;  // the usage line names this command; empty: a general refusal
};

class CommandLineBadArgumentsTest : public testing::TestWithParam<BadCase> {};

TEST_P(CommandLineBadArgumentsTest, RefusedWithOneUsageLine) {
  const BadCase& c = GetParam();
  const auto parsed = ParseCommand(c.words);
  ASSERT_TRUE(std::holds_alternative<CommandUsageError>(parsed));
  const std::string& text = std::get<CommandUsageError>(parsed).text;
  EXPECT_EQ(text.find('\n'), std::string::npos) << text;
  if (!c.usage.empty()) {
    EXPECT_EQ(text.rfind("usage: pelrion " + c.usage, 0), 0u) << text;
  }
  // The client refuses the same words before it connects.
  EXPECT_TRUE(
      std::holds_alternative<CommandUsageError>(PrepareClientCommand(c.words, "/home/u")));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineBadArgumentsTest,
    testing::Values(
        BadCase{"nothing", {}, ""}, BadCase{"unknown_word", {"frobnicate"}, ""},
        BadCase{"unknown_sub_word", {"account", "rename"}, ""},
        BadCase{"not_utf8", {"contact", "add", "caf\xE9@example.org"}, ""},
        BadCase{"overlong_utf8", {"domain", "add", "\xC0\xAF"}, ""},
        BadCase{"account_add_missing_name", Without(kAccountAdd, "--name"), "account add"},
        BadCase{"account_add_missing_smtp", Without(kAccountAdd, "--smtp"), "account add"},
        BadCase{"smtp_user_without_auth", With(kAccountAdd, {"--smtp-user", "j"}),
                "account add"},
        BadCase{"option_twice", With(kAccountAdd, {"--exclude", "--exclude"}), "account add"},
        BadCase{"value_missing", {"account", "add", "--name"}, "account add"},
        BadCase{"stray_argument", With(kAccountAdd, {"extra"}), "account add"},
        BadCase{"list_with_argument", {"account", "list", "1"}, "account list"},
        BadCase{"remove_without_id", {"account", "remove"}, "account remove"},
        BadCase{"remove_two_ids", {"account", "remove", "1", "2"}, "account remove"},
        BadCase{"id_not_a_number", {"approve", "7x"}, "approve"},
        BadCase{"id_negative", {"delete", "-3"}, "delete"},
        BadCase{"id_too_large", {"blacklist", "4294967296"}, "blacklist"},
        BadCase{"approve_nothing", {"approve"}, "approve"},
        BadCase{"move_without_to", {"move", "1"}, "move"},
        BadCase{"import_without_from", {"import", "addresses"}, "import addresses"},
        BadCase{"import_empty_from", {"import", "addresses", "--from", ""}, "import addresses"},
        BadCase{"import_unknown_list", {"import", "addresses", "--from", "a.txt", "--list", "grey"},
                "import addresses"},
        BadCase{"import_stray_argument", {"import", "addresses", "--from", "a.txt", "b.txt"},
                "import addresses"},
        BadCase{"clients_with_argument", {"import", "clients", "5"}, "import clients"},
        BadCase{"accounts_without_kind", {"import", "accounts"}, "import accounts"},
        BadCase{"accounts_kind_word", {"import", "accounts", "thunderbird"}, "import accounts"},
        BadCase{"account_without_index", {"import", "account", "5"}, "import account"},
        BadCase{"account_three_numbers", {"import", "account", "5", "0", "1"}, "import account"},
        BadCase{"account_json", {"import", "account", "5", "0", "--json"}, "import account"},
        BadCase{"move_to_nowhere", {"move", "--to", "outbox", "1"}, "move"},
        BadCase{"folder_unknown", {"messages", "--folder", "sent"}, "messages"},
        BadCase{"contact_list_unknown", {"contact", "add", "--list", "grey", "a@b"},
                "contact add"},
        BadCase{"contact_without_address", {"contact", "remove"}, "contact remove"},
        BadCase{"domain_without_domain", {"domain", "add"}, "domain add"},
        BadCase{"unknown_option", {"domain", "list", "--xml"}, "domain list"},
        BadCase{"offline_maybe", {"offline", "maybe"}, "offline"},
        BadCase{"offline_nothing", {"offline"}, "offline"},
        BadCase{"check_account_word", {"check", "--account", "home"}, "check"},
        BadCase{"get_unknown_name", {"get", "colour"}, "get"},
        BadCase{"set_without_value", {"set", "expire"}, "set"},
        BadCase{"set_number_text", {"set", "expire", "ten"}, "set"},
        BadCase{"set_empty_file_name", {"set", "fn_txtR", ""}, "set"},
        BadCase{"listener_set_nothing", {"listener", "set", "1"}, "listener set"},
        BadCase{"listener_tls_unknown", {"listener", "set", "1", "--tls", "maybe"},
                "listener set"},
        BadCase{"stop_with_argument", {"stop", "now"}, "stop"}),
    [](const testing::TestParamInfo<BadCase>& info) { return info.param.label; });

TEST(CommandLineTest, OptionsAndArgumentsMayComeInAnyOrder) {
  const auto parsed = ParseCommand({"move", "12", "--to", "junk", "7"});
  ASSERT_TRUE(std::holds_alternative<ParsedCommand>(parsed));
  const auto& command = std::get<ParsedCommand>(parsed);
  EXPECT_EQ(command.id, CommandId::kMove);
  EXPECT_EQ(command.Value("--to"), "junk");
  EXPECT_EQ(command.ids, (std::vector<std::uint32_t>{12, 7}));
}

TEST(CommandLineTest, AccountAddReadsOnePasswordLineOrTwoWithAnSmtpUser) {
  const auto one = PrepareClientCommand(kAccountAdd, "/");
  ASSERT_TRUE(std::holds_alternative<ClientCommand>(one));
  EXPECT_EQ(std::get<ClientCommand>(one).input_lines, 1);
  const auto two =
      PrepareClientCommand(With(kAccountAdd, {"--smtp-auth", "--smtp-user", "j"}), "/");
  ASSERT_TRUE(std::holds_alternative<ClientCommand>(two));
  EXPECT_EQ(std::get<ClientCommand>(two).input_lines, 2);
  const auto imported = PrepareClientCommand({"import", "account", "5", "0"}, "/");
  ASSERT_TRUE(std::holds_alternative<ClientCommand>(imported));
  EXPECT_EQ(std::get<ClientCommand>(imported).input_lines, 1);
  const auto none = PrepareClientCommand({"account", "list"}, "/");
  ASSERT_TRUE(std::holds_alternative<ClientCommand>(none));
  EXPECT_EQ(std::get<ClientCommand>(none).input_lines, 0);
}

TEST(CommandLineTest, InputIsReadLineByLineAndSplitWithoutLineEnds) {
  std::istringstream in("first\r\nsecond\nthird\n");
  const std::string input = ReadCommandInput(in, 2);
  EXPECT_EQ(input, "first\r\nsecond\n");
  EXPECT_EQ(InputLines(input), (std::vector<std::string>{"first", "second"}));
  EXPECT_EQ(InputLines("only"), (std::vector<std::string>{"only"}));
  EXPECT_TRUE(InputLines("").empty());
}

TEST(CommandLineTest, TemplateAndAddressFileNamesBecomeAbsoluteAndOtherValuesStayAsTyped) {
  struct Case {
    Words words;
    std::string last;
  };
  for (const Case& c : {Case{{"set", "fn_txtR", "tpl/reply.txt"}, "/home/u/tpl/reply.txt"},
                        Case{{"set", "fn_htmC", "/etc/c.htm"}, "/etc/c.htm"},
                        Case{{"set", "expire", "12"}, "12"},
                        Case{{"import", "addresses", "--list", "trusted", "--from", "b/c.vcf"},
                             "/home/u/b/c.vcf"},
                        Case{{"import", "addresses", "--from", "/tmp/a.txt"}, "/tmp/a.txt"},
                        Case{{"import", "addresses", "--from", "thunderbird"}, "thunderbird"}}) {
    const auto client = PrepareClientCommand(c.words, "/home/u");
    ASSERT_TRUE(std::holds_alternative<ClientCommand>(client));
    EXPECT_EQ(std::get<ClientCommand>(client).words.back(), c.last);
  }
}

TEST(CommandLineTest, UsageTextHasOneLineForEachCommandAndEachLineParsesAsItsCommand) {
  std::istringstream lines(CommandUsageText());
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    std::istringstream words(line);
    std::string program, first;
    words >> program >> first;
    EXPECT_EQ(program, "pelrion") << line;
    EXPECT_TRUE(IsCommandWord(first)) << line;
  }
  EXPECT_EQ(count, 29);
  EXPECT_FALSE(IsCommandWord("--headless"));
}

}  // namespace
}  // namespace pelrion::app
