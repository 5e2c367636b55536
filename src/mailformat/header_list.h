// A message's header fields as parallel name and value lists, in message order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace pelrion::mailformat {

struct HeaderList {
  std::vector<std::string> names;   // text before the colon, exactly as written
  std::vector<std::string> values;  // text after the colon, leading white space kept

  std::size_t size() const { return names.size(); }
  void clear() {
    names.clear();
    values.clear();
  }
};

}  // namespace pelrion::mailformat
