#include "transport/tls_policy.h"

#include <gtest/gtest.h>

#include "platform/registry.h"
#include "store/listener_settings_key.h"
#include "transport/listener_tls_settings.h"

namespace pelrion::transport {
namespace {

constexpr std::uint32_t kLoopback = 0x7F000001;     // 127.0.0.1
constexpr std::uint32_t kLoopbackOther = 0x7F0A0203;  // 127.10.2.3
constexpr std::uint32_t kRemote = 0xC0000201;       // 192.0.2.1 (never contacted)

TEST(TlsPolicyTest, ImplicitTlsByModeAndPort) {
  struct Case {
    TlsMode mode;
    std::uint16_t port;
    bool implicit;
  };
  const Case cases[] = {
      {TlsMode::kAutomatic, 995, true},       {TlsMode::kAutomatic, 465, true},
      {TlsMode::kAutomatic, 110, false},      {TlsMode::kAutomatic, 25, false},
      {TlsMode::kAutomatic, 587, false},      {TlsMode::kImplicit, 110, true},
      {TlsMode::kImplicit, 995, true},        {TlsMode::kUpgradeRequired, 995, false},
      {TlsMode::kNever, 995, false},          {TlsMode::kNever, 465, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UsesImplicitTls(c.mode, c.port), c.implicit)
        << static_cast<int>(c.mode) << " " << c.port;
  }
}

TEST(TlsPolicyTest, PlainTextOnlyOnLoopbackOrWhenTheUserSaidNever) {
  using enum PlainConversation;
  struct Case {
    TlsMode mode;
    bool offered;
    std::uint32_t address;
    PlainConversation decision;
  };
  const Case cases[] = {
      // Automatic: upgrade when offered; otherwise plain only with a server on this machine.
      {TlsMode::kAutomatic, true, kRemote, kUpgrade},
      {TlsMode::kAutomatic, true, kLoopback, kUpgrade},
      {TlsMode::kAutomatic, false, kRemote, kRefuse},
      {TlsMode::kAutomatic, false, kLoopback, kContinue},
      {TlsMode::kAutomatic, false, kLoopbackOther, kContinue},
      // Required: never plain, not even on loopback.
      {TlsMode::kUpgradeRequired, true, kRemote, kUpgrade},
      {TlsMode::kUpgradeRequired, false, kRemote, kRefuse},
      {TlsMode::kUpgradeRequired, false, kLoopback, kRefuse},
      // Never: plain even when offered.
      {TlsMode::kNever, true, kRemote, kContinue},
      {TlsMode::kNever, false, kRemote, kContinue},
      // Implicit mode that somehow reached a plain conversation is not let through.
      {TlsMode::kImplicit, true, kRemote, kRefuse},
      {TlsMode::kImplicit, false, kLoopback, kRefuse},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecidePlainConversation(c.mode, c.offered, c.address), c.decision)
        << static_cast<int>(c.mode) << " offered=" << c.offered << " address=" << c.address;
  }
}

TEST(TlsPolicyTest, StoredNumbersOutsideTheModesAreAutomatic) {
  EXPECT_EQ(TlsModeFromNumber(std::nullopt), TlsMode::kAutomatic);
  EXPECT_EQ(TlsModeFromNumber(0), TlsMode::kAutomatic);
  EXPECT_EQ(TlsModeFromNumber(1), TlsMode::kUpgradeRequired);
  EXPECT_EQ(TlsModeFromNumber(2), TlsMode::kImplicit);
  EXPECT_EQ(TlsModeFromNumber(3), TlsMode::kNever);
  EXPECT_EQ(TlsModeFromNumber(4), TlsMode::kAutomatic);
  EXPECT_EQ(TlsModeFromNumber(0xFFFFFFFF), TlsMode::kAutomatic);
}

TEST(ListenerTlsSettingsTest, ReadBackDefaultsAndDamagedValues) {
  platform::MemoryRegistry registry;
  EXPECT_EQ(ReadListenerTlsSettings(registry, 4).mode, TlsMode::kAutomatic);
  EXPECT_EQ(ReadListenerTlsSettings(registry, 4).fingerprint, "");
  EXPECT_EQ(ReadTlsCaFile(registry), "");

  ASSERT_TRUE(WriteListenerTlsSettings(registry, 4, {TlsMode::kNever, "AB:CD"}));
  EXPECT_EQ(registry.GetNumber("Software\\Pelrion\\Listeners\\4", "TlsMode"), 3u);
  EXPECT_EQ(registry.GetString("Software\\Pelrion\\Listeners\\4", "TlsFingerprint"), "AB:CD");
  const ListenerTlsSettings read = ReadListenerTlsSettings(registry, 4);
  EXPECT_EQ(read.mode, TlsMode::kNever);
  EXPECT_EQ(read.fingerprint, "AB:CD");
  // Another listener is not affected; clearing the pin removes the value.
  EXPECT_EQ(ReadListenerTlsSettings(registry, 5).mode, TlsMode::kAutomatic);
  ASSERT_TRUE(WriteListenerTlsSettings(registry, 4, {TlsMode::kImplicit, ""}));
  EXPECT_EQ(registry.Get("Software\\Pelrion\\Listeners\\4", "TlsFingerprint"), std::nullopt);

  // A mode of the wrong size or out of range reads as automatic.
  ASSERT_TRUE(registry.SetBinary(store::ListenerSettingsKey(6), "TlsMode", {3, 0}));
  EXPECT_EQ(ReadListenerTlsSettings(registry, 6).mode, TlsMode::kAutomatic);
  ASSERT_TRUE(registry.SetNumber(store::ListenerSettingsKey(7), "TlsMode", 9));
  EXPECT_EQ(ReadListenerTlsSettings(registry, 7).mode, TlsMode::kAutomatic);

  ASSERT_TRUE(registry.SetString("Software\\Pelrion", "TlsCaFile", "/etc/private-ca.pem"));
  EXPECT_EQ(ReadTlsCaFile(registry), "/etc/private-ca.pem");
}

}  // namespace
}  // namespace pelrion::transport
