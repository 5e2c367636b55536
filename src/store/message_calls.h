// The message-store operations that worker threads (mail check, mail-client sessions)
// need, each run on the main thread through the MainThread port while the worker waits.
// Every function may be called from any thread; on the main thread it runs directly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/main_thread.h"
#include "store/duplicate_digest_table.h"
#include "store/message_accounts.h"
#include "store/message_table.h"

namespace pelrion::store {

class MessageCalls {
 public:
  // All four must outlive this object.
  MessageCalls(platform::MainThread& main_thread, MessageTable& messages,
               DuplicateDigestTable& digests, const MessageAccounts& accounts)
      : main_(main_thread), messages_(messages), digests_(digests), accounts_(accounts) {}

  // A fresh id for the record and its empty message file; returns that file's path.
  std::string CreateMessageFile(MessageRecord& record);
  // Files a new message; nullptr (record left with the caller) when refused.
  MessageRecord* RegisterMessage(std::unique_ptr<MessageRecord>&& record);
  // RegisterMessage, and once it is filed its duplicate key (when not empty) is remembered
  // for its account in the same main-thread call: the key never stands for a message the
  // store does not hold.
  MessageRecord* FileMessage(std::unique_ptr<MessageRecord>&& record, std::string_view key);
  // A mail client deleted the message (keep-if-busy on).
  void Unlink(MessageRecord& record);
  // Ends one hold on the record.
  void ReleaseMessage(MessageRecord& record);
  // The account's Inbox messages that pass the data check, each with a hold taken.
  std::vector<MessageRecord*> CollectInbox(std::uint32_t account_id);
  // true when the key is new for the account (and now remembered).
  bool RememberDigest(std::uint32_t account_id, std::string_view key);
  // Whether the key is remembered for the account (nothing is stored).
  bool KnowsDigest(std::uint32_t account_id, std::string_view key);
  void ForgetDigests(std::uint32_t account_id);
  bool AccountExists(std::uint32_t account_id);

 private:
  platform::MainThread& main_;
  MessageTable& messages_;
  DuplicateDigestTable& digests_;
  const MessageAccounts& accounts_;
};

}  // namespace pelrion::store
