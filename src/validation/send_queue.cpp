#include "validation/send_queue.h"

#include <algorithm>

namespace pelrion::validation {
namespace {

// The group of account_id, created (with its account and listener looked up) when missing;
// null when the account or its SMTP listener no longer exists.
SendGroup* GroupOf(SendQueue& queue, std::uint32_t account_id, const SendQueueStores& stores) {
  auto& groups = queue.groups;
  auto at = std::lower_bound(
      groups.begin(), groups.end(), account_id,
      [](const SendGroup& group, std::uint32_t id) { return group.account->id < id; });
  if (at != groups.end() && at->account->id == account_id) return &*at;
  store::MailAccount* account = stores.accounts.FindAccount(account_id);
  if (account == nullptr) return nullptr;
  store::Listener* listener = stores.listeners.FindListener(account->smtp_listener_id);
  if (listener == nullptr) {
    stores.accounts.ReleaseAccount(account);
    return nullptr;
  }
  at = groups.insert(at, SendGroup{account, listener, {}});
  return &*at;
}

}  // namespace

bool BuildSendQueue(SendQueue& queue, const PendingSenderList& list,
                    const SendQueueStores& stores) {
  ReleaseSendQueue(queue, stores);
  for (const PendingSender& entry : list.entries()) {
    store::MessageRecord& first = entry.first();
    if (first.request_sent_time != 0) continue;
    SendGroup* group = GroupOf(queue, first.account_id, stores);
    if (group == nullptr) continue;
    ++first.references;
    group->messages.push_back(&first);
  }
  return !queue.groups.empty();
}

void ReleaseSendQueue(SendQueue& queue, const SendQueueStores& stores) {
  for (SendGroup& group : queue.groups) {
    for (store::MessageRecord* message : group.messages) stores.messages.ReleaseMessage(*message);
    stores.listeners.ReleaseListener(group.smtp_listener);
    stores.accounts.ReleaseAccount(group.account);
  }
  queue.groups.clear();
}

}  // namespace pelrion::validation
