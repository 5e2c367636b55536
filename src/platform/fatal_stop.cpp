#include "platform/fatal_stop.h"

#include <cstdlib>

#include "platform/dialogs.h"

namespace pelrion::platform {

void FatalStop(std::string_view text) {
  if (text.empty()) text = kInsufficientMemory;
  CurrentDialogs().MessageBox(text, "Pelrion", DialogIcon::kStop, DialogButtons::kOk);
  // _Exit: no static destructors or atexit handlers may run half-written store code.
  std::_Exit(1);
}

}  // namespace pelrion::platform
