// The mail-check worker against a real POP3 server (a private Dovecot on 127.0.0.1) holding a
// mailbox built from fixture messages, in plain text, with STLS and with implicit TLS.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "store/address_list_table.h"
#include "store/message_record.h"
#include "support/dovecot_server.h"
#include "support/files.h"
#include "transport/check_world_helpers.h"

namespace pelrion::transport {
namespace {

using test_support::DovecotServer;
using testing::CheckWorld;

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string Fixture(const std::string& name) {
  return test_support::ReadFile(std::string(PELRION_FIXTURES) + "/" + name);
}

// Each fixture message and the folder it must end in (friend@example.org is a trusted
// contact; the report is about no request of ours).
const std::map<std::string, store::Folder> kMailbox = {
    {"mailbox/trusted_dots.eml", store::Folder::kInbox},
    {"mailbox/trusted_quoted_printable.eml", store::Folder::kInbox},
    {"mailbox/unknown_attachment.eml", store::Folder::kQuarantine},
    {"mailbox/header_only.eml", store::Folder::kQuarantine},
    {"mailbox/no_sender.eml", store::Folder::kJunkMail},
    {"arrival/exim_plain_copy.eml", store::Folder::kJunkMail},
};

struct DovecotRow {
  const char* name;
  DovecotServer::Tls server_tls;
  TlsMode mode;
  bool implicit_port;
};

void PrintTo(const DovecotRow& row, std::ostream* os) { *os << row.name; }

class MailCheckDovecotThreadTest : public ::testing::TestWithParam<DovecotRow> {};

TEST_P(MailCheckDovecotThreadTest, EveryMessageLandsInItsFolderByteForByte) {
  const DovecotRow& row = GetParam();
  DovecotServer server({.tls = row.server_tls, .binary = ""});
  server.AddUser("jo", "secret");
  for (const auto& [name, folder] : kMailbox) server.AddMessage("jo", Fixture(name));
  CheckWorld world;
  const std::uint16_t port = row.implicit_port ? server.pop3s_port() : server.pop3_port();
  const std::uint32_t account = world.AddAccount(
      port, "jo", "secret", row.mode,
      row.server_tls == DovecotServer::Tls::kNone ? "" : server.ca_file());
  world.stores.address_lists->AddContact("Friend", {"friend@example.org"},
                                         store::kTrustedContactsList);

  world.Check();

  EXPECT_EQ(world.reports->Errors(), std::vector<std::string>{}) << server.LogTail();
  EXPECT_EQ(world.reports->Successes(), std::vector<std::uint32_t>{account});
  EXPECT_EQ(server.MessageCount("jo"), 0u);
  std::multimap<std::string, store::Folder> stored;
  for (store::MessageRecord* record : world.Records()) {
    stored.emplace(test_support::ReadFile(world.stores.messages->MessageFilePath(*record)),
                   record->folder());
  }
  ASSERT_EQ(stored.size(), kMailbox.size());
  for (const auto& [name, folder] : kMailbox) {
    const auto found = stored.find(Crlf(Fixture(name)));
    ASSERT_NE(found, stored.end()) << name << " is not stored byte for byte";
    EXPECT_EQ(found->second, folder) << name;
  }

  world.Check();
  EXPECT_EQ(world.reports->Successes(), std::vector<std::uint32_t>{account});
  EXPECT_EQ(world.Records().size(), kMailbox.size());
}

const DovecotRow kDovecotRows[] = {
    {"PlainText", DovecotServer::Tls::kNone, TlsMode::kAutomatic, false},
    {"Stls", DovecotServer::Tls::kStls, TlsMode::kUpgradeRequired, false},
    {"ImplicitTls", DovecotServer::Tls::kImplicit, TlsMode::kImplicit, true},
};

INSTANTIATE_TEST_SUITE_P(Servers, MailCheckDovecotThreadTest, ::testing::ValuesIn(kDovecotRows),
                         [](const ::testing::TestParamInfo<DovecotRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pelrion::transport
