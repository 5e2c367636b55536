// What the message store needs to know about mail accounts: whether one exists, and
// its count of stored messages (an account with messages cannot be removed). The
// account table implements it; tests may use a small fake.
#pragma once

#include <cstdint>

namespace pelrion::store {

class MessageAccounts {
 public:
  virtual ~MessageAccounts() = default;

  virtual bool AccountExists(std::uint32_t account_id) const = 0;
  // Adds delta to the account's message count; false (and nothing changed) when the
  // account does not exist.
  virtual bool AdjustMessageCount(std::uint32_t account_id, int delta) = 0;
};

}  // namespace pelrion::store
