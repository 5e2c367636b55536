#include "store/message_calls.h"

namespace pelrion::store {

std::string MessageCalls::CreateMessageFile(MessageRecord& record) {
  return main_.Call([&] {
    messages_.CreateMessageFile(record);
    return messages_.MessageFilePath(record);
  });
}

MessageRecord* MessageCalls::RegisterMessage(std::unique_ptr<MessageRecord>&& record) {
  return main_.Call([&] { return messages_.RegisterMessage(std::move(record)); });
}

MessageRecord* MessageCalls::FileMessage(std::unique_ptr<MessageRecord>&& record,
                                         std::string_view key) {
  return main_.Call([&] {
    const std::uint32_t account_id = record->account_id;
    MessageRecord* filed = messages_.RegisterMessage(std::move(record));
    if (filed != nullptr && !key.empty()) digests_.RememberDigest(account_id, key);
    return filed;
  });
}

void MessageCalls::Unlink(MessageRecord& record) {
  main_.Call([&] { messages_.Unlink(record, /*keep_if_busy=*/true); });
}

void MessageCalls::ReleaseMessage(MessageRecord& record) {
  main_.Call([&] { messages_.ReleaseMessage(record); });
}

std::vector<MessageRecord*> MessageCalls::CollectInbox(std::uint32_t account_id) {
  return main_.Call([&] {
    std::vector<MessageRecord*> list;
    messages_.CollectInbox(account_id, list);
    return list;
  });
}

bool MessageCalls::RememberDigest(std::uint32_t account_id, std::string_view key) {
  return main_.Call([&] { return digests_.RememberDigest(account_id, key); });
}

bool MessageCalls::KnowsDigest(std::uint32_t account_id, std::string_view key) {
  return main_.Call([&] { return digests_.KnowsDigest(account_id, key); });
}

bool MessageCalls::AccountExists(std::uint32_t account_id) {
  return main_.Call([&] { return accounts_.AccountExists(account_id); });
}

void MessageCalls::ForgetDigests(std::uint32_t account_id) {
  main_.Call([&] { digests_.ForgetDigests(account_id); });
}

}  // namespace pelrion::store
