// The stamps on the user's outgoing mail: exact header bytes for folded fields, the former
// Message-id wherever it stood, and the recipients offered as trusted contacts.
#include "transport/smtp_header_stamp.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "validation/request_marks.h"

namespace pelrion::transport {
namespace {

const StampValues kValues{"0123456789ABCDEF0123456789ABCDEF", "relayhost", 0x1234ABCD, 0x5F5E1000};

// The block the stamping must give: the new identifier first, `middle` as the fields that
// stay, the two fields, the empty line.
std::string Expected(const std::string& subject, const std::string& middle) {
  const std::string signature = validation::SignSubject(subject);
  std::string trimmed = signature;
  while (!trimmed.empty() && trimmed.back() == '=') trimmed.pop_back();
  return "Message-id: <KVX.U-" + kValues.installation_id + ".S-" + trimmed +
         ".1234ABCD5F5E1000@relayhost>\r\n" + middle + "X-KVX-Signature: " + signature +
         "\r\nX-KVX-UUID: " + kValues.installation_id + "\r\n\r\n";
}

TEST(SmtpHeaderStampTest, FoldedFieldsComeBackFoldedAndTheStampsSitAtBothEnds) {
  const std::string block =
      "Received: from client\r\n"
      "Message-ID: <old@client.example>\r\n"
      "Subject: Lunch\r\n\ttomorrow\r\n"
      "To: Ann <ann@example.org>,\r\n bob@example.org\r\n"
      "X-Note: a\tb\r\n"
      "\r\n";
  const std::string middle =
      "Received: from client\r\n"
      "Subject: Lunch\r\n tomorrow\r\n"
      "To: Ann <ann@example.org>,\r\n bob@example.org\r\n"
      "X-Note: a b\r\n";
  EXPECT_EQ(StampHeaderBlock(block, kValues).block, Expected("Lunch tomorrow", middle));
}

struct MessageIdCase {
  const char* name;
  std::string fields;  // the block without its empty line
  std::string kept;    // what must remain of it
};

TEST(SmtpHeaderStampTest, TheFormerMessageIdIsGoneWhereverItStood) {
  const MessageIdCase cases[] = {
      {"first line", "Message-ID: <a@b>\r\nSubject: s\r\n", "Subject: s\r\n"},
      {"last line", "Subject: s\r\nmessage-id: <a@b>\r\n", "Subject: s\r\n"},
      {"folded", "Subject: s\r\nMessage-Id:\r\n <a@b>\r\nX: y\r\n", "Subject: s\r\nX: y\r\n"},
      {"none", "Subject: s\r\nTo: t@example.org\r\n", "Subject: s\r\nTo: t@example.org\r\n"},
      {"a longer name that begins the same stays",
       "Message-IDs: <keep>\r\nSubject: s\r\nMessage-Id: <a@b>\r\n",
       "Message-IDs: <keep>\r\nSubject: s\r\n"},
  };
  for (const MessageIdCase& row : cases) {
    EXPECT_EQ(StampHeaderBlock(row.fields + "\r\n", kValues).block, Expected("s", row.kept))
        << row.name;
  }
}

TEST(SmtpHeaderStampTest, ABlockWithoutSubjectOrFieldsIsSignedAsAnEmptySubject) {
  EXPECT_EQ(StampHeaderBlock("\r\n", kValues).block, Expected("", ""));
  EXPECT_EQ(StampHeaderBlock("From: me@example.org\r\n\r\n", kValues).block,
            Expected("", "From: me@example.org\r\n"));
}

TEST(SmtpHeaderStampTest, RecipientsAreToThenCcEachFromLastToFirst) {
  const std::string block =
      "Cc: \"Cy Dee\" <CY@example.net>, dee@example.net\r\n"
      "To: Ann <ann@example.org>,\r\n bob@example.org, undisclosed-recipients:;\r\n"
      "\r\n";
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"", "bob@example.org"},
      {"Ann", "ann@example.org"},
      {"", "dee@example.net"},
      {"Cy Dee", "cy@example.net"},
  };
  std::vector<std::pair<std::string, std::string>> got;
  for (const RecipientToTrust& r : StampHeaderBlock(block, kValues).recipients) {
    got.emplace_back(r.name, r.address);
  }
  EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace pelrion::transport
