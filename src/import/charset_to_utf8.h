// Texts of address books labelled with a character set (vCard 2.1's CHARSET parameter)
// become UTF-8, the form the program's windows read contact names in.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::import {

// bytes converted from charset to UTF-8. An empty charset, a UTF-8 or US-ASCII label, an
// unknown label or bytes that are not valid in the charset leave the bytes as they are:
// a name shown with odd letters is better than a name lost.
std::string CharsetToUtf8(std::string_view bytes, std::string_view charset);

}  // namespace pelrion::import
