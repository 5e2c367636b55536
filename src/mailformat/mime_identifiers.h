// Identifiers made up by the composer of outgoing mail: multipart boundaries and Content-IDs.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::mailformat {

// "----=NextPart_%02d_%08X" with the counter's current value (then incremented) and a
// Random32 value. A composer starts its counter at 0 for each message.
std::string MakeBoundary(int& counter);

// "%s%08X" with the prefix and (Rand() << 16) | (tick count & 0xFFFF); zero is not redrawn.
std::string MakeContentId(std::string_view prefix);

}  // namespace pelrion::mailformat
