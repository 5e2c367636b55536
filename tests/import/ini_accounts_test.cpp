// The Eudora and Opera settings-file readers.
#include "import/ini_accounts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelrion::importtest {
namespace {

const std::string kEudoraSettings =
    "[Settings]\r\n"
    "PopServer = pop.x.org\r\n"
    "LoginName=jo\r\n"
    "SMTPServer=\"  smtp.x.org \"\r\n"
    "ReturnAddress=Jo@X.org\r\n"
    "not a key line\r\n"
    "; a comment\r\n";

struct EudoraCase {
  const char* label;
  std::string text;
  bool accepted;
};

TEST(EudoraSettingsTest, TheSettingsSectionGivesOneAccountWhenItUsesPop) {
  for (const EudoraCase& c : std::vector<EudoraCase>{
           {"uses_pop", kEudoraSettings + "UsesPOP=1\r\n", true},
           {"key_case_ignored", "[settings]\nusespop=1\n" + kEudoraSettings.substr(12), true},
           {"uses_pop_zero", kEudoraSettings + "UsesPOP=0\r\n", false},
           {"uses_pop_missing", kEudoraSettings, false},
           {"after_another_section", "[Other]\nUsesPOP=1\n" + kEudoraSettings, false},
           {"keys_after_the_section_end", kEudoraSettings + "[Later]\nUsesPOP=1\n", false},
           {"no_login", kEudoraSettings + "UsesPOP=1\nLoginName=\n", false},
           {"login_of_256", kEudoraSettings + "UsesPOP=1\nLoginName=" + std::string(256, 'l'),
            false},
       }) {
    const auto candidates = import::ReadEudoraAccounts(c.text);
    ASSERT_EQ(candidates.size(), c.accepted ? 1u : 0u) << c.label;
    if (!c.accepted) continue;
    EXPECT_EQ(candidates[0].pop3_host, "pop.x.org") << c.label;
    EXPECT_EQ(candidates[0].smtp_host, "smtp.x.org") << c.label;
    EXPECT_EQ(candidates[0].email_address, "jo@x.org") << c.label;
    EXPECT_EQ(candidates[0].friendly_name, "jo@x.org") << c.label;
    EXPECT_EQ(candidates[0].display_name, "jo@x.org") << c.label;
    EXPECT_EQ(candidates[0].pop3_port, 110u);
    EXPECT_EQ(candidates[0].smtp_port, 25u);
  }
  const auto named = import::ReadEudoraAccounts(kEudoraSettings + "UsesPOP=1\nRealName=Jo\n");
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].display_name, "Jo");
}

std::string OperaSection(const std::string& name, const std::string& extra) {
  // The extra lines come last: a key given again replaces the value before it.
  return "[" + name +
         "]\n"
         "Incoming Servername=pop.x.org\nIncoming Username=jo\n"
         "Outgoing Servername=smtp.x.org\nEmail=Jo@X.org\n" +
         extra;
}

TEST(OperaAccountsTest, EveryPopAccountSectionIsACandidate) {
  const std::string text =
      "[Accounts]\nCount=4\nIncoming Protocol=POP\n" +
      OperaSection("Account1",
                   "Incoming Protocol=POP\nAccount Name=Home\nReal Name=Jo Doe\n"
                   "Incoming Port=1110\nOutgoing Port=587\n") +
      OperaSection("Account2", "Incoming Protocol=IMAP\n") +
      OperaSection("Account3", "incoming protocol=POP\nIncoming Port=11x\nOutgoing Port=0\n") +
      OperaSection("AccountX", "Incoming Protocol=POP\n") +
      OperaSection("Account4", "Incoming Protocol=pop\n") +
      OperaSection("Account5", "Incoming Protocol=POP\nEmail=\n");
  const auto candidates = import::ReadOperaAccounts(text);
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_EQ(candidates[0].friendly_name, "Home");
  EXPECT_EQ(candidates[0].display_name, "Jo Doe");
  EXPECT_EQ(candidates[0].pop3_port, 1110u);
  EXPECT_EQ(candidates[0].smtp_port, 587u);
  // Account3: names fall back to the address, ports that are no number or below 1 too.
  EXPECT_EQ(candidates[1].friendly_name, "jo@x.org");
  EXPECT_EQ(candidates[1].display_name, "jo@x.org");
  EXPECT_EQ(candidates[1].pop3_port, 110u);
  EXPECT_EQ(candidates[1].smtp_port, 25u);
}

}  // namespace
}  // namespace pelrion::importtest
