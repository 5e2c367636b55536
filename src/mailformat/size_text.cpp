#include "mailformat/size_text.h"

#include <charconv>

namespace pelrion::mailformat {
namespace {

// value in fixed notation with the given number of decimals, rounded as printf's "%.Nf" does
// (both give the correctly rounded decimal), but never with the locale's decimal separator.
std::string Fixed(double value, int decimals) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return std::string(buffer, result.ptr);
}

std::string Integer(std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string FormatSizeKb(std::uint32_t size) {
  if (size == 0) return "0 KB";
  return Integer(std::int64_t{size / 1024} + 1) + " KB";
}

std::string FormatSize(std::int64_t size) {
  // The thresholds are powers of ten, the divisors powers of two.
  if (size > 1'000'000'000) return Fixed(static_cast<double>(size) / (1 << 30), 2) + " GB";
  if (size > 1'000'000) return Fixed(static_cast<double>(size) / (1 << 20), 2) + " MB";
  if (size > 1'000) {
    std::string text = Fixed(static_cast<double>(size) / (1 << 10), 1);
    if (text.ends_with(".0")) text.resize(text.size() - 2);
    return text + " KB";
  }
  return Integer(size) + " bytes";
}

}  // namespace pelrion::mailformat
