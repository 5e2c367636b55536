#include "validation/pending_sender_list.h"

#include <algorithm>

#include "platform/random.h"

namespace pelrion::validation {
namespace {

// Two successive draws of the process-wide generator make one 31-bit value.
std::int32_t DrawR() {
  const auto high = static_cast<std::uint32_t>(platform::Rand()) & 0xFFFF;
  const auto low = static_cast<std::uint32_t>(platform::Rand()) & 0xFFFF;
  return static_cast<std::int32_t>((high << 16) | low);
}

bool IdBefore(const store::MessageRecord* a, const store::MessageRecord* b) {
  return a->id < b->id;
}

}  // namespace

RequestFields DrawRequestFields(core::ValidationMethod method) {
  RequestFields fields;
  fields.request_number = DrawR() % 90000 + 10000;
  if (method == core::ValidationMethod::kCaptcha)
    fields.authorization_code = DrawR() % 900000 + 100000;
  return fields;
}

std::vector<PendingSender>::iterator PendingSenderList::LowerBound(std::string_view address) {
  // std::string comparison is a plain byte comparison (char_traits<char>::compare is
  // memcmp-like, unsigned bytes).
  return std::lower_bound(
      entries_.begin(), entries_.end(), address,
      [](const PendingSender& entry, std::string_view key) { return entry.address < key; });
}

PendingSender* PendingSenderList::Find(std::string_view address) {
  auto at = LowerBound(address);
  return (at != entries_.end() && at->address == address) ? &*at : nullptr;
}

void PendingSenderList::HoldMessage(store::MessageRecord& message, bool loading) {
  const std::string& address = message.summary.sender_address;
  auto at = LowerBound(address);
  if (at != entries_.end() && at->address == address) {
    auto& held = at->messages;
    auto place = std::lower_bound(held.begin(), held.end(), &message, IdBefore);
    if (place != held.end() && (*place)->id == message.id) return;  // already held
    if (!loading) {
      // One request per sender: the newcomer shows the request already drawn (and perhaps
      // sent); its status stays as classified.
      const store::MessageRecord& first = at->first();
      message.request_number = first.request_number;
      message.authorization_code = first.authorization_code;
      message.request_sent_time = first.request_sent_time;
    }
    held.insert(place, &message);
    return;
  }
  at = entries_.insert(at, PendingSender{address, {}});
  if (!loading) {
    const RequestFields fields = DrawRequestFields(core::SelectedMethod(preferences_));
    message.request_number = fields.request_number;
    message.authorization_code = fields.authorization_code;
    message.request_sent_time = 0;
  }
  at->messages.push_back(&message);
}

bool PendingSenderList::ReleaseHeldMessage(store::MessageRecord& message) {
  auto at = LowerBound(message.summary.sender_address);
  if (at == entries_.end() || at->address != message.summary.sender_address) return false;
  auto& messages = at->messages;
  auto found = std::lower_bound(messages.begin(), messages.end(), &message, IdBefore);
  if (found == messages.end() || *found != &message) return false;
  messages.erase(found);
  if (messages.empty()) entries_.erase(at);
  return true;
}

void PendingSenderList::Rebuild(const store::MessageTable& messages) {
  entries_.clear();
  for (store::MessageRecord* record : messages.records()) {
    if (record->folder() == store::Folder::kQuarantine) HoldMessage(*record, /*loading=*/true);
  }
}

void PendingSenderList::RemoveEntry(std::string_view address) {
  auto at = LowerBound(address);
  if (at != entries_.end() && at->address == address) entries_.erase(at);
}

}  // namespace pelrion::validation
