#include "validation/quarantine.h"

#include <string>
#include <vector>

#include "mailformat/find_substring.h"
#include "platform/clock.h"
#include "validation/message_status.h"

namespace pelrion::validation {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::uint32_t kDefaultExpireDays = 5;
constexpr std::uint32_t kBlackListMask = 0x2;
// Any multiplier finds the same positions; a small prime spreads the digit hashes.
constexpr std::uint32_t kCodeSearchMultiplier = 31;

bool ReplyCarriesCode(std::int32_t code, std::string_view text) {
  if (code == 0) return true;  // the Reply method asks for no code
  const std::string digits = std::to_string(code);
  return mailformat::FindSubstring(digits, text, kCodeSearchMultiplier) >= 0;
}

}  // namespace

void Quarantine::ResolveMessage(store::MessageRecord& message, bool accept) {
  messages_.ResolveMessage(message, accept, JunkPreference());
}

void Quarantine::ResolveEntry(PendingSender entry, std::int32_t status, bool accept) {
  // The entry is removed afterwards, so work on a copy of what it names: resolving reaches
  // the message list's view, which must not find the entry half taken apart.
  for (store::MessageRecord* message : entry.messages) {
    message->status = status;
    ResolveMessage(*message, accept);
  }
  list_.RemoveEntry(entry.address);
}

void Quarantine::RequestDelivered(std::string_view address) {
  PendingSender* entry = list_.Find(address);
  if (entry == nullptr) return;
  const auto now = static_cast<std::int32_t>(platform::Now());
  // A copy: refreshing reaches the message list's view, which may look at the whole list,
  // and that drops vacated entries, moving the others.
  const std::vector<store::MessageRecord*> held = entry->messages;
  for (store::MessageRecord* message : held) {
    message->request_sent_time = now;
    message->status = kStatusAwaitingReply;
    messages_.RefreshRecord(*message);
  }
}

void Quarantine::RequestRefused(std::string_view address) {
  if (PendingSender* entry = list_.Find(address)) {
    ResolveEntry(*entry, kStatusRequestFailed, /*accept=*/false);
  }
}

void Quarantine::RequestBounced(std::string_view address, std::int32_t number) {
  PendingSender* entry = list_.Find(address);
  if (entry == nullptr || entry->first().request_number != number) return;
  ResolveEntry(*entry, kStatusRequestFailed, /*accept=*/false);
}

void Quarantine::AuthorizationReplyReceived(std::string_view address, std::int32_t number,
                                            std::string_view text) {
  PendingSender* entry = list_.Find(address);
  if (entry == nullptr) return;
  const store::MessageRecord& first = entry->first();
  if (first.request_number != number) return;
  if (!ReplyCarriesCode(first.authorization_code, text)) return;
  // The address checked is the one the tag names, not the reply's From.
  if (lists_.LookupAddress(address, kBlackListMask) != 0) return;
  lists_.AddContactIfNew(first.summary.sender_name_decoded(), {std::string(address)},
                         store::kTrustedContactsList);
  ResolveEntry(*entry, kStatusAuthorized, /*accept=*/true);
}

std::int64_t Quarantine::ExpireSeconds() const {
  std::uint32_t days = preferences_.expire;
  if (days < core::kExpireMin || days > core::kExpireMax) days = kDefaultExpireDays;
  return static_cast<std::int64_t>(days) * kSecondsPerDay;
}

void Quarantine::ExpireQuarantine() {
  const std::int64_t now = platform::Now();
  const std::int64_t limit = ExpireSeconds();
  // The out-of-date entries are picked in one walk from the last entry to the first, then
  // resolved in that order; the list drops them all in one pass when next looked at.
  std::vector<PendingSender> expired;
  const std::vector<PendingSender>& entries = list_.entries();
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    const std::int64_t sent = entry->first().request_sent_time;
    if (sent != 0 && limit < now - sent) expired.push_back(*entry);
  }
  for (PendingSender& entry : expired) {
    ResolveEntry(std::move(entry), kStatusExpired, /*accept=*/false);
  }
}

}  // namespace pelrion::validation
