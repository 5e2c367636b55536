// The people of a vCard file (RFC 6350, and the 2.1 and 3.0 forms address books still
// export): every EMAIL of every card, with the card's FN as the display name.
#pragma once

#include <string_view>
#include <vector>

#include "import/address_book_card.h"

namespace pelrion::import {

// Reads every card of text. Lines end in LF or CR LF and may be folded; values may be
// quoted-printable or base64 and labelled with a CHARSET (names become UTF-8). A card
// without FN takes its name from N. E-mail values typed as one of the old non-Internet mail
// systems (X400, ...) are left out. Text outside BEGIN:VCARD/END:VCARD, cards nested in a
// card and malformed lines are skipped; a card cut off by the end of the text still counts.
std::vector<AddressBookCard> ParseVCards(std::string_view text);

}  // namespace pelrion::import
