// The Mozilla preference line and the account readers of prefs.js and preferences.js.
#include "import/mozilla_accounts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/mail_client_fixture.h"

namespace pelrion::importtest {
namespace {

using import::MailCandidate;
using import::ParsePreferenceLine;
using import::PreferenceFile;

struct LineCase {
  const char* label;
  std::string line;
  bool parsed;
  std::string name, value;
};

TEST(PreferenceLineTest, ParsesQuotedAndBareNamesAndValues) {
  for (const LineCase& c : std::vector<LineCase>{
           {"quoted", R"(user_pref("a.b", "c d");)", true, "a.b", "c d"},
           {"number_value", R"(user_pref("a.port", 995);)", true, "a.port", "995"},
           {"leading_space_and_case", R"(   USER_PREF ( "a" ,  true ) ;)", true, "a", "true"},
           {"bare_name_trimmed_right", "user_pref( a.b  , x )", true, "a.b", "x"},
           {"escaped_quote_and_backslash", R"(user_pref("n", "say \"hi\" C:\\dir");)", true, "n",
            R"(say "hi" C:\dir)"},
           {"empty_value", R"(user_pref("n", "");)", true, "n", ""},
           {"not_user_pref", R"(pref("a", "b");)", false, "", ""},
           {"no_parenthesis", R"(user_pref "a", "b";)", false, "", ""},
           {"no_comma", R"(user_pref("a" "b");)", false, "", ""},
           {"unclosed_name", R"(user_pref("a, "b");)", false, "", ""},
           {"unclosed_value", R"(user_pref("a", "b);)", false, "", ""},
           {"bare_value_without_close", R"(user_pref("a", 12)", false, "", ""},
           {"comment", "// user_pref(\"a\", \"b\");", false, "", ""},
       }) {
    const auto line = ParsePreferenceLine(c.line);
    ASSERT_EQ(line.has_value(), c.parsed) << c.label;
    if (!line) continue;
    EXPECT_EQ(line->name, c.name) << c.label;
    EXPECT_EQ(line->value, c.value) << c.label;
  }
}

TEST(PreferenceLineTest, FileLookupsTakeTheFirstMatchAndHonourTheCaseRule) {
  const PreferenceFile prefs(
      "user_pref(\"Mail.X\", \"first\");\r\n"
      "garbage\n"
      "user_pref(\"mail.x\", \"second\");\n");
  EXPECT_EQ(prefs.size(), 2u);
  EXPECT_EQ(prefs.Find("MAIL.X"), "first");
  EXPECT_EQ(prefs.Find("mail.x", import::NameCase::kExact), "second");
  EXPECT_FALSE(prefs.Find("mail.y"));
}

std::string Pref(const std::string& name, const std::string& value) {
  return "user_pref(\"" + name + "\", \"" + value + "\");\n";
}

// One POP3 account "a1" with server "s1", identity "i1" and SMTP server "t1"; extra lines
// are put first so that they win the first-match lookups.
std::string OneAccount(const std::string& extra = {}) {
  return extra + Pref("mail.accountmanager.accounts", " a1 , ") +
         Pref("mail.account.a1.server", "s1") + Pref("mail.account.a1.identities", "i1") +
         Pref("mail.server.s1.type", "POP3") + Pref("mail.server.s1.hostname", "pop.x.org") +
         Pref("mail.server.s1.userName", "jo") + Pref("mail.identity.i1.useremail", "JO@X.ORG") +
         Pref("mail.identity.i1.smtpServer", "t1") +
         Pref("mail.smtpserver.t1.hostname", "smtp.x.org");
}

std::vector<MailCandidate> Read(const std::string& text) {
  return import::ReadMozillaAccounts(PreferenceFile(text));
}

TEST(MozillaAccountsTest, AnAccountWithEveryValueBecomesACandidate) {
  const auto candidates = Read(
      OneAccount(Pref("mail.server.s1.name", "Home") + Pref("mail.identity.i1.fullName", "Jo Doe") +
                 Pref("mail.server.s1.port", "1110") + Pref("mail.smtpserver.t1.port", "587")));
  ASSERT_EQ(candidates.size(), 1u);
  const MailCandidate& c = candidates[0];
  EXPECT_EQ(c.friendly_name, "Home");
  EXPECT_EQ(c.display_name, "Jo Doe");
  EXPECT_EQ(c.email_address, "jo@x.org");
  EXPECT_EQ(c.pop3_host, "pop.x.org");
  EXPECT_EQ(c.pop3_user, "jo");
  EXPECT_EQ(c.pop3_port, 1110u);
  EXPECT_EQ(c.smtp_host, "smtp.x.org");
  EXPECT_EQ(c.smtp_port, 587u);
}

TEST(MozillaAccountsTest, MissingNamesAndPortsFallBack) {
  for (const std::string& ports :
       {std::string(), Pref("mail.server.s1.port", "11o") + Pref("mail.smtpserver.t1.port", "")}) {
    const auto candidates = Read(OneAccount(ports));
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].friendly_name, "jo@x.org");
    EXPECT_EQ(candidates[0].display_name, "jo@x.org");
    EXPECT_EQ(candidates[0].pop3_port, 110u);
    EXPECT_EQ(candidates[0].smtp_port, 25u);
  }
  // A name too long for the account falls back as a missing one does.
  const auto candidates = Read(OneAccount(Pref("mail.server.s1.name", std::string(256, 'n'))));
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].friendly_name, "jo@x.org");
}

struct SkipCase {
  const char* label;
  std::string extra;  // read before the account's own lines
  bool accepted;
};

TEST(MozillaAccountsTest, AccountsLackingWhatTheyNeedAreSkipped) {
  const std::string long_host(256, 'h');
  for (const SkipCase& c : std::vector<SkipCase>{
           {"complete", "", true},
           {"imap", Pref("mail.server.s1.type", "imap"), false},
           {"type_case_ignored", Pref("mail.server.s1.type", "Pop3"), true},
           {"no_address", Pref("mail.identity.i1.useremail", ""), false},
           {"no_pop3_server", Pref("mail.server.s1.hostname", ""), false},
           {"no_login", Pref("mail.server.s1.userName", ""), false},
           {"no_smtp_server", Pref("mail.smtpserver.t1.hostname", ""), false},
           {"server_of_256", Pref("mail.server.s1.hostname", long_host), false},
           {"server_of_255", Pref("mail.server.s1.hostname", std::string(255, 'h')), true},
           {"address_of_256", Pref("mail.identity.i1.useremail", long_host + "@x"), false},
           {"smtp_of_256", Pref("mail.smtpserver.t1.hostname", long_host), false},
           {"no_account_list", Pref("mail.accountmanager.accounts", ""), false},
           // These three names must be written exactly; the others in any case.
           {"server_name_case", Pref("MAIL.ACCOUNT.a1.server", "s9"), true},
           {"smtp_host_case", Pref("mail.smtpServer.t1.hostname", ""), true},
           {"hostname_case_ignored", Pref("MAIL.SERVER.S1.HOSTNAME", ""), false},
           {"email_case_ignored", Pref("mail.identity.I1.UserEmail", ""), false},
       }) {
    EXPECT_EQ(Read(OneAccount(c.extra)).size(), c.accepted ? 1u : 0u) << c.label;
  }
  EXPECT_TRUE(Read(OneAccount().substr(OneAccount().find('\n') + 1)).empty())
      << "without mail.accountmanager.accounts nothing is read";
}

struct SmtpCase {
  const char* label;
  std::string own;  // mail.identity.i1.smtpServer ("-": not written)
  std::string default_server;
  std::string servers;
  const char* host;  // nullptr: skipped
};

TEST(MozillaAccountsTest, TheSmtpServerFallsBackToTheDefaultThenTheFirstListed) {
  const std::string hosts = Pref("mail.smtpserver.own.hostname", "own.org") +
                            Pref("mail.smtpserver.def.hostname", "def.org") +
                            Pref("mail.smtpserver.first.hostname", "first.org");
  for (const SmtpCase& c : std::vector<SmtpCase>{
           {"own", "own", "def", "first", "own.org"},
           {"empty_own_takes_default", "", "def", "first", "def.org"},
           {"missing_own_takes_default", "-", "def", "first", "def.org"},
           {"no_default_takes_first_listed", "", "-", " , first , def", "first.org"},
           {"nothing_listed", "", "-", " , ", nullptr},
       }) {
    std::string text =
        Pref("mail.accountmanager.accounts", "a1") + Pref("mail.account.a1.server", "s1") +
        Pref("mail.account.a1.identities", "i1") + Pref("mail.server.s1.type", "pop3") +
        Pref("mail.server.s1.hostname", "pop") + Pref("mail.server.s1.userName", "u") +
        Pref("mail.identity.i1.useremail", "a@b") + hosts;
    if (c.own != "-") text += Pref("mail.identity.i1.smtpServer", c.own);
    if (c.default_server != "-") text += Pref("mail.smtp.defaultserver", c.default_server);
    text += Pref("mail.smtpservers", c.servers);
    const auto candidates = Read(text);
    ASSERT_EQ(candidates.size(), c.host ? 1u : 0u) << c.label;
    if (c.host) {
      EXPECT_EQ(candidates[0].smtp_host, c.host) << c.label;
    }
  }
}

TEST(MozillaAccountsTest, TheFixtureProfileGivesItsOnePop3AccountWithSmtp) {
  // account2 is IMAP; account3's identity names no SMTP server and none is listed.
  const auto candidates = Read(kThunderbirdPrefs);
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].friendly_name, "Work mail");
  EXPECT_EQ(candidates[0].email_address, "jo@example.org");
}

struct OldStyleCase {
  const char* label;
  std::string extra;
  bool accepted;
};

TEST(OldStylePreferencesTest, OneAccountUnlessImapOrIncomplete) {
  const std::string base =
      Pref("network.hosts.pop_server", "pop.x.org") + Pref("mail.pop_name", "jo") +
      Pref("network.hosts.smtp_server", "smtp.x.org") + Pref("mail.identity.useremail", "Jo@X.org");
  for (const OldStyleCase& c : std::vector<OldStyleCase>{
           {"plain", "", true},
           {"server_type_imap", Pref("mail.server_type", "1"), false},
           {"server_type_pop", Pref("mail.server_type", "0"), true},
           {"server_type_not_exactly_one", Pref("mail.server_type", " 1x"), true},
           {"no_login", Pref("mail.pop_name", ""), false},
           {"login_of_256", Pref("mail.pop_name", std::string(256, 'u')), false},
       }) {
    const auto candidates = import::ReadOldStyleAccount(PreferenceFile(c.extra + base));
    ASSERT_EQ(candidates.size(), c.accepted ? 1u : 0u) << c.label;
    if (!c.accepted) continue;
    EXPECT_EQ(candidates[0].email_address, "jo@x.org");
    EXPECT_EQ(candidates[0].friendly_name, "jo@x.org");
    EXPECT_EQ(candidates[0].display_name, "jo@x.org");
    EXPECT_EQ(candidates[0].pop3_port, 110u);
    EXPECT_EQ(candidates[0].smtp_port, 25u);
  }
  const auto named =
      import::ReadOldStyleAccount(PreferenceFile(Pref("mail.identity.username", "Jo Doe") + base));
  ASSERT_EQ(named.size(), 1u);
  EXPECT_EQ(named[0].display_name, "Jo Doe");
}

}  // namespace
}  // namespace pelrion::importtest
