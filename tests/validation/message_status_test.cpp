#include "validation/message_status.h"

#include <gtest/gtest.h>

namespace pelrion::validation {
namespace {

TEST(MessageStatusText, ShowsTheFixedTextsAndNothingBeyondThem) {
  EXPECT_EQ(MessageStatusText(kStatusUnassigned), "[Unassigned]");
  EXPECT_EQ(MessageStatusText(kStatusAwaitingReply), "Waiting for reply to authorization request");
  EXPECT_EQ(MessageStatusText(kStatusTrustedContact), "Sender is listed in 'Trusted Contacts'");
  // The text of code 11 stops after "trusted"; code 12 has no text at all.
  EXPECT_EQ(MessageStatusText(kStatusNotTrusted), "Sender is not on your list of trusted");
  EXPECT_EQ(MessageStatusText(kStatusTrustedDomain), "");
  EXPECT_EQ(MessageStatusText(-1), "");
  EXPECT_EQ(MessageStatusText(13), "");
}

}  // namespace
}  // namespace pelrion::validation
