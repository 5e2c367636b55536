// Builds a database folder through the real tables, then runs `pelrion-db dump` and
// `pelrion-db check` over it and reads the JSON back with Python's json module.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "crypto/md5.h"
#include "store/account_table.h"
#include "store/address_list_table.h"
#include "store/duplicate_digest_table.h"
#include "store/installation_id.h"
#include "store/listener_table.h"
#include "store/message_record.h"
#include "store/message_table.h"
#include "store/store_test_helpers.h"
#include "store/trusted_domains.h"
#include "support/run_command.h"

#ifndef PELRION_DB_BIN
#error "PELRION_DB_BIN must name the pelrion-db executable"
#endif

namespace pelrion::store {
namespace {

using testing::Md5Raw;
using testing::QuietPorts;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

constexpr char kPop3Password[] = "Pw0rd-of-POP3!";
constexpr char kSmtpPassword[] = "Pw0rd-of-SMTP!";
constexpr std::uint32_t kGhostAccount = 99;  // messages and digests refer to it; it is never saved

// Prints every leaf of the JSON document on stdin as "path=json", and every array as
// "path#length"; any parse error makes it fail.
constexpr char kFlattenScript[] = R"PY(
import json, sys
def walk(path, value):
    if isinstance(value, dict):
        for key, item in value.items():
            walk(path + [key], item)
    elif isinstance(value, list):
        print('.'.join(path) + '#' + str(len(value)))
        for index, item in enumerate(value):
            walk(path + [str(index)], item)
    else:
        print('.'.join(path) + '=' + json.dumps(value))
walk([], json.loads(sys.stdin.buffer.read().decode('ascii')))
)PY";

using test_support::RunCommand;
using test_support::RunResult;

RunResult RunTool(const std::string& args) {
  return RunCommand(std::string(PELRION_DB_BIN) + " " + args + " 2>/dev/null");
}

// The dump's leaves by path; empty (and a failure recorded) when the output is not JSON.
std::map<std::string, std::string> FlatDump(const std::string& dir, const TempDir& scratch) {
  WriteFile(scratch.File("flatten.py"), kFlattenScript);
  const RunResult run = RunCommand(std::string(PELRION_DB_BIN) + " dump " + dir +
                            " 2>/dev/null | /usr/bin/python3 " + scratch.File("flatten.py"));
  EXPECT_EQ(run.status, 0) << "the dump is not valid JSON (or the tool failed)";
  std::map<std::string, std::string> flat;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t cut = line.find_first_of("=#");
    if (cut != std::string::npos) flat[line.substr(0, cut + 1)] = line.substr(cut + 1);
  }
  return flat;
}

// Answers for accounts the message and digest tables are allowed to see: the real accounts
// plus one that was never saved, as if it had been removed between two runs.
class WiderAccounts : public MessageAccounts {
 public:
  explicit WiderAccounts(const AccountTable& real) : real_(real) {}
  bool AccountExists(std::uint32_t id) const override {
    return id == kGhostAccount || real_.AccountExists(id);
  }
  bool AdjustMessageCount(std::uint32_t id, int) override { return AccountExists(id); }

 private:
  const AccountTable& real_;
};

struct FileState {
  std::string bytes;
  struct timespec mtime;
};

std::map<std::string, FileState> Snapshot(const std::string& dir) {
  std::map<std::string, FileState> files;
  const RunResult list = RunCommand("ls -A " + dir);
  std::istringstream names(list.out);
  for (std::string name; std::getline(names, name);) {
    struct stat info;
    if (::stat((dir + "/" + name).c_str(), &info) != 0) continue;
    files[name] = FileState{ReadFile(dir + "/" + name), info.st_mtim};
  }
  return files;
}

void ExpectUnchanged(const std::map<std::string, FileState>& before,
                     const std::map<std::string, FileState>& after) {
  ASSERT_EQ(after.size(), before.size());
  for (const auto& [name, state] : before) {
    SCOPED_TRACE(name);
    ASSERT_EQ(after.count(name), 1u);
    EXPECT_EQ(after.at(name).bytes, state.bytes);
    EXPECT_EQ(after.at(name).mtime.tv_sec, state.mtime.tv_sec);
    EXPECT_EQ(after.at(name).mtime.tv_nsec, state.mtime.tv_nsec);
  }
}

class DbDumpToolTest : public ::testing::Test {
 protected:
  DbDumpToolTest() { Build(); }

  std::string Folder() const { return dir_.path() + "/"; }

  void Build() {
    installation_id_ = LoadInstallationId(dir_.File("db6.dat"));

    QuietPorts quiet;
    ListenerTable listeners(Folder(), quiet.main_thread, quiet.listener_control, quiet.notices, quiet.registry,
                            [](std::uint32_t) { return true; });
    listeners.Load();
    AccountTable accounts(Folder(), listeners, quiet.main_thread, quiet.notices);
    accounts.Load();  // drops every listener no account uses: create them afterwards
    pop3_ = listeners.FindOrCreateListener("pop.example.com", 110, ListenerProtocol::kPop3, false);
    smtp_ = listeners.FindOrCreateListener("smtp.example.com", 587, ListenerProtocol::kSmtp, false);
    // No account will refer to this one: the next load drops it.
    listeners.FindOrCreateListener("old.example.net", 995, ListenerProtocol::kPop3, false);
    ASSERT_TRUE(listeners.SetLocalEndpoint(smtp_, 0x0A000102, 6025));

    MailAccount fields;
    fields.friendly_name.Set("Work \"main\"");
    fields.display_name.Set("Jos\xE9 Back\\slash\x01");
    fields.email_address.Set("jose@example.com");
    fields.pop3_user_name.Set("jose");
    fields.smtp_user_name.Set("jose.smtp");
    fields.pop3_password.Set(kPop3Password);
    fields.smtp_password.Set(kSmtpPassword);
    fields.smtp_authentication = 1;
    fields.included = 0;
    fields.pop3_listener_id = pop3_;
    fields.smtp_listener_id = smtp_;
    account_ = accounts.AddAccount(fields);

    WiderAccounts wider(accounts);
    MessageTable messages(Folder(), wider, quiet.held, quiet.view);
    messages.Load();
    inbox_id_ = FileMessage(messages, account_, kFlagDecided | kFlagInbox | kFlagRead, "hello");
    FileMessage(messages, kGhostAccount, 0, "orphan");

    AddressListTable contacts(Folder());
    contacts.Load();
    ASSERT_NE(contacts.AddContact("Ann", {"ann@example.com", "ann@example.org"},
                                  kTrustedContactsList),
              nullptr);
    ASSERT_NE(contacts.AddContact("Spammer", {"spam@junk.test"}, kBlackList), nullptr);

    TrustedDomainList domains(Folder());
    domains.Load();
    ASSERT_EQ(domains.AddTrustedDomain("trusted.test"), AddDomainResult::kAdded);
    ASSERT_EQ(domains.AddTrustedDomain("Example.COM"), AddDomainResult::kAdded);

    DuplicateDigestTable digests(Folder(), wider);
    digests.Load();
    ASSERT_TRUE(digests.RememberDigest(account_, "<m1@example.com>"));
    ASSERT_TRUE(digests.RememberDigest(kGhostAccount, "<m2@example.com>"));
  }

  std::uint32_t FileMessage(MessageTable& table, std::uint32_t account, std::uint32_t flags,
                            const std::string& subject) {
    auto record = std::make_unique<MessageRecord>();
    table.CreateMessageFile(*record);
    WriteFile(table.MessageFilePath(*record), "Subject: " + subject + "\r\n\r\nbody\r\n");
    record->account_id = account;
    record->flags = flags;
    record->status = 3;
    record->request_number = 41;
    record->authorization_code = 4242;
    record->request_sent_time = 1700000000;
    record->summary.file_size = 1234;
    record->summary.has_strings = true;
    record->summary.set_sender_address("bob@example.net");
    record->summary.set_subject_decoded(subject);
    const std::uint32_t id = record->id;
    EXPECT_NE(table.RegisterMessage(std::move(record)), nullptr);
    return id;
  }

  TempDir dir_;
  TempDir scratch_;
  std::string installation_id_;
  std::uint32_t pop3_ = 0, smtp_ = 0, account_ = 0, inbox_id_ = 0;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Lower-case hex of the MD5 of text, built apart from the tool's own formatting.
std::string HexMd5(std::string_view text) {
  std::string hex;
  for (unsigned char byte : Md5Raw(text)) {
    char two[3];
    std::snprintf(two, sizeof two, "%02x", byte);
    hex += two;
  }
  return hex;
}

TEST_F(DbDumpToolTest, DumpHoldsWhatALoadKeeps) {
  const auto flat = FlatDump(dir_.path(), scratch_);
  struct Row {
    const char* path;
    std::string want;
  };
  const std::vector<Row> rows = {
      {"installation_id=", Quoted(installation_id_)},
      {"accounts#", "1"},
      {"accounts.0.id=", std::to_string(account_)},
      {"accounts.0.friendly_name=", R"("Work \"main\"")"},
      {"accounts.0.display_name=", R"("Jos\u00e9 Back\\slash\u0001")"},
      {"accounts.0.email=", Quoted("jose@example.com")},
      {"accounts.0.pop3_user=", Quoted("jose")},
      {"accounts.0.smtp_user=", Quoted("jose.smtp")},
      {"accounts.0.smtp_auth=", "1"},
      {"accounts.0.included=", "0"},
      {"accounts.0.pop3_listener=", std::to_string(pop3_)},
      {"accounts.0.smtp_listener=", std::to_string(smtp_)},
      // The listener no account uses is gone.
      {"listeners#", "2"},
      {"listeners.0.id=", std::to_string(pop3_)},
      {"listeners.0.host=", Quoted("pop.example.com")},
      {"listeners.0.port=", "110"},
      {"listeners.0.protocol=", Quoted("POP3")},
      {"listeners.0.local_address=", Quoted("127.0.0.1")},
      {"listeners.0.local_port=", "5110"},
      {"listeners.1.protocol=", Quoted("SMTP")},
      {"listeners.1.local_address=", Quoted("10.0.1.2")},
      {"listeners.1.local_port=", "6025"},
      // The message of the unsaved account is left out.
      {"messages#", "1"},
      {"messages.0.id=", std::to_string(inbox_id_)},
      {"messages.0.account=", std::to_string(account_)},
      {"messages.0.flags=", std::to_string(kFlagDecided | kFlagInbox | kFlagRead)},
      {"messages.0.folder=", Quoted("Inbox")},
      {"messages.0.status=", "3"},
      {"messages.0.request_number=", "41"},
      {"messages.0.authorization_code=", "4242"},
      {"messages.0.request_sent=", "1700000000"},
      {"messages.0.size=", "1234"},
      {"messages.0.sender=", Quoted("bob@example.net")},
      {"messages.0.subject=", Quoted("hello")},
      {"contacts#", "2"},
      {"contacts.0.name=", Quoted("Ann")},
      {"contacts.0.list=", Quoted("Trusted Contacts")},
      {"contacts.0.addresses#", "2"},
      {"contacts.0.addresses.1=", Quoted("ann@example.org")},
      {"contacts.1.list=", Quoted("Black List")},
      {"contacts.1.addresses.0=", Quoted("spam@junk.test")},
      {"trusted_domains#", "2"},
      {"trusted_domains.0=", Quoted("example.com")},
      {"trusted_domains.1=", Quoted("trusted.test")},
      {"digests#", "1"},
      {"digests.0.account=", std::to_string(account_)},
      {"digests.0.digest=", Quoted(HexMd5("<m1@example.com>"))},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    ASSERT_EQ(flat.count(row.path), 1u);
    EXPECT_EQ(flat.at(row.path), row.want);
  }
  for (const auto& [path, value] : flat) {
    SCOPED_TRACE(path);
    EXPECT_EQ(path.find("password"), std::string::npos);
  }
}

TEST_F(DbDumpToolTest, CheckCountsWhatALoadDrops) {
  const RunResult run = RunTool("check " + dir_.path());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "db1.dat: 1 kept, 1 failed\n"  // the message of the unsaved account
            "db2.dat: 1 kept, 0 failed\n"
            "db3.dat: 2 kept, 0 failed\n"
            "db4.dat: 2 kept, 0 failed\n"
            "db5.dat: 1 kept, 0 failed\n"
            "db6.dat: 1 kept, 0 failed\n"
            "db7.dat: 1 kept, 1 failed\n"   // the digest of the unsaved account
            "db8.dat: 2 kept, 1 failed\n"   // the listener no account uses
            "db9.dat: 2 kept, 0 failed\n");
}

TEST_F(DbDumpToolTest, PasswordsNeverAppearInTheOutput) {
  for (const char* command : {"dump", "check"}) {
    SCOPED_TRACE(command);
    const RunResult run = RunTool(std::string(command) + " " + dir_.path());
    ASSERT_FALSE(run.out.empty());
    for (const std::string password : {kPop3Password, kSmtpPassword}) {
      EXPECT_EQ(run.out.find(password), std::string::npos);
      // Not even a telling part of it.
      EXPECT_EQ(run.out.find(password.substr(0, 6)), std::string::npos);
    }
  }
}

TEST_F(DbDumpToolTest, CheckAndDumpChangeNothing) {
  const auto before = Snapshot(dir_.path());
  ASSERT_GE(before.size(), 9u);
  for (const char* command : {"check", "dump"}) {
    SCOPED_TRACE(command);
    EXPECT_EQ(RunTool(std::string(command) + " " + dir_.path()).status, 0);
    ExpectUnchanged(before, Snapshot(dir_.path()));
  }
}

TEST(DbDumpToolEmptyTest, AMissingFileIsAnEmptyTableAndIsNotCreated) {
  TempDir dir, scratch;
  const auto flat = FlatDump(dir.path(), scratch);
  EXPECT_EQ(flat.at("installation_id="), "null");
  for (const char* table : {"accounts#", "listeners#", "messages#", "contacts#",
                            "trusted_domains#", "digests#", "files#"}) {
    SCOPED_TRACE(table);
    EXPECT_EQ(flat.at(table), "0");
  }
  EXPECT_EQ(RunTool("check " + dir.path()).out, "");
  EXPECT_TRUE(Snapshot(dir.path()).empty());
}

// One damaged record per row: check counts it as failed and the dump leaves it out.
struct Damage {
  const char* name;
  const char* file;
  std::function<void(std::string&)> damage;
  const char* want_line;  // the damaged file's check line
  const char* key;        // a flattened dump path ("messages#": the array's length)
  const char* want;       // its value after the damage
};

class DbDumpDamageTest : public DbDumpToolTest, public ::testing::WithParamInterface<Damage> {};

// Replaces the entry of the first slot (slot size n, entry after the 16-byte digest) and
// gives it a correct digest again.
std::function<void(std::string&)> ReSealedFirstSlot(std::size_t n,
                                                    std::function<void(std::string&)> edit) {
  return [n, edit](std::string& bytes) {
    std::string entry = bytes.substr(16, n - 16);
    edit(entry);
    bytes.replace(0, n, Md5Raw(entry) + entry);
  };
}

TEST_P(DbDumpDamageTest, DamagedRecordIsFailedAndLeftOut) {
  const Damage& row = GetParam();
  const std::string path = dir_.File(row.file);
  std::string bytes = ReadFile(path);
  row.damage(bytes);
  WriteFile(path, bytes);

  const RunResult check = RunTool("check " + dir_.path());
  EXPECT_EQ(check.status, 0);
  EXPECT_NE(check.out.find(row.want_line), std::string::npos) << check.out;
  const auto flat = FlatDump(dir_.path(), scratch_);
  ASSERT_EQ(flat.count(row.key), 1u);
  EXPECT_EQ(flat.at(row.key), row.want);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DbDumpDamageTest,
    ::testing::Values(
        Damage{"FlippedMessageEntry", "db1.dat", [](std::string& b) { b[16 + 20] ^= 0x01; },
               "db1.dat: 0 kept, 2 failed", "messages#", "0"},
        Damage{"FlippedSummaryBlob", "db2.dat", [](std::string& b) { b[30] ^= 0x01; },
               "db2.dat: 0 kept, 1 failed", "messages#", "0"},
        Damage{"FlippedContactBlob", "db4.dat", [](std::string& b) { b[20] ^= 0x01; },
               "db4.dat: 1 kept, 1 failed", "contacts#", "1"},
        // Contact 2 made to point at contact 1's blob: its addresses are held already.
        Damage{"ContactSharingAnEarlierAddress", "db3.dat",
               [](std::string& b) {
                 std::string first = b.substr(16, 16);
                 std::string second = b.substr(32 + 16, 16);
                 second.replace(4, 8, first.substr(4, 8));  // blob size and offset
                 b.replace(32, 32, Md5Raw(second) + second);
               },
               "db3.dat: 1 kept, 1 failed", "contacts#", "1"},
        Damage{"FlippedDigestSlot", "db7.dat", [](std::string& b) { b[20] ^= 0x01; },
               "db7.dat: 0 kept, 2 failed", "digests#", "0"},
        Damage{"FlippedDomainRecord", "db9.dat", [](std::string& b) { b[1 + 16 + 3] ^= 0x01; },
               "db9.dat: 1 kept, 1 failed", "trusted_domains#", "1"},
        Damage{"DeletionPendingMessage", "db1.dat",
               ReSealedFirstSlot(52, [](std::string& e) { e[16] |= 0x10; }),
               "db1.dat: 0 kept, 2 failed", "messages#", "0"},
        // An account whose SMTP listener is gone takes its listeners, message and digest
        // with it.
        Damage{"AccountOfAMissingListener", "db8.dat",
               [](std::string& b) { b.resize(1 + 292); },
               "db5.dat: 0 kept, 1 failed", "accounts#", "0"},
        Damage{"FlippedIdentity", "db6.dat", [](std::string& b) { b[20] ^= 0x01; },
               "db6.dat: 0 kept, 1 failed", "installation_id=", "null"}),
    [](const ::testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelrion::store
