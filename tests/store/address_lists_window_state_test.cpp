// The "Address Lists" window state in the registry: 60 bytes byte for byte, the defaults
// when the value is missing or damaged, the on-screen correction, and the title.
#include "store/address_lists_window_state.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "store/store_test_helpers.h"

namespace pelrion::store {
namespace {

using testing::Le32;
using testing::Md5Raw;

std::string FieldsOf(const std::vector<std::int32_t>& words) {
  std::string out;
  for (std::int32_t w : words) out += Le32(static_cast<std::uint32_t>(w));
  return out;
}

platform::RegistryBinary Binary(const std::string& bytes) {
  return platform::RegistryBinary(bytes.begin(), bytes.end());
}

TEST(AddressListsWindowStateTest, EncodesElevenFieldsAfterTheirDigest) {
  AddressListsWindowState state;
  state.column_widths = {120, -3};
  state.column_order = {1, 0};
  state.sort_column = 1;
  state.ascending = 0;
  state.list_shown = 1;
  state.left = 7;
  state.top = 8;
  state.right = 900;
  state.bottom = 0x12345678;
  const std::string fields = FieldsOf({120, -3, 1, 0, 1, 0, 1, 7, 8, 900, 0x12345678});
  const std::string bytes = EncodeAddressListsWindowState(state);
  ASSERT_EQ(bytes.size(), 60u);
  EXPECT_EQ(bytes, Md5Raw(fields) + fields);
  EXPECT_EQ(DecodeAddressListsWindowState(bytes), state);

  platform::MemoryRegistry registry;
  ASSERT_TRUE(WriteAddressListsWindowState(registry, state));
  EXPECT_EQ(registry.GetBinary("Software\\Pelrion", "Address Lists"), Binary(bytes));
  EXPECT_EQ(ReadAddressListsWindowState(registry), state);
}

struct StoredCase {
  const char* name;
  std::optional<std::string> value;  // nullopt: the value is missing
  AddressListsWindowState want;
};

AddressListsWindowState Defaults() { return {}; }

AddressListsWindowState WithRect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
  AddressListsWindowState s;
  s.column_widths = {50, 60};
  s.left = l;
  s.top = t;
  s.right = r;
  s.bottom = b;
  return s;
}

std::string Stored(const std::vector<std::int32_t>& words) {
  const std::string fields = FieldsOf(words);
  return Md5Raw(fields) + fields;
}

class AddressListsWindowStateReadTest : public ::testing::TestWithParam<StoredCase> {};

TEST_P(AddressListsWindowStateReadTest, ReadsOrFallsBack) {
  const StoredCase& c = GetParam();
  platform::MemoryRegistry registry;
  if (c.value) {
    ASSERT_TRUE(registry.SetBinary("Software\\Pelrion", "Address Lists", Binary(*c.value)));
  }
  EXPECT_EQ(ReadAddressListsWindowState(registry), c.want);
}

std::string Flipped(std::string bytes, std::size_t at) {
  bytes[at] ^= 0x10;
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AddressListsWindowStateReadTest,
    ::testing::Values(
        StoredCase{"MissingGivesDefaults", std::nullopt,
                   [] {
                     AddressListsWindowState s;
                     s.column_widths = {200, 350};
                     s.column_order = {0, 1};
                     s.sort_column = 0;
                     s.ascending = 1;
                     s.list_shown = 0;
                     s.left = 20, s.top = 20, s.right = 585, s.bottom = 440;
                     return s;
                   }()},
        StoredCase{"Stored", Stored({50, 60, 0, 1, 0, 1, 0, 10, 11, 500, 400}),
                   WithRect(10, 11, 500, 400)},
        StoredCase{"NegativeLeft", Stored({50, 60, 0, 1, 0, 1, 0, -30, 11, 500, 400}),
                   WithRect(0, 11, 530, 400)},
        StoredCase{"NegativeTop", Stored({50, 60, 0, 1, 0, 1, 0, 10, -5, 500, 400}),
                   WithRect(10, 0, 500, 405)},
        StoredCase{"BothNegative", Stored({50, 60, 0, 1, 0, 1, 0, -1, -2, 3, 4}),
                   WithRect(0, 0, 4, 6)},
        StoredCase{"TooShort", Stored({50, 60, 0, 1, 0, 1, 0, 10, 11, 500}), Defaults()},
        StoredCase{"TooLong", Stored({50, 60, 0, 1, 0, 1, 0, 10, 11, 500, 400}) + "x", Defaults()},
        StoredCase{"FlippedField", Flipped(Stored({50, 60, 0, 1, 0, 1, 0, 10, 11, 500, 400}), 40),
                   Defaults()},
        StoredCase{"FlippedDigest", Flipped(Stored({50, 60, 0, 1, 0, 1, 0, 10, 11, 500, 400}), 3),
                   Defaults()},
        StoredCase{"Empty", std::string(), Defaults()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AddressListsWindowStateTest, StringValueIsIgnored) {
  platform::MemoryRegistry registry;
  ASSERT_TRUE(registry.SetString("Software\\Pelrion", "Address Lists", std::string(60, 'a')));
  EXPECT_EQ(ReadAddressListsWindowState(registry), Defaults());
}

TEST(AddressListsWindowStateTest, TitleNamesTheShownList) {
  EXPECT_EQ(AddressListsWindowTitle(0), "Trusted Contacts - Address Lists");
  EXPECT_EQ(AddressListsWindowTitle(1), "Black List - Address Lists");
}

}  // namespace
}  // namespace pelrion::store
