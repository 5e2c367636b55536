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

std::vector<PendingSender>::iterator PendingSenderList::FindEntry(std::string_view address) {
  auto at = LowerBound(address);
  const bool live = at != entries_.end() && at->address == address && !at->messages.empty();
  return live ? at : entries_.end();
}

PendingSender* PendingSenderList::Find(std::string_view address) {
  auto at = FindEntry(address);
  return at != entries_.end() ? &*at : nullptr;
}

void PendingSenderList::Vacate(PendingSender& entry) {
  entry.messages.clear();
  ++vacated_;
}

void PendingSenderList::DropVacated() const {
  if (vacated_ == 0) return;
  std::erase_if(entries_, [](const PendingSender& entry) { return entry.messages.empty(); });
  vacated_ = 0;
}

void PendingSenderList::HoldMessage(store::MessageRecord& message, bool loading) {
  const std::string address(message.summary.sender_address());
  auto at = LowerBound(address);
  const bool present = at != entries_.end() && at->address == address;
  if (present && !at->messages.empty()) {
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
  if (present) {
    --vacated_;  // the sender's old place, taken back as a new entry
  } else {
    at = entries_.insert(at, PendingSender{address, {}});
  }
  if (!loading) {
    const RequestFields fields = DrawRequestFields(core::SelectedMethod(preferences_));
    message.request_number = fields.request_number;
    message.authorization_code = fields.authorization_code;
    message.request_sent_time = 0;
  }
  at->messages.push_back(&message);
}

bool PendingSenderList::ReleaseHeldMessage(store::MessageRecord& message) {
  auto at = FindEntry(message.summary.sender_address());
  if (at == entries_.end()) return false;
  auto& messages = at->messages;
  auto found = std::lower_bound(messages.begin(), messages.end(), &message, IdBefore);
  if (found == messages.end() || *found != &message) return false;
  messages.erase(found);
  if (messages.empty()) Vacate(*at);
  return true;
}

void PendingSenderList::Rebuild(const store::MessageTable& messages) {
  Rebuild(messages.records());
}

void PendingSenderList::Rebuild(std::span<store::MessageRecord* const> records) {
  entries_.clear();
  vacated_ = 0;
  // Each address is unpacked once: a comparison that unpacked both would do it about
  // 2 n log n times, which dominated a start with a large Quarantine.
  struct Held {
    std::string_view address;
    store::MessageRecord* record;
  };
  std::vector<Held> held;
  for (store::MessageRecord* record : records) {
    if (record->folder() == store::Folder::kQuarantine) {
      held.push_back(Held{record->summary.sender_address(), record});
    }
  }
  // Stable, so of two records with one address and one id the earlier is kept, as holding
  // them one by one keeps it.
  std::stable_sort(held.begin(), held.end(), [](const Held& a, const Held& b) {
    const int order = a.address.compare(b.address);
    return order != 0 ? order < 0 : IdBefore(a.record, b.record);
  });
  for (const auto& [address, record] : held) {
    if (entries_.empty() || entries_.back().address != address) {
      entries_.push_back(PendingSender{std::string(address), {}});
    }
    auto& messages = entries_.back().messages;
    if (!messages.empty() && messages.back()->id == record->id) continue;
    messages.push_back(record);
  }
}

void PendingSenderList::RemoveEntry(std::string_view address) {
  auto at = FindEntry(address);
  if (at != entries_.end()) Vacate(*at);
}

}  // namespace pelrion::validation
