#include "import/charset_to_utf8.h"

#include <iconv.h>

#include <cerrno>

#include "mailformat/ascii.h"

namespace pelrion::import {
namespace {

namespace ascii = mailformat::ascii;

bool NeedsNoConversion(std::string_view charset) {
  return charset.empty() || ascii::EqualsIgnoreCase(charset, "utf-8") ||
         ascii::EqualsIgnoreCase(charset, "utf8") || ascii::EqualsIgnoreCase(charset, "us-ascii");
}

class Converter {
 public:
  explicit Converter(const std::string& charset) : handle_(iconv_open("UTF-8", charset.c_str())) {}
  ~Converter() {
    if (valid()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // The whole text converted; false when any byte is not valid in the charset.
  bool Convert(std::string_view bytes, std::string& out) {
    std::string input(bytes);
    char* in = input.data();
    std::size_t in_left = input.size();
    while (in_left > 0) {
      char buffer[256];
      char* write = buffer;
      std::size_t room = sizeof buffer;
      const std::size_t done = iconv(handle_, &in, &in_left, &write, &room);
      out.append(buffer, static_cast<std::size_t>(write - buffer));
      if (done == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
  }

 private:
  iconv_t handle_;
};

}  // namespace

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset) {
  if (NeedsNoConversion(charset) || bytes.empty()) return std::string(bytes);
  Converter converter{std::string(charset)};
  std::string out;
  if (!converter.valid() || !converter.Convert(bytes, out)) return std::string(bytes);
  return out;
}

}  // namespace pelrion::import
