#include "platform/host_name.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace pelrion::platform {
namespace {

struct HostNameCase {
  const char* name;
  std::string raw;
  std::string want;
};

const HostNameCase kCases[] = {
    {"Plain", "mailbox", "mailbox"},
    {"Exactly15", "abcdefghijklmno", "abcdefghijklmno"},
    {"CutTo15", "abcdefghijklmnopqrstuvwxyz", "abcdefghijklmno"},
    {"SpacesToDash", "my host name", "my-host-name"},
    {"EveryWhiteSpace", std::string("a\tb\nc\vd\fe\rf g"), "a-b-c-d-e-f-g"},
    {"Empty", "", "localhost"},
    {"HighBytesKept", "h\xE9te", "h\xE9te"},
};

class HostNameTest : public testing::TestWithParam<HostNameCase> {};

TEST_P(HostNameTest, Normalizes) {
  EXPECT_EQ(NormalizeHostName(GetParam().raw), GetParam().want) << "raw: " << GetParam().raw;
}

INSTANTIATE_TEST_SUITE_P(Names, HostNameTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HostNameSystemTest, MatchesGethostname) {
  char buffer[256] = {};
  ASSERT_EQ(gethostname(buffer, sizeof buffer - 1), 0);
  const std::string name = HostName();
  EXPECT_EQ(name, NormalizeHostName(buffer));
  EXPECT_LE(name.size(), 15u);
}

}  // namespace
}  // namespace pelrion::platform
