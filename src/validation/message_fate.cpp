#include "validation/message_fate.h"

#include <unistd.h>

#include <optional>

#include "mailformat/ascii.h"
#include "store/content_digest.h"

namespace pelrion::validation {
namespace {

// Deletes the message file on scope exit unless the message was filed.
class MessageFileGuard {
 public:
  explicit MessageFileGuard(const std::string& path) : path_(path) {}
  ~MessageFileGuard() {
    if (!kept_) ::unlink(path_.c_str());
  }
  MessageFileGuard(const MessageFileGuard&) = delete;
  MessageFileGuard& operator=(const MessageFileGuard&) = delete;
  void Keep() { kept_ = true; }

 private:
  const std::string& path_;
  bool kept_ = false;
};

// Step 2 to 4: the reason to discard the message before it is classified, if any.
std::optional<MessageFate> Screen(store::MessageRecord& message, const store::MailAccount& account,
                                  const std::function<std::string()>& uidl,
                                  const FateServices& services, ClassificationInput& input,
                                  std::string& key) {
  const ArrivalChecks& checks = services.checks;
  std::string message_id;
  if (!checks.analyse || !checks.analyse(message, input, message_id)) {
    return MessageFate::kUnreadable;
  }
  key = mailformat::ascii::Trim(message_id);
  if (key.empty() && uidl) key = uidl();
  // Only consulted here: the key is remembered once the message is filed or consumed, so
  // a failure in between cannot make the next check take an unfiled message for a copy.
  if (!key.empty() && services.calls.KnowsDigest(account.id, key)) {
    return MessageFate::kDuplicate;
  }
  if (!input.is_authorization_request) {
    const bool consumed = input.report.is_delivery_status_notification
                              ? checks.check_bounce && checks.check_bounce(message, input.report)
                              : checks.check_reply && checks.check_reply(message);
    if (consumed) {
      if (!key.empty()) services.calls.RememberDigest(account.id, key);
      return MessageFate::kConsumed;
    }
  }
  return std::nullopt;
}

}  // namespace

bool MayDeleteFromServer(MessageFate fate) {
  return fate == MessageFate::kFiled || fate == MessageFate::kConsumed ||
         fate == MessageFate::kDuplicate;
}

MessageFate DecideMessageFate(std::unique_ptr<store::MessageRecord> message,
                              const std::string& file_path, const store::MailAccount& account,
                              const std::function<std::string()>& uidl,
                              const FateServices& services) {
  // Until the store owns the message its file is ours to remove, also when a step throws
  // (the UIDL request is network traffic); the record goes with the unique_ptr.
  MessageFileGuard file(file_path);
  if (!message) return MessageFate::kUnreadable;

  ClassificationInput input;
  std::string key;
  if (auto fate = Screen(*message, account, uidl, services, input, key)) return *fate;

  ClassifyMessage(*message, account, input, services.context);

  auto fingerprint = store::ReadContentFingerprint(file_path);
  if (!fingerprint) return MessageFate::kUnreadable;
  message->summary.file_size = static_cast<std::uint32_t>(fingerprint->file_size);
  message->summary.content_digest = fingerprint->digest;
  message->account_id = account.id;

  // A refused record is left with us and freed on return.
  if (services.calls.FileMessage(std::move(message), key) == nullptr) return MessageFate::kRefused;
  file.Keep();
  return MessageFate::kFiled;
}

}  // namespace pelrion::validation
