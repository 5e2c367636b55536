// Worker threads reach the address lists only through the main thread: the relay pattern
// (look up with mask 2, then add if new) run by several workers over overlapping
// recipients while the main thread serves them.
#include "store/address_calls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/main_thread.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::TempDir;

// Records on which thread the table told its window about changes.
class ThreadCheckingView : public AddressListView {
 public:
  explicit ThreadCheckingView(std::thread::id main) : main_(main) {}
  void ContactAdded(Contact&) override { Check(); }
  void ContactMoved(Contact&) override { Check(); }
  void ContactRemoved(Contact&) override { Check(); }
  int off_main = 0;  // only touched by the thread that should be the main one

 private:
  void Check() {
    if (std::this_thread::get_id() != main_) ++off_main;
  }
  std::thread::id main_;
};

std::string Recipient(int i) { return "r" + std::to_string(i) + "@x.org"; }

TEST(AddressCallsThreadTest, RelayWorkersAddEachNewRecipientOnce) {
  TempDir dir;
  platform::PlainMainThread main_thread;
  AddressListTable lists(dir.path() + "/");
  lists.Load();
  ThreadCheckingView view(std::this_thread::get_id());
  lists.SetView(&view);
  // r0..r4 are blacklisted, r5 is already trusted.
  ASSERT_NE(lists.AddContact("Spam", {Recipient(0), Recipient(1), Recipient(2)}, kBlackList),
            nullptr);
  ASSERT_NE(lists.AddContact("Spam2", {Recipient(3), Recipient(4)}, kBlackList), nullptr);
  ASSERT_NE(lists.AddContact("Known", {Recipient(5)}, kTrustedContactsList), nullptr);
  AddressCalls calls(main_thread, lists);

  constexpr int kRecipients = 40;
  constexpr int kWorkers = 4;
  std::vector<int> added(kWorkers, 0);
  std::vector<int> blacklisted(kWorkers, 0);
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < kWorkers; ++w) {
    workers.emplace_back([&, w] {
      // Each worker walks the recipients from a different start, so they overlap.
      for (int k = 0; k < kRecipients; ++k) {
        const std::string r = Recipient((k + w * 7) % kRecipients);
        if (calls.LookupAddress(r, 2) != 0) {
          ++blacklisted[w];
          continue;
        }
        // Capitals in the relayed address do not make a second contact.
        std::string shouted = r;
        shouted[0] = 'R';
        if (calls.AddContactIfNew("Recipient", {shouted}, 0)) ++added[w];
      }
      ++finished;
    });
  }
  main_thread.RunUntil([&] { return finished == kWorkers; });
  for (auto& t : workers) t.join();

  int total_added = 0;
  for (int w = 0; w < kWorkers; ++w) {
    SCOPED_TRACE(w);
    EXPECT_EQ(blacklisted[w], 5);
    total_added += added[w];
  }
  // r6..r39 are new; each gets exactly one contact whoever asked first.
  EXPECT_EQ(total_added, kRecipients - 6);
  EXPECT_EQ(lists.size(), 3u + (kRecipients - 6));
  for (int i = 0; i < kRecipients; ++i) {
    SCOPED_TRACE(Recipient(i));
    EXPECT_EQ(lists.LookupAddress(Recipient(i), 3), i < 5 ? 2u : 1u);
  }
  EXPECT_EQ(view.off_main, 0);

  // On the main thread itself the calls run directly.
  EXPECT_EQ(calls.LookupAddress(Recipient(0), 3), 2u);
  EXPECT_TRUE(calls.AddContactIfNew("Direct", {"direct@x.org"}, 1));
  EXPECT_FALSE(calls.AddContactIfNew("Direct", {"direct@x.org"}, 0));
  EXPECT_EQ(calls.LookupAddress("direct@x.org", 3), 2u);
}

}  // namespace
}  // namespace pelrion::store
