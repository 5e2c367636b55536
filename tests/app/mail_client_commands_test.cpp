// import clients / accounts / account through the running program's command handler, on a
// home folder made by the test. Importing starts listeners, hence the threads.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_fixture.h"
#include "import/mail_client_fixture.h"
#include "support/scoped_env.h"

namespace pelrion::apptest {
namespace {

class MailClientCommandThreadTest : public ::testing::Test {
 protected:
  CommandWorld world_;
  const std::string home_ = world_.temp / "home";
  test_support::ScopedEnv env_{"HOME", home_};
  test_support::ScopedEnv wine_{"WINEPREFIX", std::nullopt};
};

TEST_F(MailClientCommandThreadTest, ListsTheProgramsThenTheirAccounts) {
  EXPECT_EQ(world_.Json({"import", "clients"}), nlohmann::json::array());
  importtest::MakeThunderbirdMailHome(home_);
  EXPECT_EQ(world_.Json({"import", "clients"}),
            nlohmann::json::parse(R"([{"kind": 5, "name": "Mozilla Thunderbird"}])"));
  EXPECT_EQ(world_.Run({"import", "clients"}).output, "5\tMozilla Thunderbird\n");
  EXPECT_EQ(world_.Json({"import", "accounts", "5"}),
            nlohmann::json::parse(R"([{"friendly_name": "Work mail", "display_name": "Jo Doe",
                                       "email": "jo@example.org", "pop3_server": "pop.example.org",
                                       "pop3_port": 995, "pop3_user": "jo",
                                       "smtp_server": "smtp.example.org", "smtp_port": 587}])"));
  EXPECT_EQ(world_.Json({"import", "accounts", "6"}), nlohmann::json::array());
  const platform::ControlReply unknown = world_.Run({"import", "accounts", "13"});
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_EQ(unknown.errors, "pelrion: no mail client kind with id 13\n");
}

TEST_F(MailClientCommandThreadTest, ImportingAnAccountCreatesItWithItsListeners) {
  importtest::MakeThunderbirdMailHome(home_);
  const platform::ControlReply missing = world_.Run({"import", "account", "5", "1"}, "pw\n");
  EXPECT_EQ(missing.exit_code, 1);
  const platform::ControlReply no_password = world_.Run({"import", "account", "5", "0"}, "\n");
  EXPECT_EQ(no_password.exit_code, 1);
  EXPECT_EQ(no_password.errors, "Please enter your password for logging onto this srv.\n");
  EXPECT_TRUE(world_.Json({"account", "list"}).empty());

  for (const char* name : {"Work mail", "Work mail (1)"}) {
    const platform::ControlReply reply = world_.Run({"import", "account", "5", "0"}, "pw\n");
    ASSERT_EQ(reply.exit_code, 0) << reply.errors;
    EXPECT_TRUE(reply.output.starts_with("The account has been successfully created."))
        << reply.output;
    EXPECT_EQ(world_.Json({"account", "list"}).back()["friendly_name"], name);
  }
  const nlohmann::json accounts = world_.Json({"account", "list"});
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[0]["email"], "jo@example.org");
  EXPECT_EQ(accounts[0]["pop3_user"], "jo");
  // Both share the listeners their servers got the first time.
  EXPECT_EQ(accounts[0]["pop3_listener"], accounts[1]["pop3_listener"]);
  EXPECT_NE(accounts[0]["pop3_listener"], accounts[0]["smtp_listener"]);
  const auto pop3 =
      world_.stores.listeners->CopyOf(accounts[0]["pop3_listener"].get<std::uint32_t>());
  const auto smtp =
      world_.stores.listeners->CopyOf(accounts[0]["smtp_listener"].get<std::uint32_t>());
  ASSERT_TRUE(pop3 && smtp);
  EXPECT_EQ(pop3->server_port, 995u);
  EXPECT_EQ(smtp->server_port, 587u);
  EXPECT_TRUE(world_.listeners.IsRunning(pop3->id));
  EXPECT_TRUE(world_.listeners.IsRunning(smtp->id));
}

}  // namespace
}  // namespace pelrion::apptest
