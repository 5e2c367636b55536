// The listener endpoint texts as the properties sheet checks them.
#include "transport/listener_properties.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <variant>
#include <vector>

namespace pelrion::transport {
namespace {

struct EndpointCase {
  const char* address;
  const char* port;
  std::variant<LocalEndpoint, EndpointRefusal> expected;
};

const EndpointRefusal kBadAddress{EndpointField::kAddress, kInvalidAddressText};
const EndpointRefusal kBadPort{EndpointField::kPort, kInvalidPortText};

TEST(ListenerPropertiesTest, ChecksTheAddressFirstThenThePort) {
  const EndpointCase cases[] = {
      {"127.0.0.1", "110", LocalEndpoint{0x7F000001, 110}},
      {"all (unassigned)", "5110", LocalEndpoint{0, 5110}},
      {"0.0.0.0", "1", LocalEndpoint{0, 1}},
      {"255.255.255.255", "65535", LocalEndpoint{0xFFFFFFFF, 65535}},
      {"192.168.001.010", "00025", LocalEndpoint{0xC0A8010A, 25}},
      {"10.0.0.256", "110", kBadAddress},
      {"300.1.1.1", "110", kBadAddress},
      {"1.2.3", "110", kBadAddress},
      {"1.2.3.4.5", "110", kBadAddress},
      {"1..3.4", "110", kBadAddress},
      {"1.2.3.4.", "110", kBadAddress},
      {".1.2.3", "110", kBadAddress},
      {"1.2.3.0004", "110", kBadAddress},
      {" 1.2.3.4", "110", kBadAddress},
      {"1.2.3.-4", "110", kBadAddress},
      {"localhost", "110", kBadAddress},
      {"", "110", kBadAddress},
      {"All (unassigned)", "110", kBadAddress},
      {"all (unassigned) ", "110", kBadAddress},
      {"10.0.0.256", "0", kBadAddress},  // the address is checked first
      {"127.0.0.1", "0", kBadPort},
      {"127.0.0.1", "65536", kBadPort},
      {"127.0.0.1", "70000", kBadPort},
      {"127.0.0.1", "4294967406", kBadPort},  // 110 after a 32-bit wrap
      {"127.0.0.1", "", kBadPort},
      {"127.0.0.1", "-110", kBadPort},
      {"127.0.0.1", "+110", kBadPort},
      {"127.0.0.1", "11 0", kBadPort},
      {"all (unassigned)", "port", kBadPort},
  };
  for (const EndpointCase& c : cases) {
    SCOPED_TRACE(std::string("address '") + c.address + "', port '" + c.port + "'");
    EXPECT_EQ(ParseLocalEndpoint(c.address, c.port), c.expected);
  }
}

TEST(ListenerPropertiesTest, AddressTextReadsBackAsTheSameAddress) {
  const std::uint32_t addresses[] = {0, 0x7F000001, 0xC0A8010A, 0xFFFFFFFF, 0x00000001};
  for (std::uint32_t address : addresses) {
    SCOPED_TRACE(address);
    const auto parsed = ParseLocalEndpoint(LocalAddressText(address), "110");
    ASSERT_TRUE(std::holds_alternative<LocalEndpoint>(parsed));
    EXPECT_EQ(std::get<LocalEndpoint>(parsed).address, address);
  }
  EXPECT_EQ(LocalAddressText(0), kAllInterfacesText);
  EXPECT_EQ(LocalAddressText(0xC0A8010A), "192.168.1.10");
}

TEST(ListenerPropertiesTest, AddressChoicesStartWithEveryInterfaceAndHoldEachAddressOnce) {
  const std::vector<std::string> choices = LocalAddressChoices();
  ASSERT_FALSE(choices.empty());
  EXPECT_EQ(choices.front(), kAllInterfacesText);
  for (std::size_t i = 1; i < choices.size(); ++i) {
    SCOPED_TRACE(choices[i]);
    const std::optional<std::uint32_t> address = ParseDottedQuad(choices[i]);
    ASSERT_TRUE(address.has_value());
    EXPECT_NE(*address, 0u) << "0 is offered as every interface already";
    EXPECT_EQ(std::count(choices.begin(), choices.end(), choices[i]), 1);
  }
}

}  // namespace
}  // namespace pelrion::transport
