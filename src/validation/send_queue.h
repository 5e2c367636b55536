// SendQueue: the authorization requests due, per account, for the send thread. One group
// per account, groups sorted by account id; each holds the account and its outgoing (SMTP)
// listener, each with one reference taken from its table, and the representative messages
// (the first message of every held sender whose request has not been sent), each with one
// extra reference. BuildSendQueue and ReleaseSendQueue run on the main thread; between the
// two the send thread may read the queue and the records.
#pragma once

#include <vector>

#include "store/account_table.h"
#include "store/listener_record.h"
#include "store/listener_table.h"
#include "store/mail_account.h"
#include "store/message_record.h"
#include "store/message_table.h"
#include "validation/pending_sender_list.h"

namespace pelrion::validation {

struct SendGroup {
  store::MailAccount* account = nullptr;        // one reference held
  store::Listener* smtp_listener = nullptr;     // one reference held
  std::vector<store::MessageRecord*> messages;  // list order; one reference each
};

struct SendQueue {
  std::vector<SendGroup> groups;  // ascending account id
};

// Where the queue takes its references from; all must outlive the queue's references.
struct SendQueueStores {
  store::MessageTable& messages;
  store::AccountTable& accounts;
  store::ListenerTable& listeners;
};

// Releases what queue still holds, then fills it from the list's unsent entries (the
// "challenge" preference is not consulted: held senders are asked even after requests were
// switched off). A message whose account or SMTP listener cannot be found is left out.
// True when the queue holds at least one group.
bool BuildSendQueue(SendQueue& queue, const PendingSenderList& list, const SendQueueStores& stores);

// Gives back every reference the queue holds (a message deleted meanwhile goes for good
// now) and empties it.
void ReleaseSendQueue(SendQueue& queue, const SendQueueStores& stores);

}  // namespace pelrion::validation
