#include "validation/send_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <string>
#include <thread>

#include "platform/main_thread.h"
#include "validation/authorization_request.h"
#include "validation/main_thread_quarantine_events.h"
#include "validation/message_status.h"
#include "validation/quarantine_world.h"
#include "validation/request_output.h"

namespace pelrion::validation {
namespace {

using testing::QuarantineWorld;

constexpr char kSender[] = "stranger@example.com";

// Every value of the copy, one per line, so two copies compare as one text.
std::string Describe(const SendWork& work) {
  std::ostringstream out;
  out << work.settings.from << '|' << work.settings.charset_reply << '|'
      << work.settings.charset_captcha << '\n';
  for (const auto& method : work.settings.template_texts) {
    for (const std::string& text : method) out << text << '\n';
  }
  for (const SendGroupWork& group : work.groups) {
    out << group.account_id << '|' << group.account_name << '|' << group.smtp_authentication << '|'
        << group.smtp_user_name << '|' << group.smtp_password << '|' << group.email_address << '|'
        << group.smtp_listener_id << '|' << group.server_host << '|' << group.server_port << '\n';
    for (const RequestWork& request : group.requests) {
      const RequestFacts& f = request.facts;
      out << request.message_id << '|' << f.sender_address << '|' << f.sender_name << '|'
          << f.sender_name_decoded << '|' << f.subject << '|' << f.request_number << '|'
          << f.authorization_code << '|' << f.user_email << '|' << f.user_name << '\n';
    }
  }
  return out.str();
}

class SendWorkTest : public ::testing::Test {
 protected:
  SendWorkTest() {
    account_ = world_.AddAccount("jane@example.org");
    store::MailAccount fields = *world_.accounts->CopyOf(account_);
    fields.smtp_authentication = 1;
    fields.smtp_user_name.Set("jane");
    fields.smtp_password.Set("secret");
    fields.display_name.Set("Jane Doe");
    fields.friendly_name.Set("Work");
    world_.accounts->UpdateAccount(fields);
    SetTemplates("OLD");
    held_ = world_.FileHeld(account_, kSender, 0, "Stranger");
    held_->summary.set_sender_name("\"Stranger\"");
    held_->summary.set_subject("Hello");
    EXPECT_TRUE(BuildSendQueue(queue_, *world_.list, Stores()));
  }
  ~SendWorkTest() override { ReleaseSendQueue(queue_, Stores()); }

  SendQueueStores Stores() {
    return SendQueueStores{*world_.messages, *world_.accounts, *world_.listeners};
  }

  void SetTemplates(const std::string& mark) {
    for (auto& method : world_.preferences.template_texts) {
      for (std::string& text : method) text = mark + " template for [REMOTE_EMAIL]\n";
    }
  }

  QuarantineWorld world_;
  std::uint32_t account_ = 0;
  store::MessageRecord* held_ = nullptr;
  SendQueue queue_;
};

TEST_F(SendWorkTest, CopyHoldsWhatTheSendThreadNeedsAndLaterChangesDoNotReachIt) {
  const SendWork work = CopySendWork(queue_, world_.preferences);
  ASSERT_EQ(work.groups.size(), 1u);
  const SendGroupWork& group = work.groups[0];
  const store::Listener& listener = *queue_.groups[0].smtp_listener;
  EXPECT_EQ(group.account_id, account_);
  EXPECT_EQ(group.account_name, "Work");
  EXPECT_TRUE(group.smtp_authentication);
  EXPECT_EQ(group.smtp_user_name, "jane");
  EXPECT_EQ(group.smtp_password, "secret");
  EXPECT_EQ(group.email_address, "jane@example.org");
  EXPECT_EQ(group.server_host, listener.server_host.Text());
  EXPECT_EQ(group.server_port, listener.server_port);
  EXPECT_EQ(group.smtp_listener_id, listener.id);
  EXPECT_NE(group.smtp_listener_id, world_.accounts->CopyOf(account_)->pop3_listener_id);
  ASSERT_EQ(group.requests.size(), 1u);
  EXPECT_EQ(group.requests[0].message_id, held_->id);
  EXPECT_EQ(Describe(SendWork{work.settings, {}}), Describe(SendWork{world_.preferences, {}}));
  const RequestFacts& facts = group.requests[0].facts;
  EXPECT_EQ(facts.sender_address, kSender);
  EXPECT_EQ(facts.sender_name, "\"Stranger\"");
  EXPECT_EQ(facts.sender_name_decoded, "Stranger");
  EXPECT_EQ(facts.subject, "Hello");
  EXPECT_EQ(facts.request_number, held_->request_number);
  EXPECT_EQ(facts.user_email, "jane@example.org");
  EXPECT_EQ(facts.user_name, "Jane Doe");
  const std::string before = Describe(work);

  // Everything the copy came from changes on the main thread.
  store::MailAccount fields = *world_.accounts->CopyOf(account_);
  fields.smtp_authentication = 0;
  fields.smtp_user_name.Set("other");
  fields.smtp_password.Set("changed");
  fields.email_address.Set("new@example.org");
  fields.display_name.Set("Someone Else");
  fields.friendly_name.Set("Home");
  ASSERT_TRUE(world_.accounts->UpdateAccount(fields));
  queue_.groups[0].smtp_listener->server_host.Set("elsewhere.example.net");
  queue_.groups[0].smtp_listener->server_port = 2525;
  held_->summary.set_sender_name("Changed");
  held_->summary.set_sender_name_decoded("Changed");
  held_->summary.set_subject("Changed");
  held_->request_number = 99999;
  world_.preferences.from = 2;
  world_.preferences.charset_reply = 3;
  SetTemplates("NEW");

  EXPECT_EQ(Describe(work), before);
}

class SendWorkThreadTest : public SendWorkTest {};

// The send thread composes every request from its copy while the main thread keeps
// changing the preferences and templates, and reports each outcome by address; the report
// is handled on the main thread.
TEST_F(SendWorkThreadTest, WorkerComposesFromItsCopyWhileTheMainThreadChangesSettings) {
  platform::PlainMainThread main_thread;
  MainThreadQuarantineEvents events(main_thread, *world_.quarantine);
  const SendWork work = CopySendWork(queue_, world_.preferences);

  std::atomic<bool> done{false};
  std::atomic<int> composed_from_copy{0};
  RequestOutcomes& outcomes = events;
  std::thread worker([&work, &done, &composed_from_copy, &outcomes] {
    for (const SendGroupWork& group : work.groups) {
      for (const RequestWork& request : group.requests) {
        for (int round = 0; round < 20; ++round) {
          StringRequestOutput output;
          ComposeAuthorizationRequest(request.facts, output, work.settings);
          const bool old_text = output.text().find("OLD template for") != std::string::npos &&
                                output.text().find("NEW") == std::string::npos;
          if (old_text) ++composed_from_copy;
        }
        outcomes.RequestDelivered(request.facts.sender_address);
      }
    }
    done = true;
  });
  int change = 0;
  main_thread.RunUntil([&] {
    SetTemplates("NEW" + std::to_string(++change));
    world_.preferences.charset_reply = static_cast<std::uint32_t>(change % 22);
    world_.preferences.from = static_cast<std::uint32_t>(change % 3);
    return done.load();
  });
  worker.join();

  EXPECT_EQ(composed_from_copy.load(), 20);
  EXPECT_EQ(held_->status, kStatusAwaitingReply);
}

}  // namespace
}  // namespace pelrion::validation
