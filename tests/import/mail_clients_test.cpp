// Finding the user's mail programs in a home folder made by the test, and reading each
// one's accounts from where it keeps them, without changing any of their files.
#include "import/mail_clients.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "import/mail_client_fixture.h"
#include "import/registry_builder.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace pelrion::importtest {
namespace {

using import::MailCandidate;
using import::MailClientKind;

std::string Pref(const std::string& name, const std::string& value) {
  return "user_pref(\"" + name + "\", \"" + value + "\");\n";
}

// A prefs.js with one complete POP3 account whose address is email.
std::string PrefsWithAccount(const std::string& email) {
  return Pref("mail.accountmanager.accounts", "a1") + Pref("mail.account.a1.server", "s1") +
         Pref("mail.account.a1.identities", "i1") + Pref("mail.server.s1.type", "pop3") +
         Pref("mail.server.s1.hostname", "pop.x.org") + Pref("mail.server.s1.userName", "u") +
         Pref("mail.identity.i1.useremail", email) + Pref("mail.smtpservers", "t1") +
         Pref("mail.smtpserver.t1.hostname", "smtp.x.org");
}

// Every file under folder with its bytes.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      files[entry.path().string()] = test_support::ReadFile(entry.path().string());
    }
  }
  return files;
}

std::vector<std::string> Addresses(const std::vector<MailCandidate>& candidates) {
  std::vector<std::string> out;
  for (const MailCandidate& c : candidates) out.push_back(c.email_address);
  return out;
}

class MailClientsTest : public ::testing::Test {
 protected:
  import::MailClients Clients() const { return import::MailClients(home_.path(), home_ / ".wine");
} std::vector<std::string> Read(MailClientKind kind) {
  import::NoSettingsFileQuestions questions;
  return Addresses(Clients().ReadAccounts(kind, questions));
}
std::string home() const {
  return home_.path();
}

test_support::TempDir home_;
};  // namespace

TEST_F(MailClientsTest, AnEmptyHomeHasNoMailPrograms) {
  EXPECT_TRUE(Clients().ListInstalled().empty());
  for (int kind = 0; kind < import::kMailClientKindCount; ++kind) {
    EXPECT_TRUE(Read(*import::KindOfNumber(kind)).empty()) << kind;
  }
}

TEST_F(MailClientsTest, KindsHaveTheirDisplayNames) {
  const std::vector<std::string_view> expected = {
      "Eudora",  "Mozilla", "Netscape", "Netscape",        "Netscape",  "Mozilla Thunderbird",
      "Opera",   "Outlook", "Outlook",  "Outlook Express", "Evolution", "Claws Mail",
      "Sylpheed"};
  ASSERT_EQ(expected.size(), static_cast<std::size_t>(import::kMailClientKindCount));
  for (int kind = 0; kind < import::kMailClientKindCount; ++kind) {
    EXPECT_EQ(import::KindInfo(*import::KindOfNumber(kind)).display_name, expected[kind]);
  }
  EXPECT_FALSE(import::KindOfNumber(-1));
  EXPECT_FALSE(import::KindOfNumber(import::kMailClientKindCount));
}

TEST_F(MailClientsTest, ThunderbirdProfilesOfEveryInstallationAreRead) {
  MakeThunderbirdMailHome(home());
  EXPECT_EQ(Clients().ListInstalled(), std::vector<MailClientKind>{MailClientKind::kThunderbird});
  // The Flatpak's profile, named by an absolute path.
  const std::string flatpak = home() + "/.var/app/org.mozilla.Thunderbird/.thunderbird";
  WriteSettingsFile(flatpak + "/profiles.ini",
                    "[Profile1]\nIsRelative=0\nPath=" + home() + "/elsewhere\n");
  WriteSettingsFile(home() + "/elsewhere/prefs.js", PrefsWithAccount("flat@pak.org"));
  EXPECT_EQ(Read(MailClientKind::kThunderbird),
            (std::vector<std::string>{"jo@example.org", "flat@pak.org"}));
}

TEST_F(MailClientsTest, TheMozillaSuiteIsFoundThroughItsProfileRegistryAndProfilesIni) {
  RegistryBuilder registry;
  registry.AddKey(registry.root(), "Users");
  const std::uint32_t common = registry.AddKey(registry.root(), "Common");
  registry.AddKey(registry.root(), "Version Registry");
  registry.AddKey(registry.root(), "Private Arenas");
  const std::uint32_t profiles = registry.AddKey(common, "Profiles");
  registry.AddString(registry.AddKey(profiles, "default"), "directory",
                     home() + "/.mozilla/default/ab.slt");
  registry.AddKey(profiles, "no directory");
  registry.AddString(registry.AddKey(profiles, "gone"), "directory", home() + "/missing");
  const std::string appreg = registry.bytes();
  WriteSettingsFile(home() + "/.mozilla/appreg", appreg);
  WriteSettingsFile(home() + "/.mozilla/default/ab.slt/prefs.js", PrefsWithAccount("suite@x.org"));
  EXPECT_EQ(Clients().ListInstalled(), std::vector<MailClientKind>{MailClientKind::kMozilla});
  const auto before = Snapshot(home());
  EXPECT_EQ(Read(MailClientKind::kMozilla), std::vector<std::string>{"suite@x.org"});

  WriteSettingsFile(home() + "/.mozilla/seamonkey/profiles.ini", "[Profile0]\nPath=p.default\n");
  WriteSettingsFile(home() + "/.mozilla/seamonkey/p.default/prefs.js",
                    PrefsWithAccount("sea@x.org"));
  EXPECT_EQ(Read(MailClientKind::kMozilla), (std::vector<std::string>{"suite@x.org", "sea@x.org"}));
  // Reading changed nothing in the other program's files.
  for (const auto& [path, bytes] : before) {
    EXPECT_EQ(test_support::ReadFile(path), bytes) << path;
  }
}

TEST_F(MailClientsTest, LinuxOnlyProgramsAndOldNetscapeAreFoundByTheirSettings) {
  struct Case {
    MailClientKind kind;
    std::string file;
    std::string text;
    std::string address;
  };
  const std::vector<Case> cases = {
      {MailClientKind::kNetscape4, "/.netscape/preferences.js",
       Pref("network.hosts.pop_server", "pop") + Pref("mail.pop_name", "u") +
           Pref("network.hosts.smtp_server", "smtp") + Pref("mail.identity.useremail", "n4@x.org"),
       "n4@x.org"},
      {MailClientKind::kOpera, "/.opera/mail/accounts.ini",
       "[Account1]\nIncoming Protocol=POP\nIncoming Servername=p\nIncoming Username=u\n"
       "Outgoing Servername=s\nEmail=op@x.org\n",
       "op@x.org"},
      {MailClientKind::kEvolution, "/.config/evolution/sources/a.source",
       "[Mail Account]\nBackendName=pop\nIdentityUid=i\n[Authentication]\nHost=p\nUser=u\n", ""},
      {MailClientKind::kClawsMail, "/.claws-mail/accountrc",
       "[Account: 1]\nprotocol=0\naddress=claws@x.org\nreceive_server=p\nuser_id=u\n"
       "smtp_server=s\n",
       "claws@x.org"},
      {MailClientKind::kSylpheed, "/.sylpheed-2.0/accountrc",
       "[Account: 1]\nprotocol=0\naddress=syl@x.org\nreceive_server=p\nuser_id=u\n"
       "smtp_server=s\n",
       "syl@x.org"},
  };
  std::vector<MailClientKind> kinds;
  for (const Case& c : cases) {
    WriteSettingsFile(home() + c.file, c.text);
    kinds.push_back(c.kind);
    EXPECT_EQ(Clients().ListInstalled(), kinds);
    EXPECT_EQ(Read(c.kind),
              c.address.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.address});
  }
  WriteSettingsFile(home() + "/.config/evolution/sources/i.source",
                    "[Mail Identity]\nAddress=evo@x.org\n[Mail Submission]\nTransportUid=t\n");
  WriteSettingsFile(home() + "/.config/evolution/sources/t.source",
                    "[Mail Transport]\nBackendName=smtp\n[Authentication]\nHost=s\n");
  EXPECT_EQ(Read(MailClientKind::kEvolution), std::vector<std::string>{"evo@x.org"});
}

// Records the questions a reader asks and answers them as told.
class ScriptedQuestions : public import::SettingsFileQuestions {
 public:
  bool UseFoundFile(const std::string& text) override {
    asked.push_back(text);
    return use_found;
  }
  std::optional<std::string> LocateFile(std::string_view title, std::string_view,
                                        std::string_view) override {
    asked.emplace_back(title);
    return located;
  }
  bool use_found = true;
  std::optional<std::string> located;
  std::vector<std::string> asked;
};

TEST_F(MailClientsTest, EudoraUnderWineAsksAboutTheFileItFoundOrForOne) {
  const std::string prefix = home() + "/.wine";
  WriteSettingsFile(
      prefix + "/system.reg",
      "WINE REGISTRY Version 2\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\eudora.exe]\n"
      "@=\"C:\\\\Eudora\\\\Eudora.exe\"\n");
  WriteSettingsFile(
      prefix + "/user.reg",
      "WINE REGISTRY Version 2\n"
      "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\Shell Folders]\n"
      "\"AppData\"=\"C:\\\\users\\\\jo\\\\AppData\\\\Roaming\"\n");
  WriteSettingsFile(prefix + "/drive_c/Eudora/Eudora.exe", "MZ");
  const std::string settings =
      "[Settings]\nUsesPOP=1\nPopServer=p\nLoginName=u\nSMTPServer=s\nReturnAddress=";
  WriteSettingsFile(prefix + "/drive_c/Eudora/eudora.ini", settings + "beside@x.org\n");
  const std::string other = home() + "/picked.ini";
  WriteSettingsFile(other, settings + "picked@x.org\n");
  EXPECT_EQ(Clients().ListInstalled(), std::vector<MailClientKind>{MailClientKind::kEudora});

  ScriptedQuestions questions;
  EXPECT_EQ(Addresses(Clients().ReadAccounts(MailClientKind::kEudora, questions)),
            std::vector<std::string>{"beside@x.org"});
  ASSERT_EQ(questions.asked.size(), 1u);
  EXPECT_EQ(questions.asked[0], "Pelrion located Eudora.ini at the following path:\n" + prefix +
                                    "/drive_c/Eudora/eudora.ini\n\nTo select another file, click "
                                    "Cancel.");

  // The application data folder's file comes first.
  WriteSettingsFile(prefix + "/drive_c/users/jo/AppData/Roaming/Qualcomm/Eudora/Eudora.ini",
                    settings + "appdata@x.org\n");
  EXPECT_EQ(Addresses(Clients().ReadAccounts(MailClientKind::kEudora, questions)),
            std::vector<std::string>{"appdata@x.org"});

  // Cancel asks for the file; cancelling that too reads nothing.
  questions = ScriptedQuestions{};
  questions.use_found = false;
  questions.located = other;
  EXPECT_EQ(Addresses(Clients().ReadAccounts(MailClientKind::kEudora, questions)),
            std::vector<std::string>{"picked@x.org"});
  EXPECT_EQ(questions.asked.back(), "Locate file Eudora.ini");
  questions.located.reset();
  EXPECT_TRUE(Clients().ReadAccounts(MailClientKind::kEudora, questions).empty());
}

TEST_F(MailClientsTest, OperaUnderWineLooksBesideTheProgramThenInTheUsersFolder) {
  const std::string prefix = home() + "/.wine";
  // The entry names the program through a variable of the user's environment.
  WriteSettingsFile(prefix + "/system.reg",
                    "WINE REGISTRY Version 2\n"
                    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App "
                    "Paths\\\\opera.exe]\n"
                    "@=str(2):\"%MYAPPS%\\\\Opera7\\\\opera.exe\"\n");
  WriteSettingsFile(prefix + "/user.reg",
                    "WINE REGISTRY Version 2\n[Environment]\n\"MYAPPS\"=\"D:\\\\Apps\"\n"
                    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer"
                    "\\\\Shell Folders]\n\"AppData\"=\"C:\\\\users\\\\jo\\\\AppData\"\n");
  WriteSettingsFile(prefix + "/dosdevices/d:/Apps/Opera7/opera.exe", "MZ");
  const auto account = [](const std::string& email) {
    return "[Account1]\nIncoming Protocol=POP\nIncoming Servername=p\nIncoming Username=u\n"
           "Outgoing Servername=s\nEmail=" +
           email + "\n";
  };
  WriteSettingsFile(prefix + "/drive_c/users/jo/AppData/Opera/Opera7/Mail/accounts.ini",
                    account("roaming@x.org"));
  EXPECT_EQ(Clients().ListInstalled(), std::vector<MailClientKind>{MailClientKind::kOpera});
  ScriptedQuestions questions;
  EXPECT_EQ(Addresses(Clients().ReadAccounts(MailClientKind::kOpera, questions)),
            std::vector<std::string>{"roaming@x.org"});
  WriteSettingsFile(prefix + "/dosdevices/d:/Apps/Opera7/mail/ACCOUNTS.INI",
                    account("beside@x.org"));
  EXPECT_EQ(Addresses(Clients().ReadAccounts(MailClientKind::kOpera, questions)),
            std::vector<std::string>{"beside@x.org"});
  EXPECT_TRUE(questions.asked.empty());
  // Neither there: the user is asked for the file.
  std::filesystem::remove_all(prefix + "/drive_c/users");
  std::filesystem::remove_all(prefix + "/dosdevices/d:/Apps/Opera7/mail");
  EXPECT_TRUE(Clients().ReadAccounts(MailClientKind::kOpera, questions).empty());
  EXPECT_EQ(questions.asked, std::vector<std::string>{"Locate Opera file accounts.ini"});
}

TEST_F(MailClientsTest, ThunderbirdUnderWineReadsItsBackslashedRelativeProfiles) {
  const std::string prefix = home() + "/.wine";
  WriteSettingsFile(prefix + "/system.reg", "WINE REGISTRY Version 2\n");
  WriteSettingsFile(prefix + "/user.reg", "WINE REGISTRY Version 2\n");
  // Without a Shell Folders entry the user folder is named after the user, in the old or
  // the new form.
  test_support::ScopedEnv user("USER", "jo");
  const std::string roaming = prefix + "/drive_c/users/jo/Application Data";
  WriteSettingsFile(roaming + "/Thunderbird/profiles.ini",
                    "[Profile0]\nIsRelative=1\nPath=Profiles\\x.default\n");
  WriteSettingsFile(roaming + "/Thunderbird/Profiles/x.default/prefs.js",
                    PrefsWithAccount("w@x.org"));
  EXPECT_EQ(Read(MailClientKind::kThunderbird), std::vector<std::string>{"w@x.org"});
}

}  // namespace pelrion::importtest
}  // namespace pelrion::importtest
