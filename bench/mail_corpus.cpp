#include "mail_corpus.h"

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "mailformat/base64.h"
#include "mailformat/quoted_printable.h"

namespace pelrion::bench {
namespace {

using mailformat::Base64EncodeLines;
using mailformat::QuotedPrintableEncode;

// One uuencoded data line of up to 45 bytes (count character, 4 characters per 3 bytes,
// backquote for a zero value) with its CR LF.
std::string UuencodeLine(std::string_view bytes) {
  const auto character = [](std::uint32_t v) { return static_cast<char>(v == 0 ? '`' : v + 32); };
  std::string line(1, static_cast<char>(32 + bytes.size()));
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      const std::uint32_t b = i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0;
      group = (group << 8) | b;
    }
    for (int shift = 18; shift >= 0; shift -= 6) line += character((group >> shift) & 63);
  }
  return line + "\r\n";
}

std::string UuencodedBlock(const std::string& name, std::string_view bytes) {
  std::string block = "begin 644 " + name + "\r\n";
  for (std::size_t i = 0; i < bytes.size(); i += 45) block += UuencodeLine(bytes.substr(i, 45));
  return block + "`\r\nend\r\n";
}

std::string Headers(std::size_t i, const std::string& subject) {
  return "From: Sender " + std::to_string(i) + " <s" + std::to_string(i) +
         "@example.com>\r\nTo: user@example.org\r\nSubject: " + subject +
         "\r\nDate: Thu, 10 Dec 2026 16:42:00 +0100\r\nMessage-ID: <" + std::to_string(i) +
         "@example.com>\r\n";
}

std::string Attachment(const std::string& boundary, const std::string& name, std::uint32_t seed,
                       std::size_t n) {
  return "--" + boundary + "\r\nContent-Type: application/octet-stream; name=\"" + name +
         "\"\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; "
         "filename=\"" +
         name + "\"\r\n\r\n" + Base64EncodeLines(RandomBytes(seed, n)) + "\r\n";
}

std::string PlainLetter(std::size_t i, std::mt19937& rng) {
  return Headers(i, "hello") + "\r\n" +
         LetterText(std::uniform_int_distribution<std::size_t>(2'000, 20'000)(rng));
}

std::string Alternatives(std::size_t i, std::mt19937& rng) {
  const std::string text = LetterText(std::uniform_int_distribution<std::size_t>(10'000, 90'000)(rng));
  return Headers(i, "newsletter") +
         "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
         "--alt\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
         QuotedPrintableEncode(text) +
         "\r\n--alt\r\nContent-Type: text/html; charset=iso-8859-1\r\n"
         "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
         QuotedPrintableEncode("<html><body><p>" + text + "</p></body></html>") + "\r\n--alt--\r\n";
}

std::string WithAttachments(std::size_t i, std::mt19937& rng, int attachments, std::size_t low,
                            std::size_t high) {
  std::string m = Headers(i, "documents") +
                  "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"mix\"\r\n\r\n"
                  "This is a multi-part message in MIME format.\r\n\r\n--mix\r\n"
                  "Content-Type: text/plain; charset=us-ascii\r\n\r\n" +
                  LetterText(1'500) + "\r\n";
  for (int k = 0; k < attachments; ++k) {
    m += Attachment("mix", "file" + std::to_string(k) + ".pdf", static_cast<std::uint32_t>(rng()),
                    std::uniform_int_distribution<std::size_t>(low, high)(rng));
  }
  return m + "--mix--\r\n";
}

std::string Forwarded(std::size_t i, std::mt19937& rng) {
  return Headers(i, "Fwd: documents") +
         "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"fwd\"\r\n\r\n"
         "--fwd\r\nContent-Type: text/plain\r\n\r\nSee below.\r\n\r\n"
         "--fwd\r\nContent-Type: message/rfc822\r\n\r\n" +
         WithAttachments(i + 1'000'000, rng, 1, 50'000, 300'000) + "\r\n--fwd--\r\n";
}

std::string Uuencoded(std::size_t i, std::mt19937& rng) {
  std::string m = Headers(i, "files") + "\r\n" + LetterText(3'000);
  const int blocks = 1 + static_cast<int>(rng() % 2);
  for (int k = 0; k < blocks; ++k) {
    m += UuencodedBlock("file" + std::to_string(k) + ".zip",
                        RandomBytes(static_cast<std::uint32_t>(rng()),
                                    std::uniform_int_distribution<std::size_t>(30'000, 200'000)(rng)));
    m += LetterText(500);
  }
  return m;
}

}  // namespace

std::string RandomBytes(std::uint32_t seed, std::size_t n) {
  std::mt19937 rng(seed);
  std::string data(n, '\0');
  for (std::size_t i = 0; i < n; i += 4) {
    const std::uint32_t word = rng();
    std::memcpy(data.data() + i, &word, std::min<std::size_t>(4, n - i));
  }
  return data;
}

std::string LetterText(std::size_t n) {
  const std::string paragraph =
      "Dear colleagues, thank you for the minutes of the meeting on 3 March. We checked the "
      "figures and found them correct; the caf\xe9 budget = 1200 EUR.\r\n"
      "Kind regards, Jos\xe9 and the team\r\n\r\n";
  std::string text;
  while (text.size() < n) text += paragraph;
  return text;
}

std::string LargeMessage() {
  std::string m =
      "From: a@example.com\r\nSubject: quarterly report\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"=_outer\"\r\n\r\nThis is MIME.\r\n";
  m += "--=_outer\r\nContent-Type: multipart/alternative; boundary=\"=_alt\"\r\n\r\n";
  m += "--=_alt\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
       "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
       QuotedPrintableEncode(LetterText(300'000));
  m += "--=_alt\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" +
       QuotedPrintableEncode("<html><body>" + LetterText(300'000) + "</body></html>\r\n");
  m += "--=_alt--\r\n";
  for (int i = 0; i < 3; ++i) {
    m += "--=_outer\r\nContent-Type: multipart/mixed; boundary=\"=_in" + std::to_string(i) +
         "\"\r\n\r\n";
    for (int k = 0; k < 4; ++k) {
      m += "--=_in" + std::to_string(i) + "\r\nContent-Type: application/pdf; name=\"r" +
           std::to_string(k) + ".pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           Base64EncodeLines(RandomBytes(static_cast<std::uint32_t>(10 * i + k), 200'000)) + "\r\n";
    }
    m += "--=_in" + std::to_string(i) + "--\r\n";
  }
  m += "--=_outer\r\nContent-Type: image/png; name=\"chart.png\"\r\n"
       "Content-Transfer-Encoding: base64\r\n\r\n" +
       Base64EncodeLines(RandomBytes(99, 400'000)) + "--=_outer--\r\n";
  return m;
}

std::vector<std::string> SmallMessages() {
  std::vector<std::string> messages;
  for (int i = 0; i < 300; ++i) {
    messages.push_back("From: b@example.com\r\nSubject: hi " + std::to_string(i) + "\r\n\r\n" +
                       LetterText(1500));
    messages.push_back(
        "From: c@example.com\r\nMIME-Version: 1.0\r\nContent-Type: text/plain\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
        QuotedPrintableEncode(LetterText(2500)));
    messages.push_back(
        "From: d@example.com\r\nMIME-Version: 1.0\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n" +
        LetterText(800) +
        "--b\r\nContent-Type: image/gif; name=x.gif\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
        Base64EncodeLines(RandomBytes(static_cast<std::uint32_t>(i), 3000)) + "--b--\r\n");
  }
  return messages;
}

std::string PlainUuencodedMessage() {
  std::string m = "From: e@example.com\r\nSubject: files\r\n\r\n" + LetterText(100'000);
  const std::string data_line = "M" + std::string(60, '!') + "\r\n";
  for (int block = 0; block < 10; ++block) {
    m += "begin 644 file" + std::to_string(block) + ".bin\r\n";
    for (int i = 0; i < 5000; ++i) m += data_line;
    m += "`\r\nend\r\n" + LetterText(10'000);
  }
  return m;
}

std::vector<std::string> MixedCorpus(std::size_t count) {
  std::mt19937 rng(20261210);
  std::vector<std::string> messages;
  messages.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    switch (i % 5) {
      case 0: messages.push_back(PlainLetter(i, rng)); break;
      case 1: messages.push_back(Alternatives(i, rng)); break;
      case 2: messages.push_back(WithAttachments(i, rng, 1 + static_cast<int>(rng() % 3), 50'000, 400'000)); break;
      case 3: messages.push_back(Forwarded(i, rng)); break;
      default: messages.push_back(Uuencoded(i, rng)); break;
    }
  }
  return messages;
}

std::vector<Line> SplitLines(std::string_view message) {
  std::vector<Line> lines;
  std::size_t start = 0;
  while (start < message.size()) {
    std::size_t end = message.find('\n', start);
    end = end == std::string_view::npos ? message.size() : end + 1;
    lines.push_back({message.substr(start, end - start), static_cast<std::uint32_t>(end)});
    start = end;
  }
  return lines;
}

Folder::Folder() {
  std::string pattern = "/tmp/bench-mime-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  path_ = pattern + "/";
}

Folder::~Folder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string Folder::Store(const std::string& name, std::string_view bytes) const {
  const std::string path = path_ + name;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::abort();
  }
  if (std::fclose(file) != 0) std::abort();
  return path;
}

}  // namespace pelrion::bench
