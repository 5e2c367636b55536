// messages, approve, blacklist, delete, move, empty-trash: the main window's message
// commands on messages named by id.
#include <algorithm>
#include <string>
#include <vector>

#include "app/command_handlers.h"
#include "app/command_reply.h"
#include "store/message_record.h"
#include "validation/message_commands.h"
#include "validation/message_status.h"

namespace pelrion::app {
namespace {

constexpr std::string_view kFolderWords[store::kFolderCount] = {"inbox", "quarantine", "junk",
                                                                "trash"};

std::string_view FolderWord(store::Folder folder) {
  return kFolderWords[static_cast<int>(folder)];
}

store::Folder FolderOfWord(std::string_view word) {
  for (int i = 0; i < store::kFolderCount; ++i) {
    if (kFolderWords[i] == word) return static_cast<store::Folder>(i);
  }
  return store::Folder::kInbox;
}

// A time of the record, or -1 when there is none.
std::int64_t TimeOrNone(std::int64_t seconds, std::int64_t none) {
  return seconds == none ? -1 : seconds;
}

std::string AccountName(CommandContext& context, std::uint32_t account_id) {
  const auto account = context.stores.accounts->CopyOf(account_id);
  return account ? std::string(account->friendly_name.Text()) : std::string();
}

nlohmann::json MessageJson(CommandContext& context, const store::MessageRecord& record) {
  const store::MessageSummary& summary = record.summary;
  return {{"id", record.id},
          {"folder", FolderWord(record.folder())},
          {"status", record.status},
          {"status_text", validation::MessageStatusText(record.status)},
          {"sender", JsonText(summary.sender_address())},
          {"subject", JsonText(summary.subject_decoded())},
          {"account", JsonText(AccountName(context, record.account_id))},
          {"size", summary.file_size},
          {"read", record.read()},
          {"received", TimeOrNone(summary.received, mailformat::kNoDate)},
          {"sent", TimeOrNone(summary.sent, mailformat::kNoDate)},
          {"request_sent", TimeOrNone(record.request_sent_time, 0)}};
}

platform::ControlReply ListMessages(CommandContext& context, const ParsedCommand& command) {
  const bool one_folder = command.Has("--folder");
  const store::Folder folder = FolderOfWord(command.Value("--folder"));
  nlohmann::json list = nlohmann::json::array();
  std::string text;
  for (const store::MessageRecord* record : context.stores.messages->records()) {
    if (one_folder && record->folder() != folder) continue;
    if (command.Has("--json")) {
      list.push_back(MessageJson(context, *record));
      continue;
    }
    text += std::to_string(record->id) + "\t" + std::string(FolderWord(record->folder())) +
            "\t" + std::to_string(record->status) + "\t" +
            std::string(record->summary.sender_address()) + "\t" +
            std::string(record->summary.subject_decoded()) + "\n";
  }
  return Succeeded(command.Has("--json") ? JsonOutput(list) : text);
}

}  // namespace

platform::ControlReply RunMessageCommand(CommandContext& context, const ParsedCommand& command) {
  store::MessageTable& messages = *context.stores.messages;
  if (command.id == CommandId::kMessages) return ListMessages(context, command);
  if (command.id == CommandId::kEmptyTrash) {
    validation::EmptyTrash(messages);
    return Succeeded();
  }
  if (command.id == CommandId::kMove && command.Value("--to") == "quarantine") {
    return Refused("pelrion: a message enters the Quarantine only when it arrives");
  }
  // Every id is found before anything changes, so a mistyped id changes nothing.
  std::vector<store::MessageRecord*> selection;
  for (const std::uint32_t id : command.ids) {
    store::MessageRecord* record = messages.Find(id);
    if (record == nullptr) return UnknownId("message", id);
    if (std::find(selection.begin(), selection.end(), record) == selection.end()) {
      selection.push_back(record);
    }
  }
  store::AddressListTable& lists = *context.stores.address_lists;
  switch (command.id) {
    case CommandId::kApprove:
      validation::ApproveMessages(lists, messages, selection);
      break;
    case CommandId::kBlacklist:
      validation::BlacklistMessages(lists, messages, selection);
      break;
    case CommandId::kDelete:
      validation::DeleteMessages(messages, selection);
      break;
    default:
      messages.MoveMessages(selection, FolderOfWord(command.Value("--to")));
      break;
  }
  return Succeeded();
}

}  // namespace pelrion::app
