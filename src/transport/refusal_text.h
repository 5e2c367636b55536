// How a server's refusal line becomes the reason the user reads.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::transport {

// The line without its trailing white space; "[No Error Description]" when nothing is left.
std::string RefusalReason(std::string_view line);

// The same after dropping a leading "-ERR" and the character after it.
std::string Pop3RefusalReason(std::string_view line);

}  // namespace pelrion::transport
