#include "validation/request_marks.h"

#include <array>
#include <cstdio>
#include <span>

#include "crypto/md5.h"
#include "crypto/rc5.h"
#include "mailformat/ascii.h"
#include "mailformat/base64.h"
#include "mailformat/protocol_text.h"

namespace pelrion::validation {

namespace {

const crypto::Rc5& SignatureCipher() {
  static constexpr std::array<std::uint8_t, 8> kKey = {'w', 'Q', 'e', 't', 'n', 'a', 'R', 'v'};
  static const crypto::Rc5 cipher(kKey, 16);
  return cipher;
}

// The one step signing and checking share: the subject's MD5, enciphered. Checking
// compares the decoded signature with this value, which is the same test as deciphering
// the signature and comparing it with the digest, since the cipher is a bijection.
crypto::Md5Digest EncipheredSubjectDigest(std::string_view subject) {
  crypto::Md5Digest digest = crypto::Md5Of(subject);
  SignatureCipher().Encrypt(std::span<std::uint8_t>(digest));
  return digest;
}

std::string_view BytesOf(const crypto::Md5Digest& digest) {
  return std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size());
}

std::string WithoutTrailingPads(std::string text) {
  while (!text.empty() && text.back() == '=') text.pop_back();
  return text;
}

std::string WithoutWhiteSpace(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (!mailformat::ascii::IsSpace(c)) out += c;
  }
  return out;
}

}  // namespace

std::string SignSubject(std::string_view subject) {
  return mailformat::Base64Encode(BytesOf(EncipheredSubjectDigest(subject)));
}

bool VerifySignature(std::string_view subject, std::string_view signature) {
  if (signature.size() != kSignatureLength) return false;
  // Exactly 16 bytes: 24 characters without padding would give 18, and a signature broken
  // by white space or an early "=" gives fewer; neither is a signature.
  std::string bytes;
  const mailformat::Base64DecodeResult result = mailformat::Base64Decode(signature, bytes);
  if (!result.ok || bytes.size() != crypto::Md5Digest{}.size()) return false;
  return bytes == BytesOf(EncipheredSubjectDigest(subject));
}

std::string SenderIdToken(std::string_view address) {
  return WithoutTrailingPads(mailformat::Base64EncodeText(address));
}

std::string FormatSubjectTag(std::string_view subject, std::string_view address,
                             std::uint32_t number) {
  char digits[16];
  const int length = std::snprintf(digits, sizeof digits, "%u", static_cast<unsigned>(number));
  std::string tag;
  tag.reserve(subject.size() + address.size() * 2 + 32);
  tag += "Re: ";
  tag += subject;
  tag += " [";
  tag += kSenderIdName;
  tag += '=';
  tag += SenderIdToken(address);
  tag += '-';
  tag.append(digits, static_cast<std::size_t>(length));
  tag += ']';
  return tag;
}

SenderIdTag ParseSenderIdTag(std::string_view text) {
  SenderIdTag tag;
  const std::string compact = WithoutWhiteSpace(text);
  const std::string opening = "[" + std::string(kSenderIdName) + "=";
  const std::size_t open = compact.find(opening);
  if (open == std::string::npos) return tag;
  tag.tag_present = true;

  const std::size_t token_begin = open + opening.size();
  const std::size_t dash = compact.find('-', token_begin);
  if (dash == std::string::npos) return tag;
  const std::size_t close = compact.find(']', dash + 1);
  if (close == std::string::npos) return tag;

  const std::uint32_t number =
      mailformat::ParseStrictUnsigned(std::string_view(compact).substr(dash + 1, close - dash - 1));
  if (number == 0) return tag;

  std::string token = compact.substr(token_begin, dash - token_begin);
  while (token.size() % 4 != 0) token += '=';
  std::string bytes;
  const mailformat::Base64DecodeResult result = mailformat::Base64Decode(token, bytes);
  if (!result.ok || bytes.empty() || bytes.back() != '\0') return tag;

  // The address is read as the zero-terminated text it was encoded from.
  tag.address = bytes.substr(0, bytes.find('\0'));
  tag.number = number;
  tag.decoded = true;
  return tag;
}

}  // namespace pelrion::validation
