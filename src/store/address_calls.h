// The address-list operations that worker threads (sender validation, the SMTP relay) need,
// each run on the main thread through the MainThread port while the worker waits. Every
// function may be called from any thread; on the main thread it runs directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/main_thread.h"
#include "store/address_list_table.h"

namespace pelrion::store {

class AddressCalls {
 public:
  // Both must outlive this object.
  AddressCalls(platform::MainThread& main_thread, AddressListTable& lists)
      : main_(main_thread), lists_(lists) {}

  // (list mask of the contact holding exactly this address) AND mask; 0 when unknown.
  std::uint32_t LookupAddress(std::string_view address, std::uint32_t mask);
  // Adds the contact when its first address is unknown; true when it was added.
  bool AddContactIfNew(std::string_view name, const std::vector<std::string>& addresses,
                       int list_index);

 private:
  platform::MainThread& main_;
  AddressListTable& lists_;
};

}  // namespace pelrion::store
