#include "transport/maildrop.h"

#include <cstdio>
#include <utility>

namespace pelrion::transport {

void Maildrop::Load(std::vector<store::MessageRecord*> messages) {
  entries_.clear();
  entries_.reserve(messages.size());
  for (store::MessageRecord* message : messages) entries_.push_back({message, false});
}

MaildropEntry* Maildrop::Present(std::int32_t n) {
  if (n < 1 || n > size()) return nullptr;
  MaildropEntry& entry = entries_[static_cast<std::size_t>(n - 1)];
  return entry.deleted ? nullptr : &entry;
}

std::int32_t Maildrop::PresentCount() const {
  std::int32_t count = 0;
  for (const MaildropEntry& entry : entries_) count += entry.deleted ? 0 : 1;
  return count;
}

std::uint64_t Maildrop::PresentBytes() const {
  std::uint64_t total = 0;
  for (const MaildropEntry& entry : entries_) {
    if (!entry.deleted) total += MessageSize(*entry.message);
  }
  return total;
}

void Maildrop::ClearMarks() {
  for (MaildropEntry& entry : entries_) entry.deleted = false;
}

std::uint32_t MessageSize(const store::MessageRecord& message) {
  return message.summary.file_size;
}

std::string UniqueId(const store::MessageRecord& message) {
  std::string text = std::to_string(message.id) + "-";
  char hex[3];
  for (std::uint8_t byte : message.summary.content_digest) {
    std::snprintf(hex, sizeof hex, "%02x", byte);
    text += hex;
  }
  return text;
}

}  // namespace pelrion::transport
