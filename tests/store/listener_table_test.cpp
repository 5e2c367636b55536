#include "store/listener_table.h"
#include "store/listener_settings_key.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/main_thread.h"
#include "platform/random.h"
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

// One 276-byte listener record built from the layout, independently of the code under test.
std::string ListenerBytes(std::uint32_t id, std::string_view host, std::uint32_t port,
                          std::uint32_t protocol, std::uint32_t local_port,
                          std::uint32_t local_address = 0x7F000001) {
  return Le32(id) + store::testing::TextField(host, 256) + Le32(port) + Le32(protocol) +
         Le32(local_address) + Le32(local_port);
}

std::string Unit(const std::string& record) {
  return Md5Raw(record) + record;
}

std::string RecordFileBytes(char version, const std::vector<std::string>& records) {
  std::string bytes(1, version);
  for (const std::string& record : records) bytes += Unit(record);
  return bytes;
}

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
    EXPECT_TRUE(main_.IsMainThread());
    notices.push_back({origin, id, flag});
  }
  std::vector<Notice> notices;

 private:
  const platform::MainThread& main_;
};

class FixedUsers : public ListenerUsers {
 public:
  bool RefersToListener(std::uint32_t id) const override { return ids.count(id) != 0; }
  std::set<std::uint32_t> ids;
};

// A port probe that answers from a list of busy ports and remembers what it was asked.
struct FakePorts {
  std::set<std::uint32_t> busy;
  std::vector<std::uint32_t> asked;
  ListenerTable::PortProbe Probe() {
    return [this](std::uint32_t port) {
      asked.push_back(port);
      return busy.count(port) == 0;
    };
  }
};

class ListenerTableTest : public ::testing::Test {
 protected:
  std::string Db8() const { return dir_.File("db8.dat"); }
  std::unique_ptr<ListenerTable> Loaded() {
    auto table = std::make_unique<ListenerTable>(dir_.path(), main_thread_, control_, notices_, registry_,
                                                 ports_.Probe());
    table->Load();
    return table;
  }

  TempDir dir_;
  FakePorts ports_;
  platform::PlainMainThread main_thread_;
  RecordingControl control_;
  RecordingNotices notices_{main_thread_};
  platform::MemoryRegistry registry_;
};

struct LoadCase {
  const char* name;
  std::string file;  // "db8.dat" bytes; "<missing>" leaves the file out
  std::vector<std::uint32_t> ids;
  std::uint32_t next_id;
};

class ListenerLoadTest : public ListenerTableTest,
                         public ::testing::WithParamInterface<LoadCase> {};

TEST_P(ListenerLoadTest, KeepsEveryValidRecord) {
  if (GetParam().file != "<missing>") WriteFile(Db8(), GetParam().file);
  auto table = Loaded();
  EXPECT_EQ(table->Ids(), GetParam().ids);
  EXPECT_EQ(table->next_id(), GetParam().next_id);
  EXPECT_TRUE(store::testing::FileExists(Db8())) << "the file is created when missing";
}

std::string FlipByte(std::string bytes, std::size_t at) {
  bytes[at] ^= 0x01;
  return bytes;
}

const std::string kA = ListenerBytes(1, "pop.a.org", 110, 0, 5110);
const std::string kB = ListenerBytes(2, "smtp.a.org", 25, 1, 5025);
const std::string kC = ListenerBytes(9, "pop.b.org", 995, 0, 6110);
const std::size_t kUnit = 16 + 276;

INSTANTIATE_TEST_SUITE_P(
    Files, ListenerLoadTest,
    ::testing::Values(
        LoadCase{"Missing", "<missing>", {}, 1}, LoadCase{"Empty", "", {}, 1},
        LoadCase{"VersionOnly", std::string(1, '\1'), {}, 1},
        LoadCase{"ThreeRecords", RecordFileBytes(1, {kA, kB, kC}), {1, 2, 9}, 10},
        LoadCase{"OtherVersionByteIgnored", RecordFileBytes(7, {kA, kC}), {1, 9}, 10},
        LoadCase{"StoredOutOfOrder", RecordFileBytes(1, {kC, kA}), {1, 9}, 10},
        LoadCase{"LastCutShort",
                 RecordFileBytes(1, {kA, kB, kC}).substr(0, 1 + 2 * kUnit + 100),
                 {1, 2},
                 3},
        LoadCase{"FlippedByteInMiddleRecord",
                 FlipByte(RecordFileBytes(1, {kA, kB, kC}), 1 + kUnit + 16 + 40),
                 {1, 9},
                 10},
        LoadCase{
            "FlippedDigestByte", FlipByte(RecordFileBytes(1, {kA, kB, kC}), 1 + 3), {2, 9}, 10},
        LoadCase{"DuplicateIdFirstWins",
                 RecordFileBytes(1, {kA, ListenerBytes(1, "other.org", 1, 1, 7025), kB}),
                 {1, 2},
                 3},
        LoadCase{"UnknownProtocolDropped",
                 RecordFileBytes(1, {kA, ListenerBytes(5, "x.org", 110, 2, 8110)}),
                 {1},
                 2}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

TEST_F(ListenerTableTest, DuplicateKeepsTheFirstRecordsFields) {
  WriteFile(Db8(), RecordFileBytes(1, {kA, ListenerBytes(1, "other.org", 1, 1, 7025)}));
  auto listener = Loaded()->CopyOf(1);
  ASSERT_TRUE(listener);
  EXPECT_EQ(listener->server_host.Text(), "pop.a.org");
}

TEST_F(ListenerTableTest, SaveAfterLoadWritesTheSameBytes) {
  // Bytes after the host's terminator ride along untouched.
  std::string odd = ListenerBytes(4, "odd.org", 143, 1, 9025, 0);
  odd[4 + 200] = 'x';
  const std::string file = RecordFileBytes(1, {kA, kB, odd});
  WriteFile(Db8(), file);
  auto table = Loaded();
  table->SaveListeners();
  EXPECT_EQ(ReadFile(Db8()), file);
  auto again = Loaded();
  EXPECT_EQ(again->Ids(), table->Ids());
}

TEST_F(ListenerTableTest, SaveDropsDamagedRecordsForGood) {
  WriteFile(Db8(), FlipByte(RecordFileBytes(1, {kA, kB, kC}), 1 + kUnit + 16 + 40));
  Loaded()->SaveListeners();
  EXPECT_EQ(ReadFile(Db8()), RecordFileBytes(1, {kA, kC}));
}

TEST_F(ListenerTableTest, CreatedListenerIsStoredWithLoopbackAndNextId) {
  WriteFile(Db8(), RecordFileBytes(1, {kA, kC}));
  auto table = Loaded();
  const std::uint32_t id =
      table->FindOrCreateListener("mail.new.org", 110, ListenerProtocol::kPop3, false);
  EXPECT_EQ(id, 10u);
  EXPECT_EQ(table->next_id(), 11u);
  // 5110 and 6110 are already local ports of stored listeners: 7110 is the first candidate.
  EXPECT_EQ(ReadFile(Db8()),
            RecordFileBytes(1, {kA, kC, ListenerBytes(10, "mail.new.org", 110, 0, 7110)}));
  EXPECT_TRUE(control_.started.empty());
}

TEST_F(ListenerTableTest, SameServerIsSharedAndHostCaseIgnored) {
  auto table = Loaded();
  const auto pop =
      table->FindOrCreateListener("Mail.Example.ORG", 110, ListenerProtocol::kPop3, false);
  struct Row {
    const char* name;
    const char* host;
    std::uint32_t port;
    ListenerProtocol protocol;
    bool same;
  };
  const Row rows[] = {
      {"SameHost", "Mail.Example.ORG", 110, ListenerProtocol::kPop3, true},
      {"HostInOtherCase", "mail.example.org", 110, ListenerProtocol::kPop3, true},
      {"OtherPort", "mail.example.org", 995, ListenerProtocol::kPop3, false},
      {"OtherProtocol", "mail.example.org", 110, ListenerProtocol::kSmtp, false},
      {"OtherHost", "mail2.example.org", 110, ListenerProtocol::kPop3, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::size_t before = table->size();
    const auto id = table->FindOrCreateListener(row.host, row.port, row.protocol, false);
    EXPECT_EQ(id == pop, row.same);
    EXPECT_EQ(table->size(), before + (row.same ? 0 : 1));
  }
}

TEST_F(ListenerTableTest, StartIsAskedOnlyWhenRequestedAndOnlyForNewListeners) {
  auto table = Loaded();
  const auto a = table->FindOrCreateListener("a.org", 110, ListenerProtocol::kPop3, true);
  table->FindOrCreateListener("a.org", 110, ListenerProtocol::kPop3, true);
  table->FindOrCreateListener("b.org", 110, ListenerProtocol::kPop3, false);
  EXPECT_EQ(control_.started, std::vector<std::uint32_t>{a});
}

struct PortCase {
  const char* name;
  ListenerProtocol protocol;
  std::vector<std::uint32_t> stored_local_ports;  // of listeners already in the table
  std::set<std::uint32_t> busy;                   // ports that do not bind
  std::uint32_t want;
  std::vector<std::uint32_t> probed;  // ports the bind test was tried on, in order
};

class LocalPortTest : public ListenerTableTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(LocalPortTest, FirstFreeCandidateOfTheSequence) {
  std::vector<std::string> records;
  std::uint32_t id = 1;
  for (std::uint32_t port : GetParam().stored_local_ports) {
    records.push_back(ListenerBytes(id, "host" + std::to_string(id) + ".org", 1, 0, port));
    ++id;
  }
  WriteFile(Db8(), RecordFileBytes(1, records));
  ports_.busy = GetParam().busy;
  auto table = Loaded();
  const auto created = table->FindOrCreateListener("new.org", 1, GetParam().protocol, false);
  EXPECT_EQ(table->CopyOf(created)->local_port, GetParam().want);
  EXPECT_EQ(table->CopyOf(created)->local_address, kLoopbackAddress);
  EXPECT_EQ(ports_.asked, GetParam().probed);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LocalPortTest,
    ::testing::Values(
        PortCase{"FirstPop3", ListenerProtocol::kPop3, {}, {}, 5110, {5110}},
        PortCase{"FirstSmtp", ListenerProtocol::kSmtp, {}, {}, 5025, {5025}},
        PortCase{"SecondPop3", ListenerProtocol::kPop3, {5110}, {}, 6110, {6110}},
        PortCase{"ThirdPop3", ListenerProtocol::kPop3, {5110, 6110}, {}, 7110, {7110}},
        PortCase{
            "SmtpNotBlockedByPop3Ports", ListenerProtocol::kSmtp, {5110, 6110}, {}, 5025, {5025}},
        PortCase{"BusyPortsSkipped",
                 ListenerProtocol::kPop3,
                 {},
                 {5110, 6110},
                 7110,
                 {5110, 6110, 7110}},
        PortCase{"StoredAndBusyMixed",
                 ListenerProtocol::kSmtp,
                 {5025},
                 {6025, 7025},
                 8025,
                 {6025, 7025, 8025}}),
    [](const ::testing::TestParamInfo<PortCase>& info) { return info.param.name; });

TEST_F(ListenerTableTest, LastCandidateIsTriedAfterEveryOther) {
  // The sequence runs 5110, 6110, ... 65110: 61 bind tests when all but the last are busy.
  for (std::uint32_t p = 5110; p < 65110; p += 1000) ports_.busy.insert(p);
  auto table = Loaded();
  const auto id = table->FindOrCreateListener("x.org", 110, ListenerProtocol::kPop3, false);
  EXPECT_EQ(table->CopyOf(id)->local_port, 65110u);
  EXPECT_EQ(ports_.asked.size(), 61u);
  EXPECT_EQ(ports_.asked.back(), 65110u);
}

TEST_F(ListenerTableTest, NoFreeCandidateDrawsARandomPort) {
  for (std::uint32_t p = 5025; p <= 65535; p += 1000) ports_.busy.insert(p);
  auto table = Loaded();
  // Two draws of the generator: (first << 16 | second & 0xFFFF) mod 60535 + 5001.
  struct Row {
    const char* name;
    std::uint32_t seed;
  };
  for (const Row& row : {Row{"SeedOne", 1}, Row{"SeedLarge", 0xDEADBEEF}, Row{"SeedZero", 0}}) {
    SCOPED_TRACE(row.name);
    platform::SeedRand(row.seed);
    const std::uint32_t first = static_cast<std::uint32_t>(platform::Rand());
    const std::uint32_t second = static_cast<std::uint32_t>(platform::Rand());
    const std::uint32_t want = ((first << 16) | (second & 0xFFFF)) % 60535 + 5001;
    platform::SeedRand(row.seed);
    const auto id = table->FindOrCreateListener(std::string("r") + row.name, 25,
                                                ListenerProtocol::kSmtp, false);
    const std::uint32_t got = table->CopyOf(id)->local_port;
    EXPECT_EQ(got, want);
    EXPECT_GE(got, 5001u);
    EXPECT_LE(got, 65535u);
  }
}

// Binds a TCP socket on 127.0.0.1:port; -1 when the port is taken already.
int HoldPort(std::uint32_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TEST(ListenerPortBindTest, RealBindSkipsPortsHeldOnLoopback) {
  // Hold 5110 and 6110 ourselves (or find them held by someone else): either way they are
  // taken. The choice must be the first candidate this test can bind, at 7110 or later.
  const int held[] = {HoldPort(5110), HoldPort(6110)};
  std::uint32_t first_free = 0;
  for (std::uint32_t p = 7110; p <= 65535 && first_free == 0; p += 1000) {
    const int fd = HoldPort(p);
    if (fd >= 0) {
      ::close(fd);
      first_free = p;
    }
  }
  TempDir dir;
  QuietPorts quiet;
  ListenerTable table(dir.path(), quiet.main_thread, quiet.listener_control,
                      quiet.notices, quiet.registry);  // the real bind test
  table.Load();
  const auto id =
      table.FindOrCreateListener("pop.example.org", 110, ListenerProtocol::kPop3, false);
  const std::uint32_t chosen = table.CopyOf(id)->local_port;
  for (int fd : held) {
    if (fd >= 0) ::close(fd);
  }
  ASSERT_NE(first_free, 0u) << "no port of the sequence could be bound";
  EXPECT_EQ(chosen, first_free);
}

TEST(ListenerPortBindTest, PortBindableSeesAHeldPort) {
  // A port held by this test is not bindable; once released it is again.
  int fd = -1;
  std::uint32_t port = 0;
  for (std::uint32_t p = 47123; p < 47200 && fd < 0; ++p) {
    fd = HoldPort(p);
    port = p;
  }
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(PortBindable(port));
  ::close(fd);
  EXPECT_TRUE(PortBindable(port));
  EXPECT_FALSE(PortBindable(0));
  EXPECT_FALSE(PortBindable(65536));
}

TEST_F(ListenerTableTest, OrphanIsStoppedRemovedAndSaved) {
  WriteFile(Db8(), RecordFileBytes(1, {kA, kB, kC}));
  auto table = Loaded();
  FixedUsers users;
  users.ids = {1, 2};
  struct Row {
    const char* name;
    std::uint32_t id;
    bool dropped;
  };
  for (const Row& row : {Row{"InUse", 1, false}, Row{"Unknown", 77, false}, Row{"Orphan", 9, true},
                         Row{"AlreadyGone", 9, false}}) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(table->DropListenerIfOrphaned(row.id, users), row.dropped);
  }
  EXPECT_EQ(control_.stopped, std::vector<std::uint32_t>{9});
  EXPECT_EQ(notices_.notices, (std::vector<Notice>{{NoticeOrigin::kListener, 9, 0}}));
  EXPECT_EQ(ReadFile(Db8()), RecordFileBytes(1, {kA, kB}));
}

TEST_F(ListenerTableTest, UnreferencedListenersGoAtLoadWithoutStopping) {
  WriteFile(Db8(), RecordFileBytes(1, {kA, kB, kC}));
  auto table = Loaded();
  FixedUsers users;
  users.ids = {2};
  EXPECT_EQ(table->DropUnreferenced(users), 2u);
  EXPECT_EQ(table->Ids(), std::vector<std::uint32_t>{2});
  EXPECT_TRUE(control_.stopped.empty());
  EXPECT_EQ(ReadFile(Db8()), RecordFileBytes(1, {kB}));
  // The next id follows the largest id left, not the dropped 9.
  EXPECT_EQ(table->next_id(), 3u);
}

// Ids are given out again: a removed listener's registry settings must not pass to the next
// listener with its id, by either way of removal.
TEST_F(ListenerTableTest, RemovedListenersTakeTheirSettingsAlong) {
  WriteFile(Db8(), RecordFileBytes(1, {kA, kB, kC}));
  for (std::uint32_t id : {1u, 2u, 9u}) {
    ASSERT_TRUE(registry_.SetNumber(ListenerSettingsKey(id), "TlsMode", 3));
  }
  auto table = Loaded();
  FixedUsers users;
  users.ids = {1, 2};
  EXPECT_EQ(table->DropUnreferenced(users), 1u);
  users.ids = {2};
  ASSERT_TRUE(table->DropListenerIfOrphaned(1, users));
  EXPECT_EQ(registry_.GetNumber(ListenerSettingsKey(1), "TlsMode"), std::nullopt);
  EXPECT_EQ(registry_.GetNumber(ListenerSettingsKey(9), "TlsMode"), std::nullopt);
  EXPECT_EQ(registry_.GetNumber(ListenerSettingsKey(2), "TlsMode"), 3u);
  EXPECT_EQ(ListenerSettingsKey(12), "Software\\Pelrion\\Listeners\\12");
}

TEST_F(ListenerTableTest, HeldListenerOutlivesItsRemoval) {
  WriteFile(Db8(), RecordFileBytes(1, {kA, kC}));
  auto table = Loaded();
  Listener* held = table->FindListener(9);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(table->FindListener(42), nullptr);
  FixedUsers nobody;
  ASSERT_TRUE(table->DropListenerIfOrphaned(9, nobody));
  EXPECT_FALSE(table->Contains(9));
  EXPECT_EQ(table->FindListener(9), nullptr);
  // Still readable by its holder; its notices go with the last reference.
  EXPECT_EQ(held->server_host.Text(), "pop.b.org");
  EXPECT_TRUE(notices_.notices.empty());
  table->ReleaseListener(held);
  EXPECT_EQ(notices_.notices, (std::vector<Notice>{{NoticeOrigin::kListener, 9, 0}}));
}

TEST_F(ListenerTableTest, SetLocalEndpointIsSaved) {
  WriteFile(Db8(), RecordFileBytes(1, {kA}));
  auto table = Loaded();
  EXPECT_TRUE(table->SetLocalEndpoint(1, 0, 12345));
  EXPECT_FALSE(table->SetLocalEndpoint(2, 0, 1));
  EXPECT_EQ(ReadFile(Db8()), RecordFileBytes(1, {ListenerBytes(1, "pop.a.org", 110, 0, 12345, 0)}));
}

// A new endpoint puts a new record in the listener's place: a holder keeps the endpoint it
// found, and the old record goes with its last reference without a notice, since the id
// lives on. (Under ASan a record freed too early is a use after free, one never freed a
// leak.)
TEST_F(ListenerTableTest, NewEndpointReplacesTheRecordAndHoldersKeepTheOldOne) {
  WriteFile(Db8(), RecordFileBytes(1, {kA, kC}));
  auto table = Loaded();
  Listener* held = table->FindListener(1);
  ASSERT_NE(held, nullptr);
  ASSERT_TRUE(table->SetLocalEndpoint(1, 0, 7000));
  ASSERT_TRUE(table->SetLocalEndpoint(1, 0x0A000001, 8000));  // the middle one had no holder

  EXPECT_EQ(held->local_port, 5110u);
  EXPECT_EQ(held->local_address, kLoopbackAddress);
  Listener* current = table->FindListener(1);
  ASSERT_NE(current, nullptr);
  EXPECT_NE(current, held);
  EXPECT_EQ(current->local_port, 8000u);
  EXPECT_EQ(current->local_address, 0x0A000001u);
  EXPECT_EQ(current->server_host.Text(), "pop.a.org");
  table->ReleaseListener(current);
  table->ReleaseListener(held);
  EXPECT_TRUE(notices_.notices.empty());

  // The table holds exactly one reference to the new record: dropping the listener frees it.
  FixedUsers nobody;
  ASSERT_TRUE(table->DropListenerIfOrphaned(1, nobody));
  EXPECT_EQ(notices_.notices, (std::vector<Notice>{{NoticeOrigin::kListener, 1, 0}}));
}

TEST(ListenerInspectTest, ReportsEveryUnit) {
  const std::string file =
      FlipByte(RecordFileBytes(1, {kA, kB, ListenerBytes(1, "dup.org", 1, 0, 1), kC}),
               1 + kUnit + 20) +
      "tail";
  const ListenerFileReport report = InspectListenerFile(file);
  ASSERT_EQ(report.version, std::optional<std::uint8_t>(1));
  ASSERT_EQ(report.units.size(), 4u);
  EXPECT_EQ(report.trailing_bytes, 4u);
  struct Row {
    const char* name;
    std::size_t index;
    bool digest_ok;
    bool accepted;
  };
  for (const Row& row : {Row{"Good", 0, true, true}, Row{"Flipped", 1, false, false},
                         Row{"DuplicateId", 2, true, false}, Row{"Last", 3, true, true}}) {
    SCOPED_TRACE(row.name);
    const ListenerUnit& unit = report.units[row.index];
    EXPECT_EQ(unit.offset, 1 + row.index * kUnit);
    EXPECT_EQ(unit.digest_ok, row.digest_ok);
    EXPECT_EQ(unit.accepted, row.accepted);
    EXPECT_TRUE(unit.listener.has_value());
  }
  EXPECT_EQ(report.units[3].listener->server_host.Text(), "pop.b.org");
  EXPECT_FALSE(InspectListenerFile("").version.has_value());
}

using ListenerTableDeathTest = ListenerTableTest;

TEST_F(ListenerTableDeathTest, FileErrorsAreFatal) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Row {
    const char* name;
    void (*act)(const std::string& folder);
  };
  const Row rows[] = {
      {"Db8IsAFolder",
       [](const std::string& folder) {
         ::mkdir((folder + "/db8.dat").c_str(), 0700);
         QuietPorts quiet;
         ListenerTable table(folder, quiet.main_thread, quiet.listener_control, quiet.notices, quiet.registry);
         table.Load();
       }},
      {"FolderMissingOnSave",
       [](const std::string& folder) {
         QuietPorts quiet;
         ListenerTable table(folder + "/gone", quiet.main_thread, quiet.listener_control,
                             quiet.notices, quiet.registry);
         table.SaveListeners();
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EXIT(row.act(dir_.path()), ::testing::ExitedWithCode(1),
                "Critical error on database access\\.");
  }
}

// Workers find and release listeners while the main thread drops them; each record's
// notice comes exactly once, on the main thread, after its last holder let go.
TEST(ListenerTableThreadTest, WorkersHoldWhileMainThreadDrops) {
  platform::PlainMainThread main_thread;
  TempDir dir;
  std::vector<std::string> records;
  constexpr std::uint32_t kCount = 40;
  for (std::uint32_t id = 1; id <= kCount; ++id) {
    records.push_back(ListenerBytes(id, "h" + std::to_string(id), 110, 0, 5110 + id));
  }
  WriteFile(dir.File("db8.dat"), RecordFileBytes(1, records));
  RecordingNotices notices(main_thread);
  NoListenerControl control;
  platform::MemoryRegistry registry;
  ListenerTable table(dir.path(), main_thread, control, notices, registry,
                      [](std::uint32_t) { return true; });
  table.Load();

  std::atomic<int> running{4};
  std::atomic<bool> bad_read{false};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int round = 0; round < 300; ++round) {
        const std::uint32_t id = 1 + static_cast<std::uint32_t>((round * 7 + w) % kCount);
        if (Listener* l = table.FindListener(id)) {
          if (l->id != id || l->server_port != 110) bad_read = true;
          table.ReleaseListener(l);
        }
      }
      --running;
    });
  }
  FixedUsers users;
  for (std::uint32_t id = 2; id <= kCount; id += 2) users.ids.insert(id);  // even ids in use
  for (std::uint32_t id = 1; id <= kCount; ++id) {
    table.DropListenerIfOrphaned(id, users);
    main_thread.PumpPending();
  }
  main_thread.RunUntil([&] { return running == 0; });
  for (auto& t : workers) t.join();

  EXPECT_FALSE(bad_read);
  std::multiset<std::uint32_t> noticed;
  for (const Notice& n : notices.notices) noticed.insert(n.id);
  std::multiset<std::uint32_t> odd;
  for (std::uint32_t id = 1; id <= kCount; id += 2) odd.insert(id);
  EXPECT_EQ(noticed, odd);
  EXPECT_EQ(table.size(), kCount / 2);
}

// A worker holds a listener and keeps reading it, and keeps finding the current one, while
// the main thread moves its endpoint over and over: every record read is whole (address and
// port of one change), the held one never changes, and no notice goes for the living id.
TEST(ListenerTableThreadTest, WorkerReadsWholeRecordsWhileMainThreadMovesTheEndpoint) {
  constexpr std::uint32_t kBaseAddress = 0x0A000000;
  constexpr std::uint32_t kBasePort = 6000;
  platform::PlainMainThread main_thread;
  TempDir dir;
  WriteFile(dir.File("db8.dat"),
            RecordFileBytes(1, {ListenerBytes(1, "pop.a.org", 110, 0, kBasePort, kBaseAddress)}));
  RecordingNotices notices(main_thread);
  NoListenerControl control;
  platform::MemoryRegistry registry;
  ListenerTable table(dir.path(), main_thread, control, notices, registry,
                      [](std::uint32_t) { return true; });
  table.Load();

  auto whole = [](const Listener& l) {
    return l.local_address - kBaseAddress == l.local_port - kBasePort &&
           l.server_host.Text() == "pop.a.org";
  };
  std::atomic<bool> holding{false}, stop{false}, done{false};
  std::atomic<bool> torn{false}, held_changed{false};
  std::thread worker([&] {
    Listener* held = table.FindListener(1);
    holding = true;
    while (!stop) {
      if (held->local_port != kBasePort || !whole(*held)) held_changed = true;
      if (Listener* now = table.FindListener(1)) {
        if (!whole(*now)) torn = true;
        table.ReleaseListener(now);
      }
    }
    table.ReleaseListener(held);
    done = true;
  });
  main_thread.RunUntil([&] { return holding.load(); });
  for (std::uint32_t k = 1; k <= 200; ++k) {
    EXPECT_TRUE(table.SetLocalEndpoint(1, kBaseAddress + k, kBasePort + k));
    main_thread.PumpPending();
  }
  stop = true;
  main_thread.RunUntil([&] { return done.load(); });
  worker.join();

  EXPECT_FALSE(torn);
  EXPECT_FALSE(held_changed);
  EXPECT_TRUE(notices.notices.empty());
  EXPECT_EQ(table.CopyOf(1)->local_port, kBasePort + 200);
}

}  // namespace
}  // namespace pelrion::store
