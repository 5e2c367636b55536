// account add / list / remove through the running program's command handler: the set-up
// wizard's Finish rules, the fields refused whole (never cut), and removal that never asks.
// Adding an account starts its listeners' threads.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_fixture.h"
#include "store/account_creation.h"

namespace pelrion::apptest {
namespace {

using Words = std::vector<std::string>;

Words AddWords(const std::string& name, const std::string& pop3 = "pop.example.org") {
  return {"account", "add",     "--name",      name,    "--display-name", "Jane Doe",
          "--email", "jane@example.org", "--pop3", pop3, "--pop3-user", "jane",
          "--smtp",  "smtp.example.org:587"};
}

TEST(AccountCommandThreadTest, AddCreatesStartedListenersAndPrintsWhereToPointTheMailProgram) {
  CommandWorld world;
  const platform::ControlReply reply =
      world.Run(AddWords("Home", "pop.example.org:995"), "pop-secret\n");
  ASSERT_EQ(reply.exit_code, 0) << reply.errors;

  const nlohmann::json accounts = world.Json({"account", "list"});
  ASSERT_EQ(accounts.size(), 1u);
  const nlohmann::json& account = accounts[0];
  const auto pop3 = world.stores.listeners->CopyOf(account["pop3_listener"].get<std::uint32_t>());
  const auto smtp = world.stores.listeners->CopyOf(account["smtp_listener"].get<std::uint32_t>());
  ASSERT_TRUE(pop3 && smtp);
  EXPECT_EQ(pop3->server_port, 995u);
  EXPECT_EQ(smtp->server_port, 587u);
  EXPECT_TRUE(world.listeners.IsRunning(pop3->id));
  EXPECT_TRUE(world.listeners.IsRunning(smtp->id));
  EXPECT_EQ(reply.output,
            "The account has been successfully created.\n\nPlease change the account settings "
            "in your email program to point to\nthe following Pelrion listeners instead of the "
            "real mail servers:\n\nIncoming mail server (POP3):\n     Name: 127.0.0.1\n     "
            "Port: " + std::to_string(pop3->local_port) +
                "\n\nOutgoing mail server (SMTP):\n     Name: 127.0.0.1\n     Port: " +
                std::to_string(smtp->local_port) + "\n");
  EXPECT_EQ(reply.output.find("pop-secret"), std::string::npos);

  // Every key of the list, and the stored password, survive the next start.
  for (const char* key : {"id", "friendly_name", "display_name", "email", "pop3_user",
                          "smtp_user", "smtp_auth", "included", "pop3_listener",
                          "smtp_listener"}) {
    EXPECT_TRUE(account.contains(key)) << key;
  }
  EXPECT_EQ(account.size(), 10u);
  world.listeners.StopAll();
  world.Reopen();
  const auto stored = world.stores.accounts->CopyOf(account["id"].get<std::uint32_t>());
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->pop3_password.Text(), "pop-secret");
  EXPECT_EQ(stored->friendly_name.Text(), "Home");
  EXPECT_EQ(stored->included, 1);
}

TEST(AccountCommandThreadTest, SecondAccountOfTheSameServersSharesTheirListeners) {
  CommandWorld world;
  ASSERT_EQ(world.Run(AddWords("Home"), "a\n").exit_code, 0);
  ASSERT_EQ(world.Run(AddWords("home"), "b\n").exit_code, 0);
  const nlohmann::json accounts = world.Json({"account", "list"});
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[1]["friendly_name"], "home (1)");
  EXPECT_EQ(accounts[0]["pop3_listener"], accounts[1]["pop3_listener"]);
  EXPECT_EQ(world.stores.listeners->size(), 2u);
  ASSERT_EQ(world.Run(AddWords("HOME"), "c\n").exit_code, 0);
  EXPECT_EQ(world.Json({"account", "list"})[2]["friendly_name"], "HOME (2)");
}

TEST(AccountCommandThreadTest, SmtpLoginOfItsOwnComesFromTheSecondInputLine) {
  CommandWorld world;
  Words words = AddWords("Work");
  for (const char* more : {"--smtp-auth", "--smtp-user", "relay-user", "--exclude"}) {
    words.push_back(more);
  }
  ASSERT_EQ(world.Run(words, "pop-pass\r\nsmtp-pass\r\n").exit_code, 0);
  const nlohmann::json account = world.Json({"account", "list"})[0];
  EXPECT_EQ(account["smtp_user"], "relay-user");
  EXPECT_EQ(account["smtp_auth"], true);
  EXPECT_EQ(account["included"], false);
  const auto stored = world.stores.accounts->CopyOf(account["id"].get<std::uint32_t>());
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->pop3_password.Text(), "pop-pass");
  EXPECT_EQ(stored->smtp_password.Text(), "smtp-pass");
}

struct RefusedField {
  std::string label;
  std::string option;  // replaced by value; empty: only the input changes
  std::string value;
  std::string input;
  std::string_view message;
};

class AccountAddRefusalTest : public testing::TestWithParam<RefusedField> {};

TEST_P(AccountAddRefusalTest, RefusedWithTheFieldsMessageAndNothingStored) {
  const RefusedField& c = GetParam();
  CommandWorld world;
  Words words = AddWords("Home");
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    if (words[i] == c.option) words[i + 1] = c.value;
  }
  const platform::ControlReply reply = world.Run(words, c.input);
  EXPECT_EQ(reply.exit_code, 1);
  EXPECT_EQ(reply.errors, std::string(c.message) + "\n");
  EXPECT_EQ(world.stores.accounts->size(), 0u);
  EXPECT_EQ(world.stores.listeners->size(), 0u);
}

const std::string k64 = std::string(64, 'p');
const std::string kName256 = std::string(256, 'n');

INSTANTIATE_TEST_SUITE_P(
    Table, AccountAddRefusalTest,
    testing::Values(
        RefusedField{"blank_name", "--name", "   ", "x\n", store::kEmptyFriendlyNameText},
        RefusedField{"name_256_bytes", "--name", kName256, "x\n", store::kEmptyFriendlyNameText},
        RefusedField{"display_name_256_bytes", "--display-name", kName256, "x\n",
                     store::kDisplayNameText},
        RefusedField{"email_blank", "--email", " ", "x\n", store::kEmailAddressText},
        RefusedField{"email_without_domain", "--email", "jane@", "x\n",
                     store::kDoubtfulAddressText},
        RefusedField{"pop3_port_0", "--pop3", "pop.example.org:0", "x\n", store::kPortText},
        RefusedField{"pop3_port_65536", "--pop3", "pop.example.org:65536", "x\n",
                     store::kPortText},
        RefusedField{"smtp_port_text", "--smtp", "smtp.example.org:smtp", "x\n",
                     store::kPortText},
        RefusedField{"pop3_host_blank", "--pop3", ":110", "x\n", store::kPop3ServerText},
        RefusedField{"user_256_bytes", "--pop3-user", kName256, "x\n", store::kLoginNameText},
        RefusedField{"password_64_bytes", "", "", k64 + "\n", store::kPasswordText},
        RefusedField{"password_missing", "", "", "", store::kPasswordText}),
    [](const testing::TestParamInfo<RefusedField>& info) { return info.param.label; });

TEST(AccountCommandThreadTest, PasswordOf63BytesIsKeptWhole) {
  CommandWorld world;
  const std::string password(63, 'q');
  ASSERT_EQ(world.Run(AddWords("Home"), password + "\n").exit_code, 0);
  const auto stored = world.stores.accounts->CopyOf(world.stores.accounts->Ids().front());
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->pop3_password.Text(), password);
}

TEST(AccountCommandThreadTest, RemoveRefusesWhileMessagesRemainAndDropsOrphanedListeners) {
  CommandWorld world;
  const std::uint32_t kept = world.AddAccount("Kept", 110);
  const std::uint32_t busy = world.AddAccount("Busy", 111);
  const std::uint32_t message = world.FileMessage(busy, "a@example.org", store::kFlagDecided | store::kFlagInbox);

  const platform::ControlReply refused = world.Run({"account", "remove", std::to_string(busy)});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.errors.rfind("There are 1 messages associated with the 'Busy' Account.", 0),
            0u)
      << refused.errors;
  EXPECT_TRUE(world.stores.accounts->AccountExists(busy));
  EXPECT_NE(world.stores.messages->Find(message)->view_state & 0x10, 0u);

  ASSERT_EQ(world.Run({"delete", std::to_string(message)}).exit_code, 0);
  ASSERT_EQ(world.Run({"delete", std::to_string(message)}).exit_code, 0);  // out of Trash
  const auto busy_pop3 = world.stores.accounts->CopyOf(busy)->pop3_listener_id;
  EXPECT_EQ(world.Run({"account", "remove", std::to_string(busy)}).exit_code, 0);
  EXPECT_FALSE(world.stores.accounts->AccountExists(busy));
  EXPECT_TRUE(world.stores.accounts->AccountExists(kept));
  // Its POP3 server was its own; the SMTP server is shared with the kept account.
  EXPECT_FALSE(world.stores.listeners->Contains(busy_pop3));
  EXPECT_FALSE(world.listeners.IsRunning(busy_pop3));
  EXPECT_EQ(world.stores.listeners->size(), 2u);
}

TEST(AccountCommandTest, UniqueNameCutsTheTypedNameAtACharacterBoundary) {
  CommandWorld world;
  struct Case {
    std::string typed;
    std::string expected;
  };
  // 252 ASCII bytes then a 2-byte character: with " (1)" the name must lose 4 bytes, and the
  // character may not be split.
  const std::string long_name = std::string(252, 'a') + "\xC3\xA9" + "b";  // 255 bytes
  store::MailAccount fields;
  fields.friendly_name.Set(long_name);
  world.stores.accounts->AddAccount(fields);
  fields.friendly_name.Set("Short");
  world.stores.accounts->AddAccount(fields);
  for (const Case& c : {Case{"Fresh", "Fresh"}, Case{"short", "short (1)"},
                        Case{long_name, std::string(251, 'a') + " (1)"}}) {
    const std::string name = store::UniqueFriendlyName(*world.stores.accounts, c.typed);
    EXPECT_EQ(name, c.expected);
    EXPECT_LE(name.size(), 255u);
  }
  // A 2-byte character that ends exactly at the cut stays.
  const std::string at_cut = std::string(249, 'a') + "\xC3\xA9" + "bcde";  // 255 bytes
  fields.friendly_name.Set(at_cut);
  world.stores.accounts->AddAccount(fields);
  EXPECT_EQ(store::UniqueFriendlyName(*world.stores.accounts, at_cut),
            std::string(249, 'a') + "\xC3\xA9" + " (1)");
}

TEST(AccountCommandTest, RemovingAnUnknownAccountNamesTheId) {
  CommandWorld world;
  const platform::ControlReply reply = world.Run({"account", "remove", "42"});
  EXPECT_EQ(reply.exit_code, 1);
  EXPECT_NE(reply.errors.find("42"), std::string::npos);
  EXPECT_EQ(std::count(reply.errors.begin(), reply.errors.end(), '\n'), 1);
}

}  // namespace
}  // namespace pelrion::apptest
