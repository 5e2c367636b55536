// A listener control that starts and stops nothing, but remembers what it was asked and
// counts a listener as running from its start to its stop.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "store/listener_control.h"

namespace pelrion::store::testing {

class RecordingControl : public ListenerControl {
 public:
  void StartListener(std::uint32_t id) override {
    started.push_back(id);
    running.insert(id);
  }
  void StopListener(std::uint32_t id) override {
    stopped.push_back(id);
    running.erase(id);
  }
  bool IsRunning(std::uint32_t id) const override { return running.count(id) != 0; }

  std::vector<std::uint32_t> started;
  std::vector<std::uint32_t> stopped;
  std::set<std::uint32_t> running;
};

}  // namespace pelrion::store::testing
