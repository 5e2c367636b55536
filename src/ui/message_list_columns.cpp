#include "ui/message_list_columns.h"

#include "cycle/network_errors.h"

namespace pelrion::ui {

std::string ListDateText(mailformat::Timestamp seconds) {
  if (seconds == mailformat::kNoDate) return {};
  return cycle::FormatReportTime(seconds);
}

std::string RequestSentText(std::int32_t seconds) {
  return seconds == 0 ? std::string() : ListDateText(seconds);
}

std::string_view AddressCellText(std::string_view text) {
  return text.empty() ? std::string_view("none") : text;
}

}  // namespace pelrion::ui
