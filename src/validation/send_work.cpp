#include "validation/send_work.h"

namespace pelrion::validation {

namespace {

SendGroupWork CopyGroup(const SendGroup& group) {
  const store::MailAccount& account = *group.account;
  SendGroupWork work;
  work.account_id = account.id;
  work.account_name = std::string(account.friendly_name.Text());
  work.smtp_authentication = account.smtp_authentication == 1;
  work.smtp_user_name = std::string(account.smtp_user_name.Text());
  work.smtp_password = std::string(account.smtp_password.Text());
  work.email_address = std::string(account.email_address.Text());
  work.smtp_listener_id = group.smtp_listener->id;
  work.server_host = std::string(group.smtp_listener->server_host.Text());
  work.server_port = group.smtp_listener->server_port;
  work.requests.reserve(group.messages.size());
  for (const store::MessageRecord* message : group.messages) {
    work.requests.push_back(RequestWork{message->id, RequestFactsOf(*message, account)});
  }
  return work;
}

}  // namespace

SendWork CopySendWork(const SendQueue& queue, const core::Preferences& preferences) {
  SendWork work;
  work.settings = preferences;
  work.groups.reserve(queue.groups.size());
  for (const SendGroup& group : queue.groups) work.groups.push_back(CopyGroup(group));
  return work;
}

}  // namespace pelrion::validation
