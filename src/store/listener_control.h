// Starting and stopping the thread that serves one listener. The listeners of the transport
// layer implement it; the listener table asks for a start when an account window creates a
// listener and for a stop before an orphaned listener leaves the table.
#pragma once

#include <cstdint>

namespace pelrion::store {

class ListenerControl {
 public:
  virtual ~ListenerControl() = default;

  // Starts serving the listener with this id (it is already in the table). Main thread.
  virtual void StartListener(std::uint32_t listener_id) = 0;
  // Stops the listener's thread and returns once it has ended; nothing happens when it is not
  // running. Main thread.
  virtual void StopListener(std::uint32_t listener_id) = 0;
  // Whether the listener's thread is serving it now. Main thread.
  virtual bool IsRunning(std::uint32_t listener_id) const = 0;
};

// Starts and stops nothing: start-up before the listeners exist, and tools.
class NoListenerControl : public ListenerControl {
 public:
  void StartListener(std::uint32_t) override {}
  void StopListener(std::uint32_t) override {}
  bool IsRunning(std::uint32_t) const override { return false; }
};

}  // namespace pelrion::store
