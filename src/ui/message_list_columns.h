// The message list's ten columns: their order (also the sort key), headings and the texts
// the cells show. Plain text functions, so the model, the menus and the tests share them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "mailformat/timestamp.h"

namespace pelrion::ui {

enum class ListColumn : int {
  kStatus = 0,
  kAttachment,
  kRequestSent,
  kFrom,
  kSubject,
  kReceived,
  kSize,
  kAccount,
  kSent,
  kTo,
};
inline constexpr int kListColumnCount = 10;

inline constexpr std::array<std::string_view, kListColumnCount> kListColumnHeadings = {
    "Status", "Attachment", "Request Sent", "From", "Subject",
    "Received", "Size", "Account", "Sent", "To"};

inline std::string_view ListColumnHeading(ListColumn column) {
  return kListColumnHeadings[static_cast<int>(column)];
}

// A date as the list shows it: month/day/two-digit year hour:minute in local time, no
// leading zeros on month, day and hour. Blank for a time that was not recorded (-1).
std::string ListDateText(mailformat::Timestamp seconds);

// The Request Sent cell: blank while no request went out (0).
std::string RequestSentText(std::int32_t seconds);

// From and To cells: the text, or "none" when it is empty.
std::string_view AddressCellText(std::string_view text);

}  // namespace pelrion::ui
