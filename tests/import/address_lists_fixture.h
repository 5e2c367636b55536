// Real address lists in a temporary database folder, reached through the worker-side
// calls the importers use, and what a test wants to know about them afterwards.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/main_thread.h"
#include "store/address_calls.h"
#include "store/address_list_table.h"
#include "store/contact.h"
#include "support/temp_dir.h"

namespace pelrion::importtest {

struct AddressListsWorld {
  AddressListsWorld() { lists.Load(); }

  // address -> (list index, display name) of every stored contact, read from a freshly
  // loaded table so that what was written to the files is what is checked.
  struct Holder {
    int list = -1;
    std::string name;
    bool operator==(const Holder&) const = default;
  };
  std::map<std::string, Holder> Stored() const {
    store::AddressListTable reloaded(folder);
    reloaded.Load();
    std::map<std::string, Holder> out;
    for (const store::Contact* contact : reloaded.records()) {
      const int list = (contact->list_mask & store::ListBit(store::kBlackList)) != 0 ? 1 : 0;
      for (const std::string& address : contact->blob.addresses) {
        out[address] = {list, contact->blob.name};
      }
    }
    return out;
  }

  test_support::TempDir temp;
  std::string folder = temp.path() + "/";
  platform::PlainMainThread main_thread;
  store::AddressListTable lists{folder};
  store::AddressCalls calls{main_thread, lists};
};

}  // namespace pelrion::importtest
