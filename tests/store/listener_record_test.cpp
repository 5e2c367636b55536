#include "store/listener_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pelrion::store {
namespace {

struct FieldRow {
  const char* name;
  std::size_t offset;
  std::size_t width;
  std::uint32_t number;
  const char* text;  // nullptr for integer fields
};

void PutU32(std::string& bytes, std::size_t offset, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(v >> (8 * i));
}

const std::vector<FieldRow> kLayout = {
    {"id", 0, 4, 0x00C0FFEE, nullptr},
    {"server_host", 4, 256, 0, "mail.Example.net"},
    {"server_port", 260, 4, 995, nullptr},
    {"protocol", 264, 4, 1, nullptr},
    {"local_address", 268, 4, 0x7F000001, nullptr},
    {"local_port", 272, 4, 6025, nullptr},
};

std::string BuildFromLayout() {
  std::string bytes(kListenerRecordSize, '\0');
  std::size_t end = 0;
  for (const FieldRow& row : kLayout) {
    EXPECT_EQ(row.offset, end) << "layout table gap before " << row.name;
    end = row.offset + row.width;
    if (row.text) {
      bytes.replace(row.offset, std::string(row.text).size(), row.text);
    } else {
      PutU32(bytes, row.offset, row.number);
    }
  }
  EXPECT_EQ(end, kListenerRecordSize);
  return bytes;
}

Listener ListenerOfLayout() {
  Listener l;
  l.id = 0x00C0FFEE;
  l.server_host.Set("mail.Example.net");
  l.server_port = 995;
  l.protocol = ListenerProtocol::kSmtp;
  l.local_address = kLoopbackAddress;
  l.local_port = 6025;
  return l;
}

TEST(ListenerLayoutTest, EncodesEveryFieldAtItsOffset) {
  const std::string want = BuildFromLayout();
  const std::string got = EncodeListener(ListenerOfLayout());
  ASSERT_EQ(got.size(), kListenerRecordSize);
  for (const FieldRow& row : kLayout) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(got.substr(row.offset, row.width), want.substr(row.offset, row.width));
  }
}

TEST(ListenerLayoutTest, DecodesTheLayout) {
  auto l = DecodeListener(BuildFromLayout());
  ASSERT_TRUE(l.has_value());
  EXPECT_EQ(l->id, 0x00C0FFEEu);
  EXPECT_EQ(l->server_host.Text(), "mail.Example.net");
  EXPECT_EQ(l->server_port, 995u);
  EXPECT_EQ(l->protocol, ListenerProtocol::kSmtp);
  EXPECT_EQ(l->local_address, 0x7F000001u);
  EXPECT_EQ(l->local_port, 6025u);
}

TEST(ListenerLayoutTest, KeepsHostBytesAfterTheTerminator) {
  std::string stored = BuildFromLayout();
  stored[4 + 100] = '#';
  stored[4 + 255] = '!';
  auto l = DecodeListener(stored);
  ASSERT_TRUE(l.has_value());
  EXPECT_EQ(l->server_host.Text(), "mail.Example.net");
  EXPECT_EQ(EncodeListener(*l), stored);
}

struct BadRecord {
  const char* name;
  std::string bytes;
};

class ListenerRejectTest : public testing::TestWithParam<BadRecord> {};

TEST_P(ListenerRejectTest, IsNotDecoded) {
  EXPECT_FALSE(DecodeListener(GetParam().bytes));
}

std::string WithProtocol(std::uint32_t protocol) {
  std::string bytes = BuildFromLayout();
  PutU32(bytes, 264, protocol);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(Damaged, ListenerRejectTest,
                         testing::Values(BadRecord{"Empty", ""},
                                         BadRecord{"OneShort", BuildFromLayout().substr(0, 275)},
                                         BadRecord{"OneLong", BuildFromLayout() + "x"},
                                         BadRecord{"ProtocolTwo", WithProtocol(2)},
                                         BadRecord{"ProtocolHighBit", WithProtocol(0x80000000u)}),
                         [](const testing::TestParamInfo<BadRecord>& info) {
                           return info.param.name;
                         });

TEST(ListenerLayoutTest, BothProtocolsDecode) {
  for (auto [name, value, want] :
       {std::tuple{"Pop3", 0u, ListenerProtocol::kPop3}, {"Smtp", 1u, ListenerProtocol::kSmtp}}) {
    SCOPED_TRACE(name);
    auto l = DecodeListener(WithProtocol(value));
    ASSERT_TRUE(l.has_value());
    EXPECT_EQ(l->protocol, want);
  }
}

}  // namespace
}  // namespace pelrion::store
