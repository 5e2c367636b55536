#include "transport/listener_tls_change.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/recording_listener_control.h"

namespace pelrion::transport {
namespace {

constexpr std::uint32_t kListener = 4;
const std::string kPin = "AB:CD:EF";

// A change reaches the registry, and a running listener is restarted to pick it up; a change
// that changes nothing leaves a running listener alone.
TEST(ListenerTlsChangeTest, StoresAndRestartsARunningListenerOnlyWhenSomethingChanged) {
  struct Case {
    const char* name;
    bool running;
    ListenerTlsSettings wanted;
    bool restarted;
  };
  const ListenerTlsSettings stored{TlsMode::kUpgradeRequired, "11:22"};
  const Case cases[] = {
      {"same, running", true, stored, false},
      {"new mode, running", true, {TlsMode::kImplicit, "11:22"}, true},
      {"forgotten pin, running", true, {TlsMode::kUpgradeRequired, ""}, true},
      {"new mode, stopped", false, {TlsMode::kNever, "11:22"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::MemoryRegistry registry;
    ASSERT_TRUE(WriteListenerTlsSettings(registry, kListener, stored));
    store::testing::RecordingControl listeners;
    if (c.running) listeners.running.insert(kListener);

    EXPECT_TRUE(ChangeListenerTls(registry, listeners, kListener, c.wanted));

    const ListenerTlsSettings now = ReadListenerTlsSettings(registry, kListener);
    EXPECT_EQ(now.mode, c.wanted.mode);
    EXPECT_EQ(now.fingerprint, c.wanted.fingerprint);
    const std::vector<std::uint32_t> restarted =
        c.restarted ? std::vector<std::uint32_t>{kListener} : std::vector<std::uint32_t>{};
    EXPECT_EQ(listeners.stopped, restarted);
    EXPECT_EQ(listeners.started, restarted);
    EXPECT_EQ(listeners.IsRunning(kListener), c.running);
  }
}

TEST(ListenerTlsChangeTest, PinningKeepsTheModeAndTouchesNoOtherListener) {
  platform::MemoryRegistry registry;
  ASSERT_TRUE(WriteListenerTlsSettings(registry, kListener, {TlsMode::kImplicit, ""}));
  ASSERT_TRUE(WriteListenerTlsSettings(registry, kListener + 1, {TlsMode::kNever, "11:22"}));
  store::testing::RecordingControl listeners;
  listeners.running = {kListener, kListener + 1};

  EXPECT_TRUE(PinCertificate(registry, listeners, kListener, kPin));

  EXPECT_EQ(ReadListenerTlsSettings(registry, kListener).mode, TlsMode::kImplicit);
  EXPECT_EQ(ReadListenerTlsSettings(registry, kListener).fingerprint, kPin);
  EXPECT_EQ(ReadListenerTlsSettings(registry, kListener + 1).fingerprint, "11:22");
  EXPECT_EQ(listeners.started, std::vector<std::uint32_t>{kListener});
}

}  // namespace
}  // namespace pelrion::transport
