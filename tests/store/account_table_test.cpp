#include "store/account_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "crypto/rc5.h"
#include "platform/dialogs.h"
#include "platform/main_thread.h"
#include "store/recording_listener_control.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using store::testing::Le32;
using store::testing::Md5Raw;
using store::testing::QuietPorts;
using store::testing::ReadFile;
using store::testing::TempDir;
using store::testing::WriteFile;

// ---- Stored bytes built from the layouts, independently of the code under test ----

std::string Text(std::string_view text, std::size_t size) {
  return store::testing::TextField(text, size);
}

// A 64-byte password field enciphered with RC5-32/16/8 under "rxmoqtbe".
std::string Enciphered(std::string_view password) {
  static const std::array<std::uint8_t, 8> kKey = {'r', 'x', 'm', 'o', 'q', 't', 'b', 'e'};
  const crypto::Rc5 rc5(kKey, 16);
  std::string field = Text(password, 64);
  rc5.Encrypt(std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(field.data()), 64));
  return field;
}

struct AccountFields {
  std::uint32_t id;
  std::uint32_t pop3_listener;
  std::uint32_t smtp_listener;
  std::string friendly;
  std::string pop3_user = "user";
  std::string pop3_password = "pop-pass";
  std::string smtp_user = "smtp-user";
  std::string smtp_password = "smtp-pass";
  std::int32_t smtp_auth = 1;
  std::int32_t included = 1;
};

// Version 2: 1428 bytes.
std::string AccountBytes(const AccountFields& f) {
  return Le32(f.id) + Le32(static_cast<std::uint32_t>(f.smtp_auth)) + Le32(f.pop3_listener) +
         Text(f.pop3_user, 256) + Enciphered(f.pop3_password) + Le32(f.smtp_listener) +
         Text(f.smtp_user, 256) + Enciphered(f.smtp_password) + Text("me@example.org", 256) +
         Text("Me", 256) + Text(f.friendly, 256) + Le32(static_cast<std::uint32_t>(f.included));
}

struct OldAccountFields {
  std::uint32_t id;
  std::string pop3_host;
  std::uint32_t pop3_port;
  std::string smtp_host;
  std::uint32_t smtp_port;
  std::string friendly;
};

// Version 1: 1948 bytes, the servers inside the account.
std::string OldAccountBytes(const OldAccountFields& f) {
  return Le32(f.id) + Le32(f.pop3_port) + Le32(f.smtp_port) + Le32(1) + Text(f.pop3_host, 256) +
         Text("user", 256) + Enciphered("pop-pass") + Text(f.smtp_host, 256) +
         Text("smtp-user", 256) + Enciphered("smtp-pass") + Text("me@example.org", 256) +
         Text("Me", 256) + Text(f.friendly, 264) + Le32(1);
}

std::string ListenerBytes(std::uint32_t id, std::string_view host, std::uint32_t port,
                          std::uint32_t protocol, std::uint32_t local_port) {
  return Le32(id) + Text(host, 256) + Le32(port) + Le32(protocol) + Le32(0x7F000001) +
         Le32(local_port);
}

std::string RecordFileBytes(char version, const std::vector<std::string>& records) {
  std::string bytes(1, version);
  for (const std::string& record : records) bytes += Md5Raw(record) + record;
  return bytes;
}

std::string FlipByte(std::string bytes, std::size_t at) {
  bytes[at] ^= 0x20;
  return bytes;
}

// ---- Recording stand-ins for the neighbours ----

struct ShownBox {
  std::string text;
  std::string caption;
  platform::DialogIcon icon;
  platform::DialogButtons buttons;
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  platform::DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                    platform::DialogIcon icon,
                                    platform::DialogButtons buttons) override {
    shown.push_back({std::string(text), std::string(caption), icon, buttons});
    if (answers.empty()) return platform::DialogAnswer::kOk;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view) override {}
  void ShowStartupStage(std::string_view) override {}

  std::vector<ShownBox> shown;
  std::deque<platform::DialogAnswer> answers;
};

class RecordingPeers : public AccountRemovalPeers {
 public:
  void HighlightAccountMessages(std::uint32_t id) override { highlighted.push_back(id); }
  void ForgetDigests(std::uint32_t id) override { forgotten.push_back(id); }
  std::vector<std::uint32_t> highlighted;
  std::vector<std::uint32_t> forgotten;
};

using testing::RecordingControl;

struct Notice {
  NoticeOrigin origin;
  std::uint32_t id;
  int flag;
  bool operator==(const Notice&) const = default;
};

// Remembers the notices removed; they may only go on the main thread.
class RecordingNotices : public StatusNotices {
 public:
  explicit RecordingNotices(const platform::MainThread& main_thread) : main_(main_thread) {}
  void RemoveStatusNotices(NoticeOrigin origin, std::uint32_t id, int flag) override {
    if (!main_.IsMainThread()) off_main = true;
    notices.push_back({origin, id, flag});
  }
  std::vector<Notice> notices;
  bool off_main = false;

 private:
  const platform::MainThread& main_;
};

// Listeners 1 (POP3 a.org), 2 (SMTP a.org), 3 (POP3 b.org), 4 (SMTP b.org).
const std::vector<std::string> kListeners = {
    ListenerBytes(1, "pop.a.org", 110, 0, 5110), ListenerBytes(2, "smtp.a.org", 25, 1, 5025),
    ListenerBytes(3, "pop.b.org", 110, 0, 6110), ListenerBytes(4, "smtp.b.org", 25, 1, 6025)};

class AccountTableTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::SetDialogs(&dialogs_); }
  void TearDown() override { platform::SetDialogs(nullptr); }

  std::string Db5() const { return dir_.File("db5.dat"); }
  std::string Db8() const { return dir_.File("db8.dat"); }

  void WriteFiles(const std::vector<std::string>& listeners,
                  const std::vector<std::string>& accounts, char version = 2) {
    WriteFile(Db8(), RecordFileBytes(1, listeners));
    WriteFile(Db5(), RecordFileBytes(version, accounts));
  }

  // Loads both tables in start-up order.
  void Load() {
    accounts_.reset();
    listeners_ = std::make_unique<ListenerTable>(dir_.path(), main_thread_, control_, notices_, registry_,
                                                 [](std::uint32_t) { return true; });
    listeners_->Load();
    accounts_ = std::make_unique<AccountTable>(dir_.path(), *listeners_, main_thread_, notices_);
    accounts_->Load();
    notices_.notices.clear();  // those of listeners dropped at load
  }

  std::vector<Notice> AccountNotices() const {
    std::vector<Notice> out;
    for (const Notice& n : notices_.notices) {
      if (n.origin == NoticeOrigin::kAccount) out.push_back(n);
    }
    return out;
  }

  TempDir dir_;
  ScriptedDialogs dialogs_;
  platform::PlainMainThread main_thread_;
  RecordingControl control_;
  RecordingNotices notices_{main_thread_};
  platform::MemoryRegistry registry_;
  RecordingPeers peers_;
  std::unique_ptr<ListenerTable> listeners_;
  std::unique_ptr<AccountTable> accounts_;
};

// ---- Loading ----

struct LoadCase {
  const char* name;
  std::vector<std::string> listeners;
  std::string db5;
  std::vector<std::uint32_t> accounts;
  std::uint32_t next_account_id;
  std::vector<std::uint32_t> listeners_left;
  // Counted after the orphans went: the ids of dropped listeners above the kept ones are
  // given out again.
  std::uint32_t next_listener_id;
};

class AccountLoadTest : public AccountTableTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(AccountLoadTest, KeepsValidAccountsAndTheListenersTheyUse) {
  WriteFile(Db8(), RecordFileBytes(1, GetParam().listeners));
  WriteFile(Db5(), GetParam().db5);
  Load();
  EXPECT_EQ(accounts_->Ids(), GetParam().accounts);
  EXPECT_EQ(accounts_->next_id(), GetParam().next_account_id);
  EXPECT_EQ(listeners_->Ids(), GetParam().listeners_left);
  EXPECT_EQ(listeners_->next_id(), GetParam().next_listener_id);
  EXPECT_EQ(listeners_->FindOrCreateListener("new.example.net", 110, ListenerProtocol::kPop3,
                                             /*start=*/false),
            GetParam().next_listener_id);
  for (std::uint32_t id : GetParam().listeners_left) {
    EXPECT_TRUE(accounts_->RefersToListener(id)) << "listener " << id;
  }
}

const std::string kAcc1 = AccountBytes({1, 1, 2, "One"});
const std::string kAcc5 = AccountBytes({5, 3, 4, "Five"});
const std::string kAcc6 = AccountBytes({6, 1, 2, "Six"});
const std::size_t kUnit = 16 + 1428;

INSTANTIATE_TEST_SUITE_P(
    Files, AccountLoadTest,
    ::testing::Values(LoadCase{"BothEmpty", {}, "", {}, 1, {}, 1},
                      LoadCase{"NoAccountsDropsEveryListener", kListeners, "", {}, 1, {}, 1},
                      LoadCase{"ThreeAccounts",
                               kListeners,
                               RecordFileBytes(2, {kAcc1, kAcc5, kAcc6}),
                               {1, 5, 6},
                               7,
                               {1, 2, 3, 4}, 5},
                      LoadCase{"UnusedListenersDropped",
                               kListeners,
                               RecordFileBytes(2, {kAcc1, kAcc6}),
                               {1, 6},
                               7,
                               {1, 2}, 3},
                      LoadCase{"MissingSmtpListenerDropsAccount",
                               kListeners,
                               RecordFileBytes(2, {kAcc1, AccountBytes({9, 3, 8, "Nine"})}),
                               {1},
                               2,
                               {1, 2}, 3},
                      LoadCase{"MissingPop3ListenerDropsAccount",
                               kListeners,
                               RecordFileBytes(2, {AccountBytes({9, 7, 4, "Nine"}), kAcc5}),
                               {5},
                               6,
                               {3, 4}, 5},
                      LoadCase{"LastCutShort",
                               kListeners,
                               RecordFileBytes(2, {kAcc1, kAcc5}).substr(0, 1 + kUnit + 1000),
                               {1},
                               2,
                               {1, 2}, 3},
                      LoadCase{"FlippedByteDropsOneRecord",
                               kListeners,
                               FlipByte(RecordFileBytes(2, {kAcc1, kAcc5, kAcc6}),
                                        1 + kUnit + 16 + 1200),
                               {1, 6},
                               7,
                               {1, 2}, 3},
                      LoadCase{"FlippedPasswordByte",
                               kListeners,
                               FlipByte(RecordFileBytes(2, {kAcc1, kAcc5}), 1 + 16 + 270),
                               {5},
                               6,
                               {3, 4}, 5},
                      LoadCase{"DuplicateIdFirstWins",
                               kListeners,
                               RecordFileBytes(2, {kAcc1, AccountBytes({1, 3, 4, "Again"})}),
                               {1},
                               2,
                               {1, 2}, 3},
                      LoadCase{"OtherVersionByteIsCurrentLayout",
                               kListeners,
                               RecordFileBytes(9, {kAcc5}),
                               {5},
                               6,
                               {3, 4}, 5},
                      LoadCase{"OrphanAboveTheKeptIds",
                               {kListeners[0], kListeners[1], kListeners[2], kListeners[3],
                                ListenerBytes(10, "pop.c.org", 110, 0, 7110)},
                               RecordFileBytes(2, {kAcc1, kAcc5}),
                               {1, 5},
                               6,
                               {1, 2, 3, 4},
                               5}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

TEST_F(AccountTableTest, LoadDecipheresPasswordsAndSaveWritesTheSameBytes) {
  AccountFields f{1, 1, 2, "One"};
  f.pop3_password = "p\xE4ss word";
  f.smtp_password = std::string(63, 'S');
  std::string odd = AccountBytes(f);
  odd[12 + 250] = 'q';  // after the user name's terminator: copied as it is
  const std::string db5 = RecordFileBytes(2, {odd, kAcc5});
  WriteFiles(kListeners, {});
  WriteFile(Db5(), db5);
  Load();
  auto account = accounts_->CopyOf(1);
  ASSERT_TRUE(account);
  EXPECT_EQ(account->pop3_password.Text(), "p\xE4ss word");
  EXPECT_EQ(account->smtp_password.Text(), std::string(63, 'S'));
  accounts_->SaveAccounts();
  EXPECT_EQ(ReadFile(Db5()), db5);
  // And a second generation reads the same table.
  Load();
  EXPECT_EQ(accounts_->Ids(), (std::vector<std::uint32_t>{1, 5}));
  EXPECT_TRUE(SameStoredAccount(*accounts_->CopyOf(1), *account));
}

TEST_F(AccountTableTest, DroppedListenerIsSavedAtLoad) {
  WriteFiles(kListeners, {kAcc1});
  Load();
  EXPECT_EQ(ReadFile(Db8()), RecordFileBytes(1, {kListeners[0], kListeners[1]}));
  EXPECT_TRUE(control_.stopped.empty()) << "nothing runs at load";
}

// A hand-made version-1 file: two accounts on the same POP3 server (host in other case),
// different SMTP servers.
TEST_F(AccountTableTest, Version1FileIsConvertedAndRewritten) {
  const std::string v1 = RecordFileBytes(
      1, {OldAccountBytes({3, "Pop.Example.org", 110, "smtp.example.org", 25, "Home"}),
          OldAccountBytes({8, "pop.example.ORG", 110, "relay.example.net", 587, "Work"})});
  WriteFile(Db5(), v1);
  Load();

  EXPECT_EQ(accounts_->Ids(), (std::vector<std::uint32_t>{3, 8}));
  EXPECT_EQ(accounts_->next_id(), 9u);
  // Listeners in creation order: shared POP3 (5110), SMTP (5025), second SMTP (6025).
  EXPECT_EQ(ReadFile(Db8()),
            RecordFileBytes(1, {ListenerBytes(1, "Pop.Example.org", 110, 0, 5110),
                                ListenerBytes(2, "smtp.example.org", 25, 1, 5025),
                                ListenerBytes(3, "relay.example.net", 587, 1, 6025)}));
  AccountFields home{3, 1, 2, "Home"};
  home.pop3_user = "user";
  AccountFields work{8, 1, 3, "Work"};
  const std::string want = RecordFileBytes(2, {AccountBytes(home), AccountBytes(work)});
  EXPECT_EQ(ReadFile(Db5()).size(), 1 + 2 * 1444u);
  EXPECT_EQ(ReadFile(Db5()), want);
  EXPECT_TRUE(control_.started.empty()) << "nothing starts during loading";

  // The converted file loads as version 2 and stays as it is.
  Load();
  EXPECT_EQ(accounts_->Ids(), (std::vector<std::uint32_t>{3, 8}));
  EXPECT_EQ(ReadFile(Db5()), want);
  EXPECT_EQ(accounts_->CopyOf(8)->smtp_password.Text(), "smtp-pass");
}

TEST_F(AccountTableTest, Version1DamagedRecordIsLeftOut) {
  WriteFile(Db5(), FlipByte(RecordFileBytes(1, {OldAccountBytes({3, "a", 110, "b", 25, "A"}),
                                                OldAccountBytes({4, "c", 110, "d", 25, "C"})}),
                            1 + 16 + 600));
  Load();
  EXPECT_EQ(accounts_->Ids(), std::vector<std::uint32_t>{4});
  EXPECT_EQ(listeners_->size(), 2u);
  EXPECT_EQ(ReadFile(Db5())[0], '\2');
}

TEST_F(AccountTableTest, PasswordsNeverReachTheDiskInClear) {
  WriteFiles(kListeners, {kAcc1});
  Load();
  MailAccount fields;
  fields.pop3_listener_id = 1;
  fields.smtp_listener_id = 2;
  fields.friendly_name.Set("New");
  fields.pop3_password.Set("CorrectHorseBattery");
  fields.smtp_password.Set("StapleTwentyOne");
  const auto id = accounts_->AddAccount(fields);
  EXPECT_EQ(id, 2u);
  const std::string db5 = ReadFile(Db5());
  EXPECT_EQ(db5.find("CorrectHorse"), std::string::npos);
  EXPECT_EQ(db5.find("StapleTwenty"), std::string::npos);
  Load();
  EXPECT_EQ(accounts_->CopyOf(id)->pop3_password.Text(), "CorrectHorseBattery");
}

// ---- Lookups ----

TEST_F(AccountTableTest, FindAccountForLoginMatchesListenerAndNameWithoutCase) {
  AccountFields a{1, 1, 2, "One"};
  a.pop3_user = "Jane.Roe";
  AccountFields b{2, 3, 4, "Two"};
  b.pop3_user = "jane.roe";
  WriteFiles(kListeners, {AccountBytes(a), AccountBytes(b)});
  Load();
  struct Row {
    const char* name;
    std::uint32_t listener;
    const char* user;
    std::uint32_t want;  // 0 = none
  };
  const Row rows[] = {
      {"ExactName", 1, "Jane.Roe", 1},
      {"OtherCase", 1, "JANE.ROE", 1},
      {"OtherListener", 3, "Jane.Roe", 2},
      {"NamePrefix", 1, "Jane", 0},
      {"LongerName", 1, "Jane.Roe2", 0},
      {"SmtpListenerIsNoLogin", 2, "Jane.Roe", 0},
      {"Empty", 1, "", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MailAccount* found = accounts_->FindAccountForLogin(row.listener, row.user);
    EXPECT_EQ(found ? found->id : 0u, row.want);
    accounts_->ReleaseAccount(found);
  }
  EXPECT_TRUE(notices_.notices.empty()) << "finding and releasing leaves the table's reference";
}

TEST_F(AccountTableTest, FriendlyNameInUseIgnoresCaseAndTheAccountItself) {
  WriteFiles(kListeners, {AccountBytes({1, 1, 2, "Work Mail"}), AccountBytes({2, 3, 4, "Home"})});
  Load();
  struct Row {
    const char* name;
    const char* friendly;
    std::uint32_t except;
    bool want;
  };
  const Row rows[] = {
      {"SameName", "Work Mail", 0, true},      {"OtherCase", "WORK mail", 0, true},
      {"OtherCaseOfAnother", "home", 1, true}, {"ItselfIsNoConflict", "work mail", 1, false},
      {"NewName", "Travel", 0, false},         {"Prefix", "Work", 0, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(accounts_->FriendlyNameInUse(row.friendly, row.except), row.want);
  }
}

TEST_F(AccountTableTest, CompareAccountNamesIgnoresCase) {
  WriteFiles(kListeners, {AccountBytes({1, 1, 2, "alpha"}), AccountBytes({2, 1, 2, "Beta"}),
                          AccountBytes({3, 1, 2, "ALPHA"}), AccountBytes({4, 1, 2, "alphabet"})});
  Load();
  struct Row {
    const char* name;
    std::uint32_t a, b;
    int sign;
  };
  const Row rows[] = {{"LowerBeforeUpper", 1, 2, -1},
                      {"UpperAfterLower", 2, 1, 1},
                      {"SameLetters", 1, 3, 0},
                      {"PrefixFirst", 3, 4, -1},
                      {"MissingIsEmpty", 9, 1, -1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const int got = accounts_->CompareAccountNames(row.a, row.b);
    EXPECT_EQ((got > 0) - (got < 0), row.sign) << "got " << got;
  }
}

TEST_F(AccountTableTest, MessageCountsFollowTheStore) {
  WriteFiles(kListeners, {kAcc1});
  Load();
  MessageAccounts& store_view = *accounts_;
  EXPECT_TRUE(store_view.AccountExists(1));
  EXPECT_FALSE(store_view.AccountExists(2));
  EXPECT_TRUE(store_view.AdjustMessageCount(1, 3));
  EXPECT_TRUE(store_view.AdjustMessageCount(1, -1));
  EXPECT_FALSE(store_view.AdjustMessageCount(2, 1));
  EXPECT_EQ(accounts_->CopyOf(1)->message_count, 2);
}

// ---- Removal ----

TEST_F(AccountTableTest, AccountWithMessagesIsNotRemoved) {
  WriteFiles(kListeners, {AccountBytes({1, 1, 2, "Work"})});
  Load();
  accounts_->AdjustMessageCount(1, 1);
  const std::string before = ReadFile(Db5());
  EXPECT_FALSE(accounts_->RemoveAccount(1, &peers_));
  EXPECT_TRUE(accounts_->AccountExists(1));
  EXPECT_EQ(peers_.highlighted, std::vector<std::uint32_t>{1});
  EXPECT_TRUE(peers_.forgotten.empty());
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text,
            "There are 1 messages associated with the 'Work' Account.\nPelrion has highlighted "
            "these messages with the red color.\nPlease either delete or download them before "
            "removing the account.");
  EXPECT_EQ(dialogs_.shown[0].caption, "Mail Accounts");
  EXPECT_EQ(dialogs_.shown[0].icon, platform::DialogIcon::kWarning);
  EXPECT_EQ(dialogs_.shown[0].buttons, platform::DialogButtons::kOk);
  EXPECT_EQ(ReadFile(Db5()), before);
  EXPECT_TRUE(notices_.notices.empty());
}

TEST_F(AccountTableTest, AnsweringNoKeepsTheAccount) {
  WriteFiles(kListeners, {AccountBytes({1, 1, 2, "Work"})});
  Load();
  dialogs_.answers = {platform::DialogAnswer::kNo};
  EXPECT_FALSE(accounts_->RemoveAccount(1, &peers_));
  EXPECT_TRUE(accounts_->AccountExists(1));
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, "Are you sure you want to delete the 'Work' Account?");
  EXPECT_EQ(dialogs_.shown[0].caption, "Mail Accounts");
  EXPECT_EQ(dialogs_.shown[0].buttons, platform::DialogButtons::kYesNo);
  EXPECT_EQ(dialogs_.shown[0].icon, platform::DialogIcon::kWarning);
  EXPECT_TRUE(peers_.forgotten.empty());
  EXPECT_TRUE(control_.stopped.empty());
}

TEST_F(AccountTableTest, SharedListenerStaysUntilItsLastAccountGoes) {
  // Accounts 1 and 6 share listeners 1 and 2; account 5 has 3 and 4.
  WriteFiles(kListeners, {kAcc1, kAcc5, kAcc6});
  Load();
  dialogs_.answers = {platform::DialogAnswer::kYes, platform::DialogAnswer::kYes};

  ASSERT_TRUE(accounts_->RemoveAccount(1, &peers_));
  EXPECT_EQ(listeners_->Ids(), (std::vector<std::uint32_t>{1, 2, 3, 4}));
  EXPECT_TRUE(control_.stopped.empty());
  EXPECT_EQ(notices_.notices,
            (std::vector<Notice>{{NoticeOrigin::kAccount, 1, 1}, {NoticeOrigin::kAccount, 1, 0}}));

  ASSERT_TRUE(accounts_->RemoveAccount(6, &peers_));
  EXPECT_EQ(listeners_->Ids(), (std::vector<std::uint32_t>{3, 4}));
  EXPECT_EQ(control_.stopped, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_EQ(peers_.forgotten, (std::vector<std::uint32_t>{1, 6}));

  EXPECT_EQ(ReadFile(Db5()), RecordFileBytes(2, {kAcc5}));
  EXPECT_EQ(ReadFile(Db8()), RecordFileBytes(1, {kListeners[2], kListeners[3]}));
  EXPECT_FALSE(accounts_->RemoveAccount(6, &peers_)) << "already gone";
}

TEST_F(AccountTableTest, HeldAccountOutlivesItsRemoval) {
  WriteFiles(kListeners, {kAcc1, kAcc5});
  Load();
  MailAccount* held = accounts_->FindAccount(5);
  ASSERT_NE(held, nullptr);
  dialogs_.answers = {platform::DialogAnswer::kYes};
  ASSERT_TRUE(accounts_->RemoveAccount(5, &peers_));
  EXPECT_EQ(accounts_->FindAccount(5), nullptr);
  EXPECT_EQ(held->friendly_name.Text(), "Five");
  EXPECT_TRUE(AccountNotices().empty());
  accounts_->ReleaseAccount(held);
  EXPECT_EQ(AccountNotices(),
            (std::vector<Notice>{{NoticeOrigin::kAccount, 5, 1}, {NoticeOrigin::kAccount, 5, 0}}));
}

TEST_F(AccountTableTest, NewIdsCountUpFromTheLargestStored) {
  WriteFiles(kListeners, {kAcc5, kAcc1});
  Load();
  MailAccount fields;
  fields.pop3_listener_id = 1;
  fields.smtp_listener_id = 2;
  EXPECT_EQ(accounts_->AddAccount(fields), 6u);
  EXPECT_EQ(accounts_->AddAccount(fields), 7u);
  dialogs_.answers = {platform::DialogAnswer::kYes};
  ASSERT_TRUE(accounts_->RemoveAccount(7, &peers_));
  EXPECT_EQ(accounts_->AddAccount(fields), 8u) << "ids are not reused within a run";
}

TEST_F(AccountTableTest, UpdateKeepsCountsAndIsSaved) {
  WriteFiles(kListeners, {kAcc1});
  Load();
  accounts_->AdjustMessageCount(1, 4);
  MailAccount fields = *accounts_->CopyOf(1);
  fields.friendly_name.Set("Renamed");
  fields.message_count = 0;
  EXPECT_TRUE(accounts_->UpdateAccount(fields));
  fields.id = 99;
  EXPECT_FALSE(accounts_->UpdateAccount(fields));
  EXPECT_EQ(accounts_->CopyOf(1)->message_count, 4);
  EXPECT_EQ(ReadFile(Db5()), RecordFileBytes(2, {AccountBytes({1, 1, 2, "Renamed"})}));
}

// Changing an account puts a new record in its place: a holder keeps reading the fields it
// found, and the old record goes with its last reference without a notice, since the id
// lives on. (Under ASan a record freed too early is a use after free, one never freed a
// leak.)
TEST_F(AccountTableTest, UpdateReplacesTheRecordAndHoldersKeepTheOldOne) {
  WriteFiles(kListeners, {kAcc1});
  Load();
  accounts_->AdjustMessageCount(1, 2);
  MailAccount* held = accounts_->FindAccount(1);
  ASSERT_NE(held, nullptr);
  MailAccount fields = *accounts_->CopyOf(1);
  for (const char* name : {"Second", "Third"}) {  // "Second" has no holder: freed at once
    fields.friendly_name.Set(name);
    ASSERT_TRUE(accounts_->UpdateAccount(fields));
  }

  EXPECT_EQ(held->friendly_name.Text(), "One");
  MailAccount* current = accounts_->FindAccount(1);
  ASSERT_NE(current, nullptr);
  EXPECT_NE(current, held);
  EXPECT_EQ(current->friendly_name.Text(), "Third");
  accounts_->ReleaseAccount(current);
  accounts_->ReleaseAccount(held);
  EXPECT_TRUE(notices_.notices.empty());

  // The message count went over to the new record and keeps following the store.
  accounts_->AdjustMessageCount(1, -2);
  EXPECT_EQ(accounts_->CopyOf(1)->message_count, 0);
  // The table holds exactly one reference to the new record: removing the account frees it.
  dialogs_.answers = {platform::DialogAnswer::kYes};
  ASSERT_TRUE(accounts_->RemoveAccount(1, &peers_));
  EXPECT_EQ(AccountNotices(),
            (std::vector<Notice>{{NoticeOrigin::kAccount, 1, 1}, {NoticeOrigin::kAccount, 1, 0}}));
}

TEST_F(AccountTableTest, SnapshotCopiesTheAccountWithItsListeners) {
  WriteFiles(kListeners, {kAcc1, kAcc5});
  Load();
  const std::optional<AccountSnapshot> snapshot = accounts_->Snapshot(5);
  ASSERT_TRUE(snapshot.has_value());
  EXPECT_EQ(snapshot->account.friendly_name.Text(), "Five");
  EXPECT_EQ(snapshot->pop3.server_host.Text(), "pop.b.org");
  EXPECT_EQ(snapshot->smtp.server_host.Text(), "smtp.b.org");
  ASSERT_TRUE(listeners_->SetLocalEndpoint(3, 0, 7777));
  EXPECT_EQ(snapshot->pop3.local_port, 6110u) << "later changes do not reach a copy";
  EXPECT_EQ(accounts_->Snapshot(5)->pop3.local_port, 7777u);
  EXPECT_FALSE(accounts_->Snapshot(42).has_value());
}

// ---- Inspection for the check tool ----

TEST(AccountInspectTest, ReportsDigestAndAcceptancePerUnit) {
  const std::string file =
      FlipByte(RecordFileBytes(2, {kAcc1, kAcc5, AccountBytes({1, 1, 2, "Dup"}), kAcc6}),
               1 + kUnit + 100) +
      "xy";
  const AccountFileReport report = InspectAccountFile(file, {1, 2});
  EXPECT_EQ(report.version, std::optional<std::uint8_t>(2));
  EXPECT_EQ(report.record_size, 1428u);
  EXPECT_EQ(report.trailing_bytes, 2u);
  ASSERT_EQ(report.units.size(), 4u);
  struct Row {
    const char* name;
    std::size_t index;
    bool digest_ok;
    bool listeners_exist;
    bool accepted;
  };
  for (const Row& row :
       {Row{"Good", 0, true, true, true}, Row{"Flipped", 1, false, false, false},
        Row{"DuplicateId", 2, true, true, false}, Row{"Good2", 3, true, true, true}}) {
    SCOPED_TRACE(row.name);
    const AccountUnit& unit = report.units[row.index];
    EXPECT_EQ(unit.offset, 1 + row.index * kUnit);
    EXPECT_EQ(unit.digest_ok, row.digest_ok);
    EXPECT_EQ(unit.listeners_exist, row.listeners_exist);
    EXPECT_EQ(unit.accepted, row.accepted);
  }
  EXPECT_EQ(report.units[3].account->friendly_name.Text(), "Six");

  const AccountFileReport old =
      InspectAccountFile(RecordFileBytes(1, {OldAccountBytes({3, "h", 110, "s", 25, "Old"})}), {});
  EXPECT_EQ(old.record_size, 1948u);
  ASSERT_EQ(old.units.size(), 1u);
  EXPECT_TRUE(old.units[0].accepted);
  EXPECT_EQ(old.units[0].old->pop3_host.Text(), "h");
}

// ---- File errors ----

TEST(AccountTableDeathTest, FileErrorsAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;  // the default dialogs write the text to standard error
  struct Row {
    const char* name;
    void (*act)(const std::string& folder);
  };
  const Row rows[] = {
      {"Db5IsAFolder",
       [](const std::string& folder) {
         ::mkdir((folder + "/db5.dat").c_str(), 0700);
         QuietPorts quiet;
         ListenerTable listeners(folder, quiet.main_thread, quiet.listener_control,
                                 quiet.notices, quiet.registry);
         listeners.Load();
         AccountTable accounts(folder, listeners, quiet.main_thread, quiet.notices);
         accounts.Load();
       }},
      {"SaveIntoMissingFolder",
       [](const std::string& folder) {
         QuietPorts quiet;
         ListenerTable listeners(folder + "/gone", quiet.main_thread, quiet.listener_control,
                                 quiet.notices, quiet.registry);
         AccountTable accounts(folder + "/gone", listeners, quiet.main_thread, quiet.notices);
         accounts.SaveAccounts();
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EXIT(row.act(dir.path()), ::testing::ExitedWithCode(1),
                "Critical error on database access\\.");
  }
}

// ---- Worker threads ----

// Workers find, read and release accounts (by id and by login) while the main thread removes
// half of them; every removed account's two notices arrive exactly once, on the main thread,
// and the kept accounts are always found.
TEST(AccountTableThreadTest, WorkersHoldAccountsWhileMainThreadRemoves) {
  platform::PlainMainThread main_thread;
  ScriptedDialogs dialogs;
  platform::SetDialogs(&dialogs);
  TempDir dir;

  constexpr std::uint32_t kCount = 30;
  std::vector<std::string> listeners;
  std::vector<std::string> accounts;
  for (std::uint32_t i = 1; i <= kCount; ++i) {
    listeners.push_back(ListenerBytes(2 * i - 1, "pop" + std::to_string(i), 110, 0, 5000 + i));
    listeners.push_back(ListenerBytes(2 * i, "smtp" + std::to_string(i), 25, 1, 6000 + i));
    AccountFields f{i, 2 * i - 1, 2 * i, "Account " + std::to_string(i)};
    f.pop3_user = "user" + std::to_string(i);
    accounts.push_back(AccountBytes(f));
    dialogs.answers.push_back(platform::DialogAnswer::kYes);
  }
  WriteFile(dir.File("db8.dat"), RecordFileBytes(1, listeners));
  WriteFile(dir.File("db5.dat"), RecordFileBytes(2, accounts));

  RecordingNotices notices(main_thread);
  NoListenerControl control;
  platform::MemoryRegistry registry;
  ListenerTable listener_table(dir.path(), main_thread, control, notices, registry,
                               [](std::uint32_t) { return true; });
  listener_table.Load();
  AccountTable table(dir.path(), listener_table, main_thread, notices);
  table.Load();

  std::atomic<int> running{4};
  std::atomic<int> kept_misses{0};
  std::atomic<bool> bad_read{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int round = 0; round < 400; ++round) {
        const std::uint32_t id = 1 + static_cast<std::uint32_t>((round * 5 + w) % kCount);
        MailAccount* a = (round % 2 == 0)
                             ? table.FindAccount(id)
                             : table.FindAccountForLogin(2 * id - 1, "USER" + std::to_string(id));
        if (a == nullptr) {
          if (id % 2 == 0) ++kept_misses;  // even ids are never removed
          continue;
        }
        if (a->id != id || a->pop3_listener_id != 2 * id - 1) bad_read = true;
        if (a->friendly_name.Text() != "Account " + std::to_string(id)) bad_read = true;
        table.ReleaseAccount(a);
      }
      --running;
    });
  }
  for (std::uint32_t id = 1; id <= kCount; id += 2) {
    table.RemoveAccount(id, nullptr);
    main_thread.PumpPending();
  }
  main_thread.RunUntil([&] { return running == 0; });
  for (auto& t : workers) t.join();
  platform::SetDialogs(nullptr);

  EXPECT_FALSE(bad_read);
  EXPECT_EQ(kept_misses, 0);
  EXPECT_FALSE(notices.off_main);
  std::multiset<std::pair<std::uint32_t, int>> account_notices;
  std::set<std::uint32_t> listener_notices;
  for (const Notice& n : notices.notices) {
    if (n.origin == NoticeOrigin::kAccount) account_notices.insert({n.id, n.flag});
    if (n.origin == NoticeOrigin::kListener) listener_notices.insert(n.id);
  }
  std::multiset<std::pair<std::uint32_t, int>> want_accounts;
  std::set<std::uint32_t> want_listeners;
  for (std::uint32_t id = 1; id <= kCount; id += 2) {
    want_accounts.insert({id, 0});
    want_accounts.insert({id, 1});
    want_listeners.insert(2 * id - 1);
    want_listeners.insert(2 * id);
  }
  EXPECT_EQ(account_notices, want_accounts);
  EXPECT_EQ(listener_notices, want_listeners);
  EXPECT_EQ(table.size(), kCount / 2);
  EXPECT_EQ(listener_table.size(), kCount);
}

// A worker holds an account and keeps reading it, and keeps finding the current one, while
// the main thread changes the account over and over: every record read is whole (its names
// all of one change), the held one never changes, and no notice goes for the living id.
TEST(AccountTableThreadTest, WorkerReadsWholeRecordsWhileMainThreadUpdates) {
  platform::PlainMainThread main_thread;
  TempDir dir;
  AccountFields first{1, 1, 2, "v0"};
  first.pop3_user = "v0";
  first.smtp_user = "v0-smtp";
  WriteFile(dir.File("db8.dat"), RecordFileBytes(1, kListeners));
  WriteFile(dir.File("db5.dat"), RecordFileBytes(2, {AccountBytes(first)}));
  RecordingNotices notices(main_thread);
  NoListenerControl control;
  platform::MemoryRegistry registry;
  ListenerTable listeners(dir.path(), main_thread, control, notices, registry,
                          [](std::uint32_t) { return true; });
  listeners.Load();
  AccountTable table(dir.path(), listeners, main_thread, notices);
  table.Load();
  notices.notices.clear();  // those of the listeners no account uses, dropped at load

  auto whole = [](const MailAccount& a) {
    const std::string name(a.friendly_name.Text());
    return a.pop3_user_name.Text() == name && a.smtp_user_name.Text() == name + "-smtp";
  };
  std::atomic<bool> holding{false}, stop{false}, done{false};
  std::atomic<bool> torn{false}, held_changed{false};
  std::thread worker([&] {
    MailAccount* held = table.FindAccount(1);
    holding = true;
    while (!stop) {
      if (held->friendly_name.Text() != "v0" || !whole(*held)) held_changed = true;
      if (MailAccount* now = table.FindAccount(1)) {
        if (!whole(*now)) torn = true;
        table.ReleaseAccount(now);
      }
    }
    table.ReleaseAccount(held);
    done = true;
  });
  main_thread.RunUntil([&] { return holding.load(); });
  MailAccount fields = *table.CopyOf(1);
  for (int k = 1; k <= 200; ++k) {
    const std::string name = "v" + std::to_string(k);
    fields.friendly_name.Set(name);
    fields.pop3_user_name.Set(name);
    fields.smtp_user_name.Set(name + "-smtp");
    EXPECT_TRUE(table.UpdateAccount(fields));
    main_thread.PumpPending();
  }
  stop = true;
  main_thread.RunUntil([&] { return done.load(); });
  worker.join();

  EXPECT_FALSE(torn);
  EXPECT_FALSE(held_changed);
  EXPECT_TRUE(notices.notices.empty());
  EXPECT_EQ(table.CopyOf(1)->friendly_name.Text(), "v200");
}

}  // namespace
}  // namespace pelrion::store
