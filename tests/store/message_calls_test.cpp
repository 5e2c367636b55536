#include "store/message_calls.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "crypto/md5.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::FileExists;
using testing::TempDir;
using testing::WriteFile;

// Touched only on the main thread (inside the calls), like the real account table's
// message counts.
class MainThreadAccounts : public MessageAccounts {
 public:
  bool AccountExists(std::uint32_t id) const override { return counts.count(id) != 0; }
  bool AdjustMessageCount(std::uint32_t id, int delta) override {
    auto it = counts.find(id);
    if (it == counts.end()) return false;
    it->second += delta;
    return true;
  }
  std::map<std::uint32_t, int> counts{{1, 0}, {2, 0}};
};

struct Filed {
  std::uint32_t id = 0;
  std::string path;
};

// What a mail-check worker does per message: reserve a file, write it, check the key,
// file the record, or discard the file when the key is known.
std::vector<Filed> RunMailCheck(MessageCalls& calls, std::uint32_t account, int messages) {
  std::vector<Filed> filed;
  for (int i = 0; i < messages; ++i) {
    auto record = std::make_unique<MessageRecord>();
    const std::string path = calls.CreateMessageFile(*record);
    const std::string text = "Message-ID: <key-" + std::to_string(i) + ">\r\n\r\nbody\r\n";
    WriteFile(path, text);
    if (!calls.RememberDigest(account, "<key-" + std::to_string(i) + ">")) {
      ::unlink(path.c_str());
      continue;
    }
    record->account_id = account;
    record->flags = kFlagDecided | kFlagInbox;
    record->summary.file_size = static_cast<std::uint32_t>(text.size());
    record->summary.content_digest = crypto::Md5Of(text);
    const std::uint32_t id = record->id;
    if (calls.RegisterMessage(std::move(record)) != nullptr) filed.push_back({id, path});
  }
  return filed;
}

TEST(MessageCallsThreadTest, WorkersReachTheStoreOnlyThroughTheMainThread) {
  TempDir dir;
  platform::PlainMainThread main_thread;
  MainThreadAccounts accounts;
  HeldMessages no_quarantine;
  NoFoldersView no_view;
  MessageTable messages(dir.path() + "/", accounts, no_quarantine, no_view);
  DuplicateDigestTable digests(dir.path() + "/", accounts);
  messages.Load();
  digests.Load();
  MessageCalls calls(main_thread, messages, digests, accounts);

  constexpr int kMessages = 20;
  // Workers 0 and 2 fetch the same keys for account 1; worker 1 serves account 2.
  const std::uint32_t worker_accounts[] = {1, 2, 1};
  std::vector<std::vector<Filed>> results(std::size(worker_accounts));
  std::atomic<int> finished{0};
  std::atomic<bool> checks_done{false};
  std::vector<std::thread> threads;
  for (std::size_t w = 0; w < std::size(worker_accounts); ++w) {
    threads.emplace_back([&, w] {
      results[w] = RunMailCheck(calls, worker_accounts[w], kMessages);
      ++finished;
    });
  }
  // A mail-client session polling the Inbox meanwhile: every hold it takes, it ends.
  threads.emplace_back([&] {
    while (!checks_done) {
      std::vector<MessageRecord*> inbox = calls.CollectInbox(1);
      for (MessageRecord* record : inbox) calls.ReleaseMessage(*record);
    }
    ++finished;
  });
  main_thread.RunUntil([&] {
    if (finished == 3) checks_done = true;
    return finished == 4;
  });
  for (std::thread& thread : threads) thread.join();

  // Each key was filed once per account, whichever worker got there first.
  std::set<std::uint32_t> ids;
  std::size_t account1 = 0;
  for (std::size_t w = 0; w < results.size(); ++w) {
    for (const Filed& filed : results[w]) {
      ids.insert(filed.id);
      EXPECT_TRUE(FileExists(filed.path));
      if (worker_accounts[w] == 1) ++account1;
    }
  }
  EXPECT_EQ(account1, static_cast<std::size_t>(kMessages));
  EXPECT_EQ(results[1].size(), static_cast<std::size_t>(kMessages));
  EXPECT_EQ(ids.size(), 2u * kMessages);
  EXPECT_EQ(messages.size(), 2u * kMessages);
  EXPECT_EQ(digests.size(), 2u * kMessages);
  EXPECT_EQ(accounts.counts[1], kMessages);
  EXPECT_EQ(accounts.counts[2], kMessages);
  for (const MessageRecord* record : messages.records()) EXPECT_EQ(record->references, 1);

  // A last session, on its own thread, takes account 1's Inbox and deletes it (QUIT after
  // DELE): unlink, then release.
  std::atomic<bool> quit{false};
  std::size_t served = 0;
  std::thread session([&] {
    std::vector<MessageRecord*> inbox = calls.CollectInbox(1);
    served = inbox.size();
    for (auto it = inbox.rbegin(); it != inbox.rend(); ++it) {
      calls.Unlink(**it);
      calls.ReleaseMessage(**it);
    }
    calls.ForgetDigests(1);
    quit = true;
  });
  main_thread.RunUntil([&] { return quit.load(); });
  session.join();
  EXPECT_EQ(served, static_cast<std::size_t>(kMessages));
  EXPECT_EQ(messages.size(), static_cast<std::size_t>(kMessages));
  EXPECT_EQ(accounts.counts[1], 0);
  EXPECT_EQ(digests.size(), static_cast<std::size_t>(kMessages));
  for (std::size_t w : {0u, 2u}) {
    for (const Filed& filed : results[w]) EXPECT_FALSE(FileExists(filed.path));
  }

  // On the main thread the calls run directly.
  EXPECT_TRUE(calls.RememberDigest(1, "<key-0>"));
  EXPECT_FALSE(calls.RememberDigest(2, "<key-0>"));
  EXPECT_TRUE(calls.CollectInbox(1).empty());
}

}  // namespace
}  // namespace pelrion::store
