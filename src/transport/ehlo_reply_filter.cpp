#include "transport/ehlo_reply_filter.h"

#include <array>

#include "transport/smtp_reply_text.h"

namespace pelrion::transport {

bool IsWithheldEhloLine(std::string_view line) {
  static constexpr std::array<std::string_view, 3> kWithheld = {"STARTTLS", "CHUNKING",
                                                                "BINARYMIME"};
  for (const std::string_view keyword : kWithheld) {
    if (AnnouncesKeyword(line, keyword)) return true;
  }
  return false;
}

std::string EhloReplyFilter::Pass(std::string_view line) {
  const bool last = !IsContinuedReply(line);
  std::string out;
  if (!first_ && IsWithheldEhloLine(line)) {
    if (last) {
      // The held line was a continued one, so it has a fourth character to turn.
      out = std::move(held_);
      if (!out.empty()) out[3] = ' ';
      held_.clear();
    }
    return out;
  }
  first_ = false;
  out = std::move(held_);
  held_.assign(line);
  if (last) {
    out += held_;
    held_.clear();
  }
  return out;
}

}  // namespace pelrion::transport
