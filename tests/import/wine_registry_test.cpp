// Windows programs under Wine: the registry hive text, the account-manager reader on it,
// and a prefix with App Paths entries and program files whose version decides detection.
#include "import/wine_registry.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "import/account_manager.h"
#include "import/file_version.h"
#include "import/mail_client_fixture.h"
#include "import/mail_clients.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace pelrion::importtest {
namespace {

using import::MailClientKind;
using import::RegistryValueType;
using import::WineRegistry;

TEST(WineRegistryTest, ReadsKeysValuesAndEscapes) {
  const WineRegistry hive(
      "WINE REGISTRY Version 2\n"
      ";; All keys relative to \\\\User\\\\S-1-5-21\n\n"
      "#arch=win32\n\n"
      "[Software\\\\Example\\\\One] 1600000000\n"
      "#time=1d7000000000000\n"
      "@=\"default\"\n"
      "\"Text\"=\"a \\\"quoted\\\" C:\\\\dir\\n\\x00e9\"\n"
      "\"Path\"=str(2):\"%ProgramFiles%\\\\x\"\n"
      "\"Port\"=dword:0000006e\n"
      "\"Blob\"=hex:01,02,\\\n"
      "  03,04\n"
      "\"Broken\"=\"no end\n"
      "[Software\\\\Example\\\\Two]\n"
      "[Software\\\\Example\\\\One\\\\Child]\n");
  EXPECT_EQ(hive.Subkeys("software\\EXAMPLE"), (std::vector<std::string>{"One", "Two"}));
  EXPECT_EQ(hive.Subkeys("Software\\Example\\One\\"), (std::vector<std::string>{"Child"}));
  EXPECT_TRUE(hive.Subkeys("Software\\Missing").empty());
  const auto text = hive.Value("Software\\Example\\One", "text");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->type, RegistryValueType::kString);
  EXPECT_EQ(text->text, "a \"quoted\" C:\\dir\n\xC3\xA9");
  EXPECT_EQ(hive.Value("Software\\Example\\One", "")->text, "default");
  EXPECT_EQ(hive.Value("Software\\Example\\One", "Path")->type, RegistryValueType::kExpandString);
  EXPECT_EQ(hive.Value("Software\\Example\\One", "Port")->number, 110u);
  EXPECT_EQ(hive.Value("Software\\Example\\One", "Blob")->type, RegistryValueType::kOther);
  EXPECT_FALSE(hive.Value("Software\\Example\\One", "Broken"));
  EXPECT_FALSE(hive.Value("Software\\Example\\Two", "Text"));
}

// An Outlook Express account key in .reg text.
std::string AccountKey(const std::string& root, const std::string& id, const std::string& values) {
  return "[" + root + "\\\\" + id + "]\n" + values;
}

std::string Str(const std::string& name, const std::string& value) {
  return "\"" + name + "\"=\"" + value + "\"\n";
}

std::string PopValues(const std::string& name) {
  return Str("Account Name", name) + Str("POP3 Server", "pop." + name) +
         Str("POP3 User Name", "user") + Str("SMTP Server", "smtp." + name) +
         Str("SMTP Email Address", "Me@" + name) + Str("SMTP Display Name", "Me");
}

const std::string kIam = "Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts";

TEST(AccountManagerTest, OutlookExpressReadsTheMainRootThenEachIdentity) {
  std::string text = "WINE REGISTRY Version 2\n";
  text += AccountKey(
      kIam, "00000001",
      PopValues("main.org") + "\"POP3 Port\"=dword:000003e3\n" + "\"SMTP Port\"=dword:0000024b\n");
  // A news account and an IMAP account have no POP3 server; a port of another type is
  // ignored; a value of another type skips the account.
  text += AccountKey(kIam, "00000002", Str("Account Name", "news") + Str("NNTP Server", "n"));
  text += AccountKey(kIam, "00000003",
                     Str("Account Name", "imap.org") + Str("IMAP Server", "imap.org") +
                         Str("POP3 User Name", "u") + Str("SMTP Server", "s") +
                         Str("SMTP Email Address", "a@imap.org") + Str("SMTP Display Name", "A"));
  text += AccountKey(kIam, "00000004", Str("POP3 Server", "") + PopValues("empty.org"));
  const std::vector<std::string> identities = {"{AAA}", "{BBB}", "{CCC}"};
  for (const std::string& identity : identities) {
    const std::string root = "Identities\\\\" + identity + "\\\\" + kIam;
    text += AccountKey(root, "00000001",
                       PopValues(identity.substr(1, 3) + ".org") + "\"POP3 Port\"=\"995\"\n");
  }
  text += AccountKey("Identities\\\\{BBB}\\\\" + kIam, "00000002",
                     "\"Account Name\"=hex:41,00\n" +
                         PopValues("binary.org").substr(PopValues("binary.org").find('\n') + 1));
  const WineRegistry user(text);

  const auto roots = import::AccountRoots(import::AccountManager::kInternetAccount, user);
  ASSERT_EQ(roots.size(), 4u);
  EXPECT_EQ(roots[2], "Identities\\{BBB}\\Software\\Microsoft\\Internet Account Manager\\Accounts");

  const auto candidates =
      import::ReadAccountManagerAccounts(import::AccountManager::kInternetAccount, user);
  std::vector<std::string> names;
  for (const auto& c : candidates) names.push_back(c.friendly_name);
  EXPECT_EQ(names, (std::vector<std::string>{"main.org", "AAA.org", "BBB.org", "CCC.org"}));
  EXPECT_EQ(candidates[0].email_address, "me@main.org");
  EXPECT_EQ(candidates[0].pop3_port, 995u);
  EXPECT_EQ(candidates[0].smtp_port, 587u);
  EXPECT_EQ(candidates[1].pop3_port, 110u);
  EXPECT_EQ(candidates[1].smtp_port, 25u);
  // Outlook's own keys are elsewhere.
  EXPECT_TRUE(import::ReadAccountManagerAccounts(import::AccountManager::kOffice, user).empty());
}

TEST(AccountManagerTest, EachOfTheSixValuesIsRequiredAndAtMost255Bytes) {
  for (const char* name : {"Account Name", "POP3 Server", "POP3 User Name", "SMTP Server",
                           "SMTP Email Address", "SMTP Display Name"}) {
    const std::string root =
        "Software\\\\Microsoft\\\\Office\\\\Outlook\\\\OMI Account "
        "Manager\\\\Accounts";
    for (const std::string& bad : {std::string(), std::string(256, 'x')}) {
      const WineRegistry user(AccountKey(root, "1", Str(name, bad) + PopValues("x.org")));
      EXPECT_TRUE(import::ReadAccountManagerAccounts(import::AccountManager::kOffice, user).empty())
          << name << " of " << bad.size();
    }
    const WineRegistry user(AccountKey(root, "1", PopValues("x.org")));
    EXPECT_EQ(import::ReadAccountManagerAccounts(import::AccountManager::kOffice, user).size(), 1u);
  }
}

// A program file with a version resource's fixed information block.
std::string ProgramBytes(std::uint64_t version) {
  std::string bytes = "MZ" + std::string(62, '\0') + "padding";
  std::string block("\xBD\x04\xEF\xFE\x00\x00\x01\x00", 8);
  const std::uint32_t high = static_cast<std::uint32_t>(version >> 32);
  const std::uint32_t low = static_cast<std::uint32_t>(version);
  for (std::uint32_t half : {high, low}) {
    for (int i = 0; i < 4; ++i) block.push_back(static_cast<char>((half >> (8 * i)) & 0xFF));
  }
  // A signature with the wrong structure version before the real one is passed over.
  return bytes + std::string("\xBD\x04\xEF\xFE\x00\x00\x02\x00", 8) + block;
}

TEST(FileVersionTest, ReadsTheFixedFileInformation) {
  EXPECT_EQ(import::FileVersionIn(ProgramBytes(import::FileVersion(9, 0, 2720, 1))),
            import::FileVersion(9, 0, 2720, 1));
  EXPECT_FALSE(import::FileVersionIn("MZ no resource"));
  EXPECT_FALSE(import::FileVersionIn(std::string("\xBD\x04\xEF\xFE\x00\x00\x01\x00", 8)));
}

// A Wine prefix with an App Paths entry for each program and its program file.
struct WineFixture {
  struct Program {
    std::string file;         // "outlook.exe"
    std::string windows_dir;  // under C:
    std::uint64_t version;
  };
  explicit WineFixture(const std::vector<Program>& programs, const std::string& user_reg = {}) {
    std::string system = "WINE REGISTRY Version 2\n";
    for (const Program& p : programs) {
      system += "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\" + p.file +
                "]\n@=str(2):\"%ProgramFiles%\\\\" + p.windows_dir + "\\\\" + p.file + "\"\n";
      // The file's letters in another case than the entry's: Windows names ignore case.
      WriteSettingsFile(prefix + "/drive_c/Program Files/" + p.windows_dir + "/" + Upper(p.file),
                        ProgramBytes(p.version));
    }
    WriteSettingsFile(prefix + "/system.reg", system);
    WriteSettingsFile(prefix + "/user.reg", "WINE REGISTRY Version 2\n" + user_reg);
  }
  static std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }
  std::vector<MailClientKind> Installed() const {
    return import::MailClients(home.path(), prefix).ListInstalled();
  }
  test_support::TempDir home;
  std::string prefix = home / ".wine";
};

struct OutlookCase {
  const char* label;
  std::uint64_t version;
  std::vector<MailClientKind> kinds;
};

TEST(WineDetectionTest, OutlookIsTheKindItsFileVersionAllows) {
  using import::FileVersion;
  for (const OutlookCase& c : std::vector<OutlookCase>{
           {"outlook_8_0", FileVersion(8, 0, 0, 0), {}},
           {"outlook_8_4", FileVersion(8, 4, 65535, 65535), {}},
           {"outlook_98", FileVersion(8, 5, 5104, 6), {MailClientKind::kOutlook98}},
           {"outlook_8_top", FileVersion(8, 65535, 65535, 65535), {MailClientKind::kOutlook98}},
           {"outlook_2000", FileVersion(9, 0, 0, 0), {MailClientKind::kOutlook}},
           {"outlook_2016", FileVersion(16, 0, 4266, 1001), {MailClientKind::kOutlook}},
       }) {
    WineFixture wine({{"outlook.exe", "Office", c.version}});
    EXPECT_EQ(wine.Installed(), c.kinds) << c.label;
  }
}

TEST(WineDetectionTest, AProgramCountsOnlyWhenItsEntryAndFileAgree) {
  WineFixture wine({{"msimn.exe", "Outlook Express", 0}, {"eudora.exe", "Eudora", 0}});
  EXPECT_EQ(wine.Installed(), (std::vector<MailClientKind>{MailClientKind::kEudora,
                                                           MailClientKind::kOutlookExpress}));
  std::filesystem::remove(wine.prefix + "/drive_c/Program Files/Eudora/EUDORA.EXE");
  EXPECT_EQ(wine.Installed(), (std::vector<MailClientKind>{MailClientKind::kOutlookExpress}));
  // WINEPREFIX names the prefix; without it ~/.wine is used.
  test_support::ScopedEnv env("WINEPREFIX", wine.home / "elsewhere");
  EXPECT_EQ(import::WinePrefixFolder(wine.home.path()), wine.home / "elsewhere");
  test_support::ScopedEnv unset("WINEPREFIX", std::nullopt);
  EXPECT_EQ(import::WinePrefixFolder(wine.home.path()), wine.home / ".wine");
}

TEST(WineDetectionTest, OutlookExpressAccountsAreReadFromTheUserHive) {
  WineFixture wine({{"msimn.exe", "Outlook Express", 0}},
                   AccountKey(kIam, "00000001", PopValues("main.org")) +
                       AccountKey("Identities\\\\{AAA}\\\\" + kIam, "1", PopValues("id.org")));
  import::NoSettingsFileQuestions questions;
  const auto candidates = import::MailClients(wine.home.path(), wine.prefix)
                              .ReadAccounts(MailClientKind::kOutlookExpress, questions);
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_EQ(candidates[1].pop3_host, "pop.id.org");
}

}  // namespace
}  // namespace pelrion::importtest
