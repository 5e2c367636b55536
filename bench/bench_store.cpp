// The message store and the address lists under a realistic load: loading a database of
// 100,000 messages and 10,000 contacts, filing new messages, saving flag changes, deleting
// in batches and looking up senders. The database is built once with the real tables in a
// scratch folder (under /dev/shm when it exists, so the figures measure the store rather
// than the disk) and removed at exit.
//
// Before any benchmark runs, a sanity pass checks that saving one record rewrites that
// record's slot in place and nothing else; the binary exits with status 1 when it does not.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <string>
#include <unordered_map>
#include <vector>

#include "crypto/md5.h"
#include "store/address_list_table.h"
#include "store/database_files.h"
#include "store/folders_view.h"
#include "store/held_messages.h"
#include "store/message_accounts.h"
#include "store/message_record.h"
#include "store/message_summary.h"
#include "store/message_table.h"

namespace {

namespace fs = std::filesystem;
using pelrion::mailformat::TransferEncoding;
using pelrion::store::AddressListTable;
using pelrion::store::MessageAccounts;
using pelrion::store::MessageRecord;
using pelrion::store::MessageSummary;
using pelrion::store::MessageTable;

// The store alone is measured: no quarantine and no message list hear of its changes.
pelrion::store::HeldMessages no_quarantine;
pelrion::store::NoFoldersView no_view;

constexpr std::size_t kStoredMessages = 100'000;
constexpr std::size_t kStoredContacts = 10'000;
constexpr std::uint32_t kAccountCount = 4;

// ---------------------------------------------------------------------------------------
// Scratch folders

// The root scratch folder, created on first use and removed with everything in it at exit.
class ScratchRoot {
 public:
  ScratchRoot() {
    const char* tmpdir = std::getenv("TMPDIR");
    const fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm")
                          : tmpdir != nullptr          ? fs::path(tmpdir)
                                                       : fs::temp_directory_path();
    std::string pattern = (base / "pelrion-bench-store-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    root_ = pattern;
  }
  ~ScratchRoot() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // A new empty folder under the root, as the tables want it (ending in '/').
  std::string NewFolder(const std::string& stem) {
    const fs::path path = root_ / (stem + "-" + std::to_string(++serial_));
    fs::create_directory(path);
    return path.string() + "/";
  }

 private:
  fs::path root_;
  int serial_ = 0;
};

ScratchRoot& Scratch() {
  static ScratchRoot root;
  return root;
}

// A fresh folder holding a copy of the database files of `source`.
std::string CopyOfFolder(const std::string& source, const std::string& stem) {
  const std::string target = Scratch().NewFolder(stem);
  for (const auto& entry : fs::directory_iterator(source)) {
    fs::copy_file(entry.path(), fs::path(target) / entry.path().filename());
  }
  return target;
}

// ---------------------------------------------------------------------------------------
// Realistic content

// Four accounts that always exist; the counts are kept as the account table would.
class BenchAccounts : public MessageAccounts {
 public:
  bool AccountExists(std::uint32_t account_id) const override {
    return account_id >= 1 && account_id <= kAccountCount;
  }
  bool AdjustMessageCount(std::uint32_t account_id, int delta) override {
    if (!AccountExists(account_id)) return false;
    counts_[account_id] += delta;
    return true;
  }

 private:
  std::unordered_map<std::uint32_t, long> counts_;
};

// Distinct, scattered, non-zero ids: multiplication by an odd constant is a bijection
// modulo 2^32, so (n + 1) * k never repeats and never yields 0 for n < 2^32 - 1.
std::uint32_t MessageId(std::size_t n) {
  return static_cast<std::uint32_t>(n + 1) * 2654435761u;
}

constexpr const char* kFirstNames[] = {"john", "ann", "bob", "carol", "dave", "eve",
                                       "frank", "grace", "heidi", "ivan", "judy", "mallory"};
constexpr const char* kLastNames[] = {"doe", "lee", "smith", "jones", "adams", "hopper",
                                      "dupont", "meyer", "rossi", "tanaka", "silva"};
constexpr const char* kDomains[] = {"example.com", "example.org", "example.net",
                                    "mail.example.de", "lists.example.fr", "corp.example.co.uk"};
constexpr const char* kSubjects[] = {
    "Re: Quarterly figures and the budget review for next year",
    "Meeting notes from Tuesday (action items inside)",
    "=?iso-8859-1?Q?R=E9union_de_lundi?= - agenda",
    "Your invoice #48213 is ready",
    "Fwd: Photos from the trip",
    "LIMITED OFFER: 70% off everything this weekend only!!!",
    "[dev-list] Patch: fix the reconnect loop after a timeout",
    "Password reset requested for your account"};

template <typename T, std::size_t N>
const T& Pick(const T (&table)[N], std::size_t n) {
  return table[n % N];
}

// A summary of a few hundred bytes: sender, names, subject, From/To/Cc texts and a part
// table of a multipart/alternative message, with an attachment on every fifth one.
MessageSummary MakeSummary(std::size_t n) {
  MessageSummary s;
  const std::string first = Pick(kFirstNames, n);
  const std::string last = Pick(kLastNames, n / 7);
  const std::string domain = Pick(kDomains, n / 3);
  s.header_length = 1800 + static_cast<std::int32_t>(n % 900);
  s.body_line_count = 40 + static_cast<std::uint32_t>(n % 300);
  s.file_size = 4000 + static_cast<std::uint32_t>((n * 7919) % 60000);
  s.sent = 1'133'881'200 + static_cast<std::int32_t>(n * 37);
  s.received = s.sent + 120;
  s.has_strings = true;
  const std::string address = first + "." + last + std::to_string(n % 5000) + "@" + domain;
  const std::string name = "\"" + last + ", " + first + "\"";
  s.set_sender_address(address);
  s.set_sender_name(name);
  s.set_sender_name_decoded(last + ", " + first);
  s.set_subject(Pick(kSubjects, n));
  s.set_subject_decoded(Pick(kSubjects, n));
  s.set_from_text(name + " <" + address + ">");
  s.set_to_text("Ann Lee <ann.lee@example.net>, \"Bob (sales)\" <bob@sales.example.net>");
  if (n % 3 == 0) s.set_cc_text("carol@example.com (Carol Smith), team@" + domain);

  pelrion::mailformat::PartTable table;
  table.mime = 1;
  table.text_part_count = 2;
  table.first_text_index = 1;
  const std::uint32_t body = static_cast<std::uint32_t>(s.header_length) + 2;
  table.parts.push_back(
      {body, 2, 0, 0, TransferEncoding::k7Bit, 1, 0, "multipart", "alternative", ""});
  table.parts.push_back(
      {body + 120, 30, 1200, 0, TransferEncoding::k8Bit, 1, 1, "text", "plain", ""});
  table.parts.push_back(
      {body + 1500, 60, 3800, 0, TransferEncoding::kBase64, 1, 1, "text", "html", ""});
  if (n % 5 == 0) {
    table.parts.push_back({body + 5600, 400, 24000, 1, TransferEncoding::kQuotedPrintable, 2, 0,
                           "application", "pdf",
                           "statement-" + std::to_string(n) + ".pdf"});
  }
  s.set_part_table(table);
  for (std::size_t i = 0; i < s.content_digest.size(); ++i) {
    s.content_digest[i] = static_cast<std::uint8_t>(n * 31 + i * 17);
  }
  return s;
}

// A new record in one of the four folders, some of them read.
std::unique_ptr<MessageRecord> MakeRecord(std::size_t n) {
  static constexpr std::uint32_t kFolderFlags[] = {0x00, 0x03, 0x03, 0x03, 0x01, 0x05};
  auto record = std::make_unique<MessageRecord>();
  record->id = MessageId(n);
  record->account_id = 1 + static_cast<std::uint32_t>(n % kAccountCount);
  record->flags = Pick(kFolderFlags, n) | (n % 4 == 0 ? pelrion::store::kFlagRead : 0u);
  record->request_sent_time = record->flags == 0 ? 1'133'881'500 : 0;
  record->summary = MakeSummary(n);
  return record;
}

// The addresses of contact n: one to three, all distinct across contacts.
std::vector<std::string> ContactAddresses(std::size_t n) {
  std::vector<std::string> addresses;
  const std::size_t count = 1 + n % 3;
  for (std::size_t i = 0; i < count; ++i) {
    addresses.push_back(std::string(Pick(kFirstNames, n + i)) + "." + Pick(kLastNames, n / 11) +
                        ".c" + std::to_string(n) + "x" + std::to_string(i) + "@" +
                        Pick(kDomains, n + 2 * i));
  }
  return addresses;
}

// ---------------------------------------------------------------------------------------
// The stored database

struct StoredDatabase {
  std::string folder;
  std::vector<std::string> contact_addresses;  // every stored address, for lookup hits
  std::uintmax_t db1_bytes = 0, db2_bytes = 0, db3_bytes = 0, db4_bytes = 0;
};

// Writes `messages` messages and `contacts` contacts with the real tables into a new folder.
StoredDatabase BuildDatabase(std::size_t messages, std::size_t contacts, const char* stem) {
  StoredDatabase db;
  db.folder = Scratch().NewFolder(stem);
  {
    BenchAccounts accounts;
    MessageTable table(db.folder, accounts, no_quarantine, no_view);
    table.Load();
    for (std::size_t n = 0; n < messages; ++n) {
      if (table.RegisterMessage(MakeRecord(n)) == nullptr) {
        std::fprintf(stderr, "building the store: message %zu refused\n", n);
        std::exit(1);
      }
    }
  }
  {
    AddressListTable lists(db.folder);
    lists.Load();
    for (std::size_t n = 0; n < contacts; ++n) {
      std::vector<std::string> addresses = ContactAddresses(n);
      const std::string name = std::string(Pick(kFirstNames, n)) + " " + Pick(kLastNames, n);
      if (lists.AddContact(name, addresses, static_cast<int>(n % 4 == 0)) == nullptr) {
        std::fprintf(stderr, "building the store: contact %zu refused\n", n);
        std::exit(1);
      }
      for (auto& address : addresses) db.contact_addresses.push_back(std::move(address));
    }
  }
  const fs::path folder(db.folder);
  db.db1_bytes = fs::file_size(folder / pelrion::store::kMessageSlotsFile);
  db.db2_bytes = fs::file_size(folder / pelrion::store::kMessageHeapFile);
  db.db3_bytes = fs::file_size(folder / pelrion::store::kContactSlotsFile);
  db.db4_bytes = fs::file_size(folder / pelrion::store::kContactHeapFile);
  return db;
}

// The full database, built on first use (outside every timed loop).
const StoredDatabase& FullDatabase() {
  static const StoredDatabase db = BuildDatabase(kStoredMessages, kStoredContacts, "full");
  return db;
}

// ---------------------------------------------------------------------------------------
// Memory and files

// The whole file in one read.
std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(fs::file_size(path), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// A "VmRSS:"/"VmHWM:" figure of /proc/self/status in kB; nullopt when unavailable.
std::optional<long> ProcStatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::strtol(line.c_str() + key.size(), nullptr, 10);
  }
  return std::nullopt;
}

// Measures how much the peak resident size grows while `work` runs, in bytes. The kernel's
// high-water mark is reset first (clear_refs 5) so that earlier peaks (building the store)
// do not hide this one; without that, ru_maxrss growth is the best available figure.
template <typename Work>
double PeakGrowthBytes(Work&& work) {
  // Freed memory of earlier work goes back to the system first, or a load could reuse it
  // without any growth showing; the mark is reset after that, from the trimmed size.
  ::malloc_trim(0);
  bool reset = false;
  {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    reset = static_cast<bool>(clear);
  }
  const auto rss_before = ProcStatusKb("VmRSS:");
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  const long maxrss_before = usage.ru_maxrss;
  work();
  const auto hwm_after = ProcStatusKb("VmHWM:");
  if (reset && rss_before && hwm_after) return 1024.0 * static_cast<double>(*hwm_after - *rss_before);
  ::getrusage(RUSAGE_SELF, &usage);
  return 1024.0 * static_cast<double>(usage.ru_maxrss - maxrss_before);
}

// ---------------------------------------------------------------------------------------
// Benchmarks

// Bytes the allocator hands out right now (small blocks and mapped ones).
double AllocatedBytes() {
  const struct mallinfo2 info = ::mallinfo2();
  return static_cast<double>(info.uordblks + info.hblkhd);
}

// CPU seconds this thread has used: the machine is shared, so the load and its floor are
// compared in CPU time rather than by the wall clock.
double ThreadCpuSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The floor a load cannot beat: reading the message store's files and taking the MD5 of
// every byte, as the load's digest checks must. CPU seconds for one pass over both files.
double ReadAndDigestSeconds(const StoredDatabase& db) {
  const fs::path folder(db.folder);
  const double start = ThreadCpuSeconds();
  for (std::string_view name : {pelrion::store::kMessageSlotsFile, pelrion::store::kMessageHeapFile}) {
    const std::string bytes = ReadFile(folder / name);
    benchmark::DoNotOptimize(pelrion::crypto::Md5Of(bytes));
  }
  return ThreadCpuSeconds() - start;
}

// The load of 100,000 messages beside its floor, measured in the same run: the time is the
// load's; read_md5_limit_ms is the mean CPU time of reading and digesting the same files,
// load/limit the ratio of the load's CPU time to it. mem_added is what the loaded table keeps allocated, peak_rss_growth
// the resident peak while loading, both beside the stored bytes.
void BM_MessageTableLoad(benchmark::State& state) {
  const StoredDatabase& db = FullDatabase();
  const double stored = static_cast<double>(db.db1_bytes + db.db2_bytes);
  BenchAccounts accounts;
  std::size_t loaded = 0;
  double added = 0;
  // One untimed load measures memory; the timed ones measure speed.
  const double peak = PeakGrowthBytes([&] {
    const double before = AllocatedBytes();
    MessageTable table(db.folder, accounts, no_quarantine, no_view);
    table.Load();
    added = AllocatedBytes() - before;
    loaded = table.size();
  });
  if (loaded != kStoredMessages) {
    state.SkipWithError("the load did not keep every stored message");
    return;
  }
  double limit_total = 0, load_total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    limit_total += ReadAndDigestSeconds(db);
    state.ResumeTiming();
    const double start = ThreadCpuSeconds();
    auto table = std::make_unique<MessageTable>(db.folder, accounts, no_quarantine, no_view);
    table->Load();
    benchmark::DoNotOptimize(table->size());
    load_total += ThreadCpuSeconds() - start;
    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
  const double runs = static_cast<double>(state.iterations());
  state.counters["records/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kStoredMessages), benchmark::Counter::kIsRate);
  state.counters["read_md5_limit_ms"] = 1000.0 * limit_total / runs;
  state.counters["load/limit"] = load_total / limit_total;
  state.counters["mem_added"] =
      benchmark::Counter(added, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  state.counters["peak_rss_growth"] =
      benchmark::Counter(peak, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  state.counters["db_bytes"] =
      benchmark::Counter(stored, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  state.counters["mem/db"] = added / stored;
}
BENCHMARK(BM_MessageTableLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AddressListTableLoad(benchmark::State& state) {
  const StoredDatabase& db = FullDatabase();
  double peak = 0;
  std::size_t loaded = 0;
  peak = PeakGrowthBytes([&] {
    AddressListTable lists(db.folder);
    lists.Load();
    loaded = lists.size();
  });
  if (loaded != kStoredContacts) {
    state.SkipWithError("the load did not keep every stored contact");
    return;
  }
  for (auto _ : state) {
    auto lists = std::make_unique<AddressListTable>(db.folder);
    lists->Load();
    benchmark::DoNotOptimize(lists->size());
    state.PauseTiming();
    lists.reset();
    state.ResumeTiming();
  }
  state.counters["records/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * kStoredContacts), benchmark::Counter::kIsRate);
  state.counters["peak_rss_growth"] =
      benchmark::Counter(peak, benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  state.counters["db_bytes"] = benchmark::Counter(static_cast<double>(db.db3_bytes + db.db4_bytes),
                                                  benchmark::Counter::kDefaults,
                                                  benchmark::Counter::kIs1024);
}
BENCHMARK(BM_AddressListTableLoad)->Unit(benchmark::kMillisecond)->Iterations(20);

// Files new messages into a growing table: range(0) is how many messages it starts with
// (0: an empty store; else a copy of the full store).
void BM_RegisterMessage(benchmark::State& state) {
  const std::size_t start = static_cast<std::size_t>(state.range(0));
  const std::string folder = start == 0 ? Scratch().NewFolder("register")
                                        : CopyOfFolder(FullDatabase().folder, "register");
  BenchAccounts accounts;
  MessageTable table(folder, accounts, no_quarantine, no_view);
  table.Load();
  // Records are made beforehand so that only filing is timed; ids follow the stored ones.
  std::vector<std::unique_ptr<MessageRecord>> fresh;
  fresh.reserve(static_cast<std::size_t>(state.max_iterations));
  for (std::size_t n = 0; n < static_cast<std::size_t>(state.max_iterations); ++n) {
    fresh.push_back(MakeRecord(kStoredMessages + n));
  }
  std::size_t next = 0;
  for (auto _ : state) {
    MessageRecord* filed = table.RegisterMessage(std::move(fresh[next++]));
    benchmark::DoNotOptimize(filed);
  }
  if (table.size() != start + next) state.SkipWithError("a message was refused");
  state.counters["messages/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RegisterMessage)
    ->ArgName("stored")
    ->Arg(0)
    ->Arg(kStoredMessages)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(20'000);

// Flag changes on existing records of the full store, scattered over the table.
void BM_SaveRecord(benchmark::State& state) {
  const std::string folder = CopyOfFolder(FullDatabase().folder, "save");
  BenchAccounts accounts;
  MessageTable table(folder, accounts, no_quarantine, no_view);
  table.Load();
  const auto& records = table.records();
  std::size_t n = 0;
  for (auto _ : state) {
    MessageRecord& record = *records[(n++ * 7919) % records.size()];
    record.flags ^= pelrion::store::kFlagRead;
    table.SaveRecord(record);
  }
  state.counters["saves/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SaveRecord)->Unit(benchmark::kMicrosecond)->Iterations(200'000);

// Deletes batches of range(0) messages (a mail client's or the user's delete) from a copy
// of the full store, scattered over the table; compaction runs when the table asks for it.
// Every doomed message has its file, so the file deletion is part of the cost.
void BM_DeleteMessages(benchmark::State& state) {
  const std::size_t batch = static_cast<std::size_t>(state.range(0));
  const std::size_t doomed_count = batch * static_cast<std::size_t>(state.max_iterations);
  const std::string folder = CopyOfFolder(FullDatabase().folder, "delete");
  BenchAccounts accounts;
  MessageTable table(folder, accounts, no_quarantine, no_view);
  table.Load();
  if (doomed_count > table.size()) {
    state.SkipWithError("more deletions than stored messages");
    return;
  }
  std::vector<MessageRecord*> doomed;
  doomed.reserve(doomed_count);
  const auto& records = table.records();
  // 7919 is prime and coprime to the table size, so the walk visits distinct records.
  for (std::size_t i = 0; i < doomed_count; ++i) {
    MessageRecord* record = records[(i * 7919) % records.size()];
    doomed.push_back(record);
    std::ofstream(table.MessageFilePath(*record));
  }
  std::size_t next = 0;
  for (auto _ : state) {
    table.DeleteMessages(std::span<MessageRecord* const>(doomed.data() + next, batch),
                         /*keep_if_busy=*/true);
    next += batch;
  }
  if (table.size() != kStoredMessages - next) state.SkipWithError("a deletion was lost");
  state.counters["messages/s"] = benchmark::Counter(
      static_cast<double>(state.iterations() * batch), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DeleteMessages)
    ->ArgName("batch")
    ->Unit(benchmark::kMicrosecond)
    ->Args({1})
    ->Iterations(200);
BENCHMARK(BM_DeleteMessages)
    ->ArgName("batch")
    ->Unit(benchmark::kMicrosecond)
    ->Args({100})
    ->Iterations(50);
BENCHMARK(BM_DeleteMessages)
    ->ArgName("batch")
    ->Unit(benchmark::kMicrosecond)
    ->Args({1000})
    ->Iterations(20);

// Sender lookups against the 10,000 loaded contacts: range(0) 1 for addresses held by a
// contact, 0 for unknown addresses that look just like them.
void BM_LookupAddress(benchmark::State& state) {
  const bool hits = state.range(0) != 0;
  const StoredDatabase& db = FullDatabase();
  static AddressListTable* const lists = [&] {
    auto* loaded = new AddressListTable(db.folder);
    loaded->Load();
    return loaded;
  }();
  std::vector<std::string> addresses = db.contact_addresses;
  if (!hits) {
    for (auto& address : addresses) {
      const std::size_t at = address.find('@');
      address = address.substr(0, at) + "z" + address.substr(at);
    }
  }
  std::size_t n = 0, found = 0;
  for (auto _ : state) {
    const std::uint32_t mask = lists->LookupAddress(addresses[n++ % addresses.size()], 0x3);
    found += mask != 0;
    benchmark::DoNotOptimize(mask);
  }
  if (found != (hits ? n : 0)) state.SkipWithError("a lookup gave the wrong answer");
  state.counters["lookups/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LookupAddress)->ArgName("hit")->Arg(1)->Arg(0);

// ---------------------------------------------------------------------------------------
// Sanity pass

ino_t InodeOf(const fs::path& path) {
  struct stat info{};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// Saving one record's flag change must rewrite that record's slot in place: same file
// (inode), same size, bytes changed only inside its 52-byte slot, summaries untouched,
// and a reload must see the change. Prints the outcome; false on any breach.
bool SaveRewritesOneSlot() {
  const StoredDatabase db = BuildDatabase(1000, 0, "sanity");
  const fs::path db1 = fs::path(db.folder) / pelrion::store::kMessageSlotsFile;
  const fs::path db2 = fs::path(db.folder) / pelrion::store::kMessageHeapFile;
  BenchAccounts accounts;
  MessageTable table(db.folder, accounts, no_quarantine, no_view);
  table.Load();
  MessageRecord& record = *table.records()[table.size() / 2];
  const std::uint32_t id = record.id;
  const std::uint64_t slot = record.slot_offset();

  const std::string slots_before = ReadFile(db1), heap_before = ReadFile(db2);
  const ino_t inode_before = InodeOf(db1);
  record.flags ^= pelrion::store::kFlagRead;
  const std::uint32_t saved_flags = record.flags;
  table.SaveRecord(record);
  const std::string slots_after = ReadFile(db1), heap_after = ReadFile(db2);

  bool ok = true;
  auto fail = [&ok](const char* what) {
    std::fprintf(stderr, "sanity: SaveRecord %s\n", what);
    ok = false;
  };
  if (InodeOf(db1) != inode_before) fail("replaced db1.dat instead of writing into it");
  if (slots_after.size() != slots_before.size()) fail("changed the size of db1.dat");
  if (heap_after != heap_before) fail("touched db2.dat");
  std::size_t first = std::string::npos, last = 0;
  for (std::size_t i = 0; i < std::min(slots_before.size(), slots_after.size()); ++i) {
    if (slots_before[i] == slots_after[i]) continue;
    if (first == std::string::npos) first = i;
    last = i;
  }
  if (first == std::string::npos) fail("wrote nothing");
  else if (first < slot || last >= slot + pelrion::store::kMessageSlotSize)
    fail("changed bytes outside the record's slot");

  BenchAccounts reload_accounts;
  MessageTable reloaded(db.folder, reload_accounts, no_quarantine, no_view);
  reloaded.Load();
  const MessageRecord* again = reloaded.Find(id);
  if (reloaded.size() != 1000 || again == nullptr || again->flags != saved_flags)
    fail("lost the change or a record on reloading");

  if (ok) {
    std::fprintf(stderr,
                 "sanity: SaveRecord rewrote bytes %zu-%zu of db1.dat (slot at %llu, %zu bytes "
                 "each; file %zu bytes, same inode); db2.dat untouched\n",
                 first, last, static_cast<unsigned long long>(slot),
                 pelrion::store::kMessageSlotSize, slots_after.size());
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  if (!SaveRewritesOneSlot()) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
