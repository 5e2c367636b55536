// The program's own Message-id form: "<KVX." then dotted "name-value" pairs, then "@host>".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pelrion::mailformat {

// True when value begins with "<", "K", "V", "X", "." in this order (exact case; white space
// allowed between any two of them) and an "@" follows somewhere after the ".".
bool IsOwnMessageId(std::string_view value);

// Segment names and values of a dotted-pair value; names[i] belongs to values[i].
struct DottedPairs {
  std::vector<std::string> names;
  std::vector<std::string> values;

  std::size_t size() const { return names.size(); }
};

// With all white space removed, each segment after the first "." that ends at a later "."
// before the first "@" is split at its first "-" into name and value (value empty without "-").
// The segment that ends at the "@" is not taken; no "." or "@" gives no pairs.
DottedPairs SplitDottedPairs(std::string_view value);

}  // namespace pelrion::mailformat
