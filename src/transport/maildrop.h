// Maildrop: the snapshot of an account's Inbox one local POP3 session offers. Each message is
// held (the store keeps its file) until the session ends; numbers are 1-based positions and
// never change during the session: a message marked for deletion keeps its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/message_record.h"

namespace pelrion::transport {

struct MaildropEntry {
  store::MessageRecord* message = nullptr;  // held by the session
  bool deleted = false;
};

class Maildrop {
 public:
  // Takes over the holds on `messages`, in their order, none marked.
  void Load(std::vector<store::MessageRecord*> messages);
  std::vector<MaildropEntry>& entries() { return entries_; }
  std::int32_t size() const { return static_cast<std::int32_t>(entries_.size()); }

  // The entry numbered n (1-based) when it exists and is not marked; else null.
  MaildropEntry* Present(std::int32_t n);
  std::int32_t PresentCount() const;
  std::uint64_t PresentBytes() const;
  void ClearMarks();

 private:
  std::vector<MaildropEntry> entries_;
};

// The message's size as the server reports it: its file size.
std::uint32_t MessageSize(const store::MessageRecord& message);

// A value that names the message in every session and no other message: its id (never reused
// while the message is stored) and its content digest (so a new message that reuses the id
// after a deletion does not look like the old one), e.g. "17-9e107d9d372bb6826bd81d3542a419d6".
std::string UniqueId(const store::MessageRecord& message);

}  // namespace pelrion::transport
