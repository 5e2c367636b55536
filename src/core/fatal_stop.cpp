#include "core/fatal_stop.h"

#include <cstdlib>

#include "platform/dialogs.h"

namespace pelrion::core {

void FatalStop(std::string_view text) {
  if (text.empty()) text = kInsufficientMemory;
  platform::CurrentDialogs().MessageBox(text, "Pelrion", platform::DialogIcon::kStop,
                                        platform::DialogButtons::kOk);
  // _Exit: no static destructors or atexit handlers may run half-written store code.
  std::_Exit(1);
}

}  // namespace pelrion::core
