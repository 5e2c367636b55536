// The program's marks on the mail it sends: the subject signature, the Sender-ID tag of an
// authorization request's subject, and the names of the header fields that carry them. The
// request composer writes them; arrival analysis reads them back from replies, bounces and
// other installations' requests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelrion::validation {

inline constexpr std::string_view kSignatureFieldName = "X-KVX-Signature";
inline constexpr std::string_view kAuthRequestFieldName = "X-KVX-AuthReq";
inline constexpr std::string_view kInstallationFieldName = "X-KVX-UUID";
inline constexpr std::string_view kSenderIdName = "Sender-ID";

// Base64 of the 16 enciphered digest bytes: 22 characters and "==".
inline constexpr std::size_t kSignatureLength = 24;

// The signature of a subject: MD5 of its bytes, enciphered as two 8-byte blocks with
// RC5-32/16/8 (ECB) under the signature key, in Base64 with padding. Always 24 characters;
// the same subject always gives the same text.
std::string SignSubject(std::string_view subject);

// True when signature is exactly 24 characters of Base64 that decode to exactly 16 bytes
// which decipher to the MD5 of subject. Any other input is false.
bool VerifySignature(std::string_view subject, std::string_view signature);

// The Sender-ID token of an address: Base64 of its bytes and one zero byte, every trailing
// "=" removed. The same address always gives the same token.
std::string SenderIdToken(std::string_view address);

// "Re: <subject> [Sender-ID=<token>-<number>]".
std::string FormatSubjectTag(std::string_view subject, std::string_view address,
                             std::uint32_t number);

struct SenderIdTag {
  bool tag_present = false;  // "[Sender-ID=" occurs once white space is removed
  bool decoded = false;      // the token and number below are valid
  std::string address;       // the token's bytes before its terminating zero byte
  std::uint32_t number = 0;  // the request number, never 0 when decoded
};

// Reads the Sender-ID tag of a subject or report text. White space is removed first, so a
// tag split by header folding is read whole. The opening "[Sender-ID=" is matched with its
// case; the token runs to the first "-", the number from there to the next "]" and must be a
// whole non-zero decimal number; the token, padded with "=", must decode to at least one byte
// and end in a zero byte.
SenderIdTag ParseSenderIdTag(std::string_view text);

}  // namespace pelrion::validation
