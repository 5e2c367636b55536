#include "validation/classification.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "mailformat/header_list.h"
#include "store/address_list_table.h"
#include "store/message_record.h"
#include "store/trusted_domains.h"
#include "support/temp_dir.h"
#include "validation/message_status.h"

namespace pelrion::validation {
namespace {

constexpr char kOurId[] = "USR00C0FFEE";
constexpr char kOtherId[] = "USR12345678";
constexpr char kOwnAddress[] = "me@home.example";

mailformat::HeaderList Headers(std::initializer_list<std::pair<const char*, const char*>> fields) {
  mailformat::HeaderList list;
  for (const auto& [name, value] : fields) {
    list.names.push_back(name);
    list.values.push_back(value);
  }
  return list;
}

// A notification that returns the given header block.
ClassificationInput ReturningHeaders(mailformat::HeaderList headers) {
  ClassificationInput input;
  input.report.is_delivery_status_notification = true;
  input.report.returned_headers_found = true;
  input.report.returned_headers = std::move(headers);
  return input;
}

// A notification without returned headers whose first text part is text.
ClassificationInput ReportingText(std::string text) {
  ClassificationInput input;
  input.report.is_delivery_status_notification = true;
  input.report.report_text_used = true;
  input.report.report_text = std::move(text);
  return input;
}

ClassificationInput Plain() {
  return ClassificationInput{};
}

ClassificationInput MarkedWith(std::string mark) {
  ClassificationInput input;
  input.signed_by_pelrion = true;
  input.installation_mark = std::move(mark);
  return input;
}

struct ClassifyRow {
  const char* name;
  std::string sender;
  std::function<ClassificationInput()> input;
  std::uint32_t challenge;
  std::int32_t want_status;
  std::uint32_t want_flags;
};

constexpr std::uint32_t kInbox = store::kFlagDecided | store::kFlagInbox;
constexpr std::uint32_t kJunk = store::kFlagDecided;
constexpr std::uint32_t kHeld = 0;

class ClassifyMessageTest : public ::testing::TestWithParam<ClassifyRow> {
 protected:
  ClassifyMessageTest() : lists_(dir_.path() + "/"), domains_(dir_.path() + "/") {
    lists_.Load();
    domains_.Load();
    lists_.AddContact("Friend", {"friend@example.org"}, store::kTrustedContactsList);
    lists_.AddContact("Spammer", {"spam@example.net"}, store::kBlackList);
    domains_.AddTrustedDomain("trusted.example");
    account_.id = 3;
    account_.email_address.Set(kOwnAddress);
  }

  ClassificationContext Context(std::uint32_t challenge) {
    ClassificationContext context;
    context.installation_id = kOurId;
    context.challenge = challenge;
    context.lookup_address = [this](std::string_view address, std::uint32_t mask) {
      return lists_.LookupAddress(address, mask);
    };
    context.trusted_domains = &domains_;
    return context;
  }

  test_support::TempDir dir_;
  store::AddressListTable lists_;
  store::TrustedDomainList domains_;
  store::MailAccount account_;
};

TEST_P(ClassifyMessageTest, FirstApplicableRuleDecides) {
  const ClassifyRow& row = GetParam();
  store::MessageRecord message;
  message.summary.set_sender_address(row.sender);
  ClassifyMessage(message, account_, row.input(), Context(row.challenge));
  EXPECT_EQ(message.status, row.want_status)
      << "got \"" << MessageStatusText(message.status) << "\", want \""
      << MessageStatusText(row.want_status) << "\"";
  EXPECT_EQ(message.flags, row.want_flags);
  // Nothing else of the record is the classification's business.
  EXPECT_EQ(message.request_number, 0);
  EXPECT_EQ(message.request_sent_time, 0);
}

TEST_F(ClassifyMessageTest, OwnAddressTypedWithCapitalsStillNeedsTheMark) {
  account_.email_address.Set("Me@Home.Example");
  store::MessageRecord forged;
  forged.summary.set_sender_address(kOwnAddress);
  ClassifyMessage(forged, account_, ClassificationInput{}, Context(1));
  EXPECT_EQ(forged.status, kStatusRequestFailed);
  EXPECT_EQ(forged.flags, kJunk);

  store::MessageRecord relayed;
  relayed.summary.set_sender_address(kOwnAddress);
  ClassifyMessage(relayed, account_, MarkedWith(kOurId), Context(1));
  EXPECT_EQ(relayed.status, kStatusAwaitingRequest);
}

void PrintTo(const ClassifyRow& row, std::ostream* os) {
  *os << row.name;
}

const ClassifyRow kRows[] = {
    // Step 1 comes before everything, even a notification or a blacklisted sender.
    {"authorization_request", "spam@example.net",
     [] {
       ClassificationInput input = ReportingText("nothing of ours");
       input.is_authorization_request = true;
       return input;
     },
     1, kStatusAuthorizationRequest, kInbox},
    // Step 2: the returned X-KVX-UUID decides, trimmed, in either direction.
    {"report_uuid_ours", "mailer-daemon@relay.example",
     [] {
       return ReturningHeaders(Headers({{"Subject", "x"}, {"x-kvx-uuid", "  USR00C0FFEE \t"}}));
     },
     1, kStatusReport, kInbox},
    {"report_uuid_other_decides_2c_despite_own_message_id", "mailer-daemon@relay.example",
     [] {
       return ReturningHeaders(
           Headers({{"X-KVX-UUID", kOtherId}, {"Message-ID", "<KVX.U-USR00C0FFEE.N-1@pc>"}}));
     },
     1, kStatusUnprovokedReport, kJunk},
    {"report_uuid_ours_as_prefix_only", "mailer-daemon@relay.example",
     [] {
       return ReturningHeaders(Headers({{"X-KVX-UUID", "USR00C0FFEE0"}}));
     },
     1, kStatusUnprovokedReport, kJunk},
    // Step 2a: our own Message-id form whose U pair is the installation id.
    {"report_own_message_id_ours", "",
     [] {
       return ReturningHeaders(Headers({{"message-id", " <KVX.U-USR00C0FFEE.N-7@pc> "}}));
     },
     1, kStatusReport, kInbox},
    {"report_own_message_id_lower_case_pair_name", "",
     [] {
       return ReturningHeaders(Headers({{"Message-Id", "<KVX.R-1.u-USR00C0FFEE.N-7@pc>"}}));
     },
     1, kStatusReport, kInbox},
    {"report_own_message_id_other_installation", "",
     [] {
       return ReturningHeaders(Headers({{"Message-Id", "<KVX.U-USR12345678.N-7@pc>"}}));
     },
     1, kStatusUnprovokedReport, kJunk},
    {"report_foreign_message_id_naming_us", "",
     [] {
       return ReturningHeaders(Headers({{"Message-Id", "<U-USR00C0FFEE@elsewhere>"}}));
     },
     1, kStatusUnprovokedReport, kJunk},
    {"report_returned_headers_without_marks", "",
     [] {
       return ReturningHeaders(Headers({{"Subject", "USR00C0FFEE"}}));
     },
     1, kStatusUnprovokedReport, kJunk},
    // Step 2b: only without returned headers does the report text count.
    {"report_text_names_us", "postmaster@relay.example",
     [] { return ReportingText("Original-Envelope-Id: xUSR00C0FFEEx\r\n"); }, 1, kStatusReport,
     kInbox},
    {"report_text_names_another", "postmaster@relay.example",
     [] { return ReportingText("X-KVX-UUID: USR12345678\r\n"); }, 1, kStatusUnprovokedReport,
     kJunk},
    // Step 2c also wins over the sender's lists: a notification is never a contact's mail.
    {"report_from_trusted_contact", "friend@example.org",
     [] {
       ClassificationInput input;
       input.report.is_delivery_status_notification = true;
       return input;
     },
     1, kStatusUnprovokedReport, kJunk},
    // Step 3.
    {"no_sender", "", Plain, 1, kStatusRequestFailed, kJunk},
    // Steps 4 and 4a.
    {"trusted_contact", "friend@example.org", Plain, 1, kStatusTrustedContact, kInbox},
    {"trusted_contact_with_requests_off", "friend@example.org", Plain, 0, kStatusTrustedContact,
     kInbox},
    {"blacklisted", "spam@example.net", Plain, 1, kStatusBlacklisted, kJunk},
    // Step 5: the whole domain, nothing less.
    {"trusted_domain", "anyone@trusted.example", Plain, 1, kStatusTrustedDomain, kInbox},
    {"subdomain_of_trusted_domain", "anyone@mail.trusted.example", Plain, 1, kStatusAwaitingRequest,
     kHeld},
    {"trusted_domain_as_local_part", "trusted.example@other.example", Plain, 1,
     kStatusAwaitingRequest, kHeld},
    // Step 6: the user's own address needs this installation's mark.
    {"own_address_without_mark", kOwnAddress, Plain, 1, kStatusRequestFailed, kJunk},
    {"own_address_other_installation", kOwnAddress, [] { return MarkedWith(kOtherId); }, 1,
     kStatusRequestFailed, kJunk},
    {"own_address_with_our_mark", kOwnAddress, [] { return MarkedWith(kOurId); }, 1,
     kStatusAwaitingRequest, kHeld},
    {"own_address_with_our_mark_requests_off", kOwnAddress, [] { return MarkedWith(kOurId); }, 0,
     kStatusNotTrusted, kJunk},
    // Steps 7 and 8.
    {"unknown_requests_off", "stranger@example.com", Plain, 0, kStatusNotTrusted, kJunk},
    {"unknown", "stranger@example.com", Plain, 1, kStatusAwaitingRequest, kHeld},
    {"unknown_with_foreign_mark", "stranger@example.com", [] { return MarkedWith(kOtherId); }, 1,
     kStatusAwaitingRequest, kHeld},
};

INSTANTIATE_TEST_SUITE_P(Rules, ClassifyMessageTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<ClassifyRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pelrion::validation
