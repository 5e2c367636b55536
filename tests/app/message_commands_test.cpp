// The main window's message commands given by id: which folder each message ends in, which
// list its sender joins, what is gone for good, and the message list as JSON.
#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_fixture.h"
#include "stores_fixture.h"
#include "validation/message_status.h"

namespace pelrion::apptest {
namespace {

using store::Folder;

constexpr std::uint32_t kInbox = store::kFlagDecided | store::kFlagInbox;
constexpr std::uint32_t kJunk = store::kFlagDecided;
constexpr std::uint32_t kTrash = store::kFlagDecided | store::kFlagTrash;
constexpr std::uint32_t kQuarantine = 0;

struct MessageCase {
  std::string label;
  std::vector<std::string> command;  // the message id is appended
  std::uint32_t flags;               // where the message starts
  std::optional<Folder> folder;      // where it ends; nullopt: deleted for good
  std::uint32_t sender_list_mask;    // the sender's contact list bit afterwards, 0: none
};

class MessageCommandTest : public testing::TestWithParam<MessageCase> {};

TEST_P(MessageCommandTest, EndsInItsFolderWithItsSenderListed) {
  const MessageCase& c = GetParam();
  CommandWorld world;
  const std::uint32_t account = AddAccount(world.stores);
  const std::uint32_t id = world.FileMessage(account, "sender@example.org", c.flags);
  const std::string path =
      world.stores.messages->MessageFilePath(*world.stores.messages->Find(id));

  std::vector<std::string> words = c.command;
  words.push_back(std::to_string(id));
  const platform::ControlReply reply = world.Run(words);
  ASSERT_EQ(reply.exit_code, 0) << reply.errors;

  world.Reopen();  // what was changed is what was stored
  const store::MessageRecord* record = world.stores.messages->Find(id);
  if (c.folder) {
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->folder(), *c.folder);
    if (c.flags != store::FolderBits(*c.folder)) {
      EXPECT_EQ(record->status, 0);  // moved by hand
    }
  } else {
    EXPECT_EQ(record, nullptr);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  EXPECT_EQ(world.stores.address_lists->LookupAddress("sender@example.org", 0x3),
            c.sender_list_mask);
  EXPECT_EQ(world.stores.pending_senders->size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MessageCommandTest,
    testing::Values(
        MessageCase{"approve_held", {"approve"}, kQuarantine, Folder::kInbox, 0x1},
        MessageCase{"approve_in_inbox_only_trusts", {"approve"}, kInbox, Folder::kInbox, 0x1},
        MessageCase{"approve_junk", {"approve"}, kJunk, Folder::kInbox, 0x1},
        MessageCase{"blacklist_held", {"blacklist"}, kQuarantine, Folder::kTrash, 0x2},
        MessageCase{"blacklist_in_trash_only_lists", {"blacklist"}, kTrash, Folder::kTrash,
                    0x2},
        MessageCase{"delete_inbox_to_trash", {"delete"}, kInbox, Folder::kTrash, 0},
        MessageCase{"delete_held_to_trash", {"delete"}, kQuarantine, Folder::kTrash, 0},
        MessageCase{"delete_in_trash_for_good", {"delete"}, kTrash, std::nullopt, 0},
        MessageCase{"move_held_to_junk", {"move", "--to", "junk"}, kQuarantine,
                    Folder::kJunkMail, 0},
        MessageCase{"move_trash_to_inbox", {"move", "--to", "inbox"}, kTrash, Folder::kInbox,
                    0}),
    [](const testing::TestParamInfo<MessageCase>& info) { return info.param.label; });

TEST(MessageCommandsTest, BlacklistingAKnownTrustedSenderMovesTheContact) {
  CommandWorld world;
  const std::uint32_t account = AddAccount(world.stores);
  ASSERT_EQ(world.Run({"contact", "add", "--name", "Al", "al@example.org"}).exit_code, 0);
  const std::uint32_t id = world.FileMessage(account, "al@example.org", kInbox);
  ASSERT_EQ(world.Run({"blacklist", std::to_string(id)}).exit_code, 0);
  const nlohmann::json contacts = world.Json({"contact", "list"});
  ASSERT_EQ(contacts.size(), 1u);
  EXPECT_EQ(contacts[0]["list"], "blacklist");
  EXPECT_EQ(contacts[0]["name"], "Al");
}

TEST(MessageCommandsTest, AnUnknownIdChangesNothingAndIsNamed) {
  CommandWorld world;
  const std::uint32_t account = AddAccount(world.stores);
  const std::uint32_t id = world.FileMessage(account, "a@example.org", kInbox);
  for (const std::vector<std::string>& words :
       std::vector<std::vector<std::string>>{{"approve", std::to_string(id), "999"},
                                             {"blacklist", "999", std::to_string(id)},
                                             {"delete", std::to_string(id), "999"},
                                             {"move", "--to", "junk", std::to_string(id), "999"},
                                             {"listener", "start", "999"},
                                             {"listener", "set", "999", "--port", "6000"},
                                             {"account", "remove", "999"}}) {
    const platform::ControlReply reply = world.Run(words);
    EXPECT_EQ(reply.exit_code, 1) << words[0];
    EXPECT_NE(reply.errors.find(" 999"), std::string::npos) << reply.errors;
    EXPECT_EQ(std::count(reply.errors.begin(), reply.errors.end(), '\n'), 1) << reply.errors;
  }
  EXPECT_EQ(world.stores.messages->Find(id)->folder(), Folder::kInbox);
  EXPECT_EQ(world.stores.address_lists->size(), 0u);
}

TEST(MessageCommandsTest, MovingIntoTheQuarantineIsRefused) {
  CommandWorld world;
  const std::uint32_t id = world.FileMessage(AddAccount(world.stores), "a@example.org", kInbox);
  const platform::ControlReply reply = world.Run({"move", "--to", "quarantine", std::to_string(id)});
  EXPECT_EQ(reply.exit_code, 1);
  EXPECT_EQ(world.stores.messages->Find(id)->folder(), Folder::kInbox);
}

TEST(MessageCommandsTest, EmptyTrashDeletesOnlyTrashForGood) {
  CommandWorld world;
  const std::uint32_t account = AddAccount(world.stores);
  const std::uint32_t kept = world.FileMessage(account, "a@example.org", kJunk);
  const std::uint32_t gone1 = world.FileMessage(account, "b@example.org", kTrash);
  const std::uint32_t gone2 = world.FileMessage(account, "c@example.org", kTrash);
  ASSERT_EQ(world.Run({"empty-trash"}).exit_code, 0);
  ASSERT_EQ(world.Run({"empty-trash"}).exit_code, 0);  // nothing left: still no question
  world.Reopen();
  EXPECT_NE(world.stores.messages->Find(kept), nullptr);
  EXPECT_EQ(world.stores.messages->Find(gone1), nullptr);
  EXPECT_EQ(world.stores.messages->Find(gone2), nullptr);
}

TEST(MessageCommandsTest, ListGivesEveryKeyAndFiltersByFolder) {
  CommandWorld world;
  const std::uint32_t account = AddAccount(world.stores, 1234);
  const std::uint32_t held = world.FileMessage(account, "held@example.org", kQuarantine);
  const std::uint32_t junk = world.FileMessage(account, "junk@example.org", kJunk, "Offer");

  const nlohmann::json all = world.Json({"messages"});
  ASSERT_EQ(all.size(), 2u);
  const nlohmann::json& first = all[0]["id"] == held ? all[0] : all[1];
  for (const char* key : {"id", "folder", "status", "status_text", "sender", "subject",
                          "account", "size", "read", "received", "sent", "request_sent"}) {
    EXPECT_TRUE(first.contains(key)) << key;
  }
  EXPECT_EQ(first.size(), 12u);
  EXPECT_EQ(first["id"], held);
  EXPECT_EQ(first["folder"], "quarantine");
  EXPECT_EQ(first["status"], 1);
  EXPECT_EQ(first["status_text"], validation::MessageStatusText(1));
  EXPECT_EQ(first["sender"], "held@example.org");
  EXPECT_EQ(first["account"], "user 1234");
  EXPECT_EQ(first["request_sent"], -1);
  EXPECT_EQ(first["sent"], -1);
  EXPECT_EQ(first["received"], CommandWorld::kReceivedTime);
  EXPECT_EQ(first["read"], false);
  EXPECT_EQ(first["size"], world.stores.messages->Find(held)->summary.file_size);

  const nlohmann::json junk_only = world.Json({"messages", "--folder", "junk"});
  ASSERT_EQ(junk_only.size(), 1u);
  EXPECT_EQ(junk_only[0]["id"], junk);
  EXPECT_EQ(junk_only[0]["folder"], "junk");
  EXPECT_EQ(junk_only[0]["subject"], "Offer");
  EXPECT_TRUE(world.Json({"messages", "--folder", "trash"}).empty());
}

TEST(MessageCommandsTest, EightBitSubjectsBecomeValidJsonWithoutLosingAByte) {
  struct Case {
    std::string stored;
    std::string shown;  // as UTF-8
  };
  CommandWorld world;
  const std::uint32_t account = AddAccount(world.stores);
  const std::vector<Case> cases = {
      {"plain", "plain"},
      {"caf\xC3\xA9", "caf\xC3\xA9"},                   // UTF-8 passes through
      {"caf\xE9", "caf\xC3\xA9"},                       // Latin-1 é
      {"\x80\xFF", "\xC2\x80\xC3\xBF"},                 // the ends of the range
      {"\xE2\x82", "\xC3\xA2\xC2\x82"},                 // a cut UTF-8 sequence
      {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},     // a surrogate is not UTF-8
  };
  std::map<std::uint32_t, std::string> shown_by_id;
  for (const Case& c : cases) {
    shown_by_id[world.FileMessage(account, "a@example.org", kInbox, c.stored)] = c.shown;
  }
  const nlohmann::json list = world.Json({"messages"});
  ASSERT_EQ(list.size(), cases.size());
  for (const nlohmann::json& message : list) {
    EXPECT_EQ(message["subject"].get<std::string>(),
              shown_by_id[message["id"].get<std::uint32_t>()]);
  }
}

TEST(StoreCommandsTest, ContactsAreAddedListedAndRemovedByAddress) {
  CommandWorld world;
  ASSERT_EQ(world.Run({"contact", "add", "--name", "Bo", "Bo@Example.org", "bo@work.example"})
                .exit_code,
            0);
  ASSERT_EQ(world.Run({"contact", "add", "--list", "blacklist", "spam@example.net"}).exit_code,
            0);
  const platform::ControlReply clash = world.Run({"contact", "add", "bo@example.org"});
  EXPECT_EQ(clash.exit_code, 1);
  EXPECT_EQ(clash.errors, "The 'bo@example.org' Address is already in 'Trusted Contacts'.\n");

  nlohmann::json trusted = world.Json({"contact", "list", "--list", "trusted"});
  ASSERT_EQ(trusted.size(), 1u);
  EXPECT_EQ(trusted[0]["name"], "Bo");
  EXPECT_EQ(trusted[0]["list"], "trusted");
  EXPECT_EQ(trusted[0]["addresses"],
            nlohmann::json::array({"bo@example.org", "bo@work.example"}));
  EXPECT_EQ(trusted[0].size(), 4u);
  EXPECT_EQ(world.Json({"contact", "list"}).size(), 2u);

  // The address leaves its contact; the contact goes with its last address.
  EXPECT_EQ(world.Run({"contact", "remove", "--list", "blacklist", "bo@example.org"}).exit_code,
            1);
  ASSERT_EQ(world.Run({"contact", "remove", "bo@example.org"}).exit_code, 0);
  world.Reopen();
  trusted = world.Json({"contact", "list", "--list", "trusted"});
  ASSERT_EQ(trusted.size(), 1u);
  EXPECT_EQ(trusted[0]["addresses"], nlohmann::json::array({"bo@work.example"}));
  ASSERT_EQ(world.Run({"contact", "remove", "bo@work.example", "spam@example.net"}).exit_code, 0);
  EXPECT_TRUE(world.Json({"contact", "list"}).empty());
  EXPECT_EQ(world.Run({"contact", "remove", "nobody@example.org"}).exit_code, 1);
}

TEST(StoreCommandsTest, TrustedDomainsAreAddedListedAndRemoved) {
  CommandWorld world;
  ASSERT_EQ(world.Run({"domain", "add", "Example.ORG", "b.example"}).exit_code, 0);
  const platform::ControlReply duplicate = world.Run({"domain", "add", "example.org"});
  EXPECT_EQ(duplicate.exit_code, 1);
  EXPECT_EQ(duplicate.errors, "The 'example.org' Trusted Domain is already in the list.\n");
  EXPECT_EQ(world.Run({"domain", "add", std::string(256, 'd')}).exit_code, 2);
  world.Reopen();
  EXPECT_EQ(world.Json({"domain", "list"}), nlohmann::json::array({"b.example", "example.org"}));
  EXPECT_EQ(world.Run({"domain", "remove", "example.org", "unknown.example"}).exit_code, 1);
  EXPECT_EQ(world.Json({"domain", "list"}).size(), 2u);  // nothing removed
  ASSERT_EQ(world.Run({"domain", "remove", "example.org"}).exit_code, 0);
  EXPECT_EQ(world.Run({"domain", "list"}).output, "b.example\n");
}

}  // namespace
}  // namespace pelrion::apptest
