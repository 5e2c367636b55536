// How a listener thread tells the main window about its listener. Qt-free: the program's
// implementation hands each call to the main thread (the network-error list keys these by
// origin 1 and the listener id); tests record them. Called on the listener's own thread.
#pragma once

#include <cstdint>
#include <string>

namespace pelrion::transport {

class ListenerReports {
 public:
  virtual ~ListenerReports() = default;

  // The listener is bound to its endpoint: an earlier error of this listener is cleared.
  virtual void ListenerListening(std::uint32_t listener_id) = 0;
  // The listener failed and is ending; the text is in the words the user sees.
  virtual void ListenerFailed(std::uint32_t listener_id, const std::string& text) = 0;
};

}  // namespace pelrion::transport
