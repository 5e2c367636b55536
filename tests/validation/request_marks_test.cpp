#include "validation/request_marks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "crypto/md5.h"
#include "crypto/rc5.h"
#include "mailformat/base64.h"

namespace pelrion::validation {
namespace {

// The digest a signature deciphers to, found the way a receiving installation does it:
// decode, then decipher (the signing side only ever enciphers).
std::string DecipheredSignature(std::string_view signature) {
  std::string bytes;
  mailformat::Base64Decode(signature, bytes);
  static constexpr std::array<std::uint8_t, 8> kKey = {'w', 'Q', 'e', 't', 'n', 'a', 'R', 'v'};
  const crypto::Rc5 cipher(kKey, 16);
  cipher.Decrypt(
      std::span<std::uint8_t>(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()));
  return bytes;
}

std::string RawMd5(std::string_view text) {
  const crypto::Md5Digest digest = crypto::Md5Of(text);
  return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

// The token as the tag carries it, built from the plain Base64 encoder.
std::string TokenOfBytes(std::string_view bytes) {
  std::string token = mailformat::Base64Encode(bytes);
  while (!token.empty() && token.back() == '=') token.pop_back();
  return token;
}

std::string TokenOf(std::string_view address) {
  return TokenOfBytes(std::string(address) + '\0');
}

const std::vector<std::string>& Subjects() {
  static const std::vector<std::string> subjects = {
      "",
      "Hello",
      "Re: Hello [Sender-ID=am9obkBleGFtcGxlLmNvbQA-42]",
      std::string("caf\xE9 \x80\xFF", 7),
      std::string("with\0zero", 9),
      std::string(1000, 'x'),
  };
  return subjects;
}

TEST(SignSubject, GivesTwentyFourCharactersThatDecipherToTheSubjectDigest) {
  for (const std::string& subject : Subjects()) {
    SCOPED_TRACE(testing::Message() << "subject of " << subject.size() << " bytes");
    const std::string signature = SignSubject(subject);
    ASSERT_EQ(signature.size(), kSignatureLength);
    EXPECT_EQ(signature.substr(22), "==");
    EXPECT_EQ(DecipheredSignature(signature), RawMd5(subject));
    EXPECT_EQ(SignSubject(subject), signature) << "the same subject must sign the same";
    EXPECT_TRUE(VerifySignature(subject, signature));
  }
}

TEST(VerifySignature, FailsWhenAnySubjectByteChanges) {
  const std::string subject = "Re: Meeting on Friday [Sender-ID=am9obkBleGFtcGxlLmNvbQA-7]";
  const std::string signature = SignSubject(subject);
  for (std::size_t i = 0; i < subject.size(); ++i) {
    std::string changed = subject;
    changed[i] = static_cast<char>(changed[i] ^ 0x01);
    EXPECT_FALSE(VerifySignature(changed, signature)) << "byte " << i;
  }
  EXPECT_FALSE(VerifySignature(subject + " ", signature));
  EXPECT_FALSE(VerifySignature(subject.substr(1), signature));
}

TEST(VerifySignature, FailsWhenAnySignatureCharacterChanges) {
  const std::string subject = "Quarterly figures";
  const std::string signature = SignSubject(subject);
  for (std::size_t i = 0; i < 22; ++i) {
    std::string changed = signature;
    changed[i] = changed[i] == 'A' ? 'B' : 'A';
    EXPECT_FALSE(VerifySignature(subject, changed)) << "character " << i;
  }
}

TEST(VerifySignature, RefusesMalformedSignatureTexts) {
  const std::string subject = "Hello";
  const std::string good = SignSubject(subject);
  struct Row {
    const char* name;
    std::string signature;
  };
  const Row rows[] = {
      {"Empty", ""},
      {"WithoutPadding", good.substr(0, 22)},
      {"OnePadMissing", good.substr(0, 23)},
      {"ExtraPad", good + "="},
      {"ExtraCharacterInFront", "A" + good},
      // 24 alphabet characters decode to 18 bytes, more than a digest holds.
      {"TwentyFourWithoutPadding", good.substr(0, 22) + "AA"},
      // White space is skipped by the decoder, leaving too few bytes.
      {"SpaceInside", good.substr(0, 10) + " " + good.substr(11)},
      {"EarlyPad", good.substr(0, 16) + "========"},
      {"OutsideAlphabet", good.substr(0, 5) + "!" + good.substr(6)},
      {"EightBitByte", good.substr(0, 5) + "\xC3" + good.substr(6)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(VerifySignature(subject, row.signature));
  }
}

TEST(SenderIdToken, IsTheUnpaddedBase64OfTheAddressAndItsZeroByte) {
  // Lengths 0, 1 and 2 modulo 3 (with the zero byte) cover two, one and no pads.
  for (const std::string address : {"ab@x.org", "abc@x.org", "abcd@x.org", "", "\xE9@x"}) {
    SCOPED_TRACE(address);
    const std::string token = SenderIdToken(address);
    EXPECT_EQ(token, TokenOf(address));
    EXPECT_EQ(token.find('='), std::string::npos);
    EXPECT_EQ(SenderIdToken(address), token) << "the same address must give the same token";
    std::string padded = token;
    while (padded.size() % 4 != 0) padded += '=';
    std::string bytes;
    ASSERT_TRUE(mailformat::Base64Decode(padded, bytes).ok);
    EXPECT_EQ(bytes, address + '\0');
  }
  EXPECT_NE(SenderIdToken("ab@x.org"), SenderIdToken("ac@x.org"));
}

TEST(FormatSubjectTag, PutsSubjectTokenAndUnsignedNumberInTheTag) {
  struct Row {
    const char* name;
    std::string subject;
    std::string address;
    std::uint32_t number;
    std::string number_text;
  };
  const Row rows[] = {
      {"Plain", "Lunch?", "john@example.com", 42, "42"},
      {"EmptySubject", "", "a@b", 1, "1"},
      {"LargestNumber", "x", "a@b", 4294967295u, "4294967295"},
      {"SubjectWithBrackets", "[list] news", "n@l.org", 123456, "123456"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(
        FormatSubjectTag(row.subject, row.address, row.number),
        "Re: " + row.subject + " [Sender-ID=" + TokenOf(row.address) + "-" + row.number_text + "]");
  }
}

struct TagRow {
  std::string name;
  std::string text;
  bool tag_present;
  bool decoded;
  std::string address;
  std::uint32_t number;
};

void PrintTo(const TagRow& row, std::ostream* out) {
  *out << row.name;
}

std::vector<TagRow> TagRows() {
  const std::string token = TokenOf("john.smith@example.com");
  const std::string half1 = token.substr(0, 10);
  const std::string half2 = token.substr(10);
  return {
      {"Tag", "Re: Lunch [Sender-ID=" + token + "-42]", true, true, "john.smith@example.com", 42},
      {"TagAlone", "[Sender-ID=" + token + "-1]", true, true, "john.smith@example.com", 1},
      {"FoldedOverTwoLines", "Re: Lunch [Sender-ID=" + half1 + "\r\n " + half2 + "-42]", true, true,
       "john.smith@example.com", 42},
      {"WhiteSpaceEverywhere", "Re: x [ Sender-ID =\t" + half1 + " " + half2 + " - 4 2 ] y", true,
       true, "john.smith@example.com", 42},
      {"PaddedToken",
       "Re: [Sender-ID=" + mailformat::Base64Encode(std::string("ab@x\0", 5)) + "-9]", true, true,
       "ab@x", 9},
      {"TextAfterTag", "Re: Lunch [Sender-ID=" + token + "-42] and more ] text", true, true,
       "john.smith@example.com", 42},
      {"ZeroByteInsideReadsUpToIt",
       "[Sender-ID=" + TokenOfBytes(std::string("ab@x\0zz\0", 8)) + "-5]", true, true, "ab@x", 5},
      {"TokenWithoutItsZeroByte", "Re: [Sender-ID=" + TokenOfBytes("john@example.com") + "-42]",
       true, false, "", 0},
      {"NumberZero", "Re: [Sender-ID=" + token + "-0]", true, false, "", 0},
      {"LettersBeforeBracket", "Re: [Sender-ID=" + token + "-42abc]", true, false, "", 0},
      {"NegativeNumber", "Re: [Sender-ID=" + token + "--42]", true, false, "", 0},
      {"NoNumber", "Re: [Sender-ID=" + token + "-]", true, false, "", 0},
      {"NoDash", "Re: [Sender-ID=" + token + "]", true, false, "", 0},
      {"NoClosingBracket", "Re: [Sender-ID=" + token + "-42", true, false, "", 0},
      {"EmptyToken", "Re: [Sender-ID=-42]", true, false, "", 0},
      {"TokenOutsideAlphabet", "Re: [Sender-ID=am9o!mV4-42]", true, false, "", 0},
      {"TokenTooShortForAByte", "Re: [Sender-ID=A-42]", true, false, "", 0},
      {"NoTag", "Re: Lunch", false, false, "", 0},
      {"OtherCase", "Re: [sender-id=" + token + "-42]", false, false, "", 0},
      {"NoEqualsSign", "Re: [Sender-ID " + token + "-42]", false, false, "", 0},
      {"BracketMissing", "Re: Sender-ID=" + token + "-42]", false, false, "", 0},
      {"Empty", "", false, false, "", 0},
  };
}

class ParseSenderIdTagTest : public testing::TestWithParam<TagRow> {};

TEST_P(ParseSenderIdTagTest, ReadsTheTag) {
  const TagRow& row = GetParam();
  const SenderIdTag tag = ParseSenderIdTag(row.text);
  EXPECT_EQ(tag.tag_present, row.tag_present);
  EXPECT_EQ(tag.decoded, row.decoded);
  EXPECT_EQ(tag.address, row.address);
  EXPECT_EQ(tag.number, row.number);
}

INSTANTIATE_TEST_SUITE_P(Rows, ParseSenderIdTagTest, testing::ValuesIn(TagRows()),
                         [](const testing::TestParamInfo<TagRow>& info) {
                           return info.param.name;
                         });

TEST(ParseSenderIdTag, ReadsBackEveryTagFormatSubjectTagWrites) {
  const std::uint32_t numbers[] = {1, 7, 32767, 1073741824, 4294967294u};
  const std::string addresses[] = {"a@b", "ab@c.d", "abc@d.ef", "first.last@sub.example.org",
                                   "\xE9t\xE9@x.fr"};
  for (const std::string& address : addresses) {
    for (std::uint32_t number : numbers) {
      SCOPED_TRACE(testing::Message() << address << " " << number);
      const SenderIdTag tag =
          ParseSenderIdTag(FormatSubjectTag("Any [x] - subject", address, number));
      EXPECT_TRUE(tag.tag_present);
      EXPECT_TRUE(tag.decoded);
      EXPECT_EQ(tag.address, address);
      EXPECT_EQ(tag.number, number);
    }
  }
}

}  // namespace
}  // namespace pelrion::validation
