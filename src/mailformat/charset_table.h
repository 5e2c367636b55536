// The character sets offered for outgoing authorization requests. A row only labels the
// text: the template bytes are sent as stored, without conversion.
#pragma once

#include <array>
#include <string_view>

namespace pelrion::mailformat {

struct CharsetRow {
  std::string_view display_name;  // shown in the "Language Encoding:" list
  std::string_view mime_name;     // written after "charset=" in outgoing mail
};

// Rows in the alphabetical order of their display names; preferences store the index.
// Row 10's display text lacks its opening parenthesis: it is kept as stored and shown.
inline constexpr std::array<CharsetRow, 22> kCharsetTable = {{
    {"Arabic (Windows)", "windows-1256"},
    {"Baltic (Windows)", "windows-1257"},
    {"Central European (ISO)", "iso-8859-2"},
    {"Central European (Windows)", "windows-1250"},
    {"Chinese Simplified (GB2312)", "gb2312"},
    {"Chinese Traditional (Big5)", "big5"},
    {"Cyrillic (KOI8-R)", "koi8-r"},
    {"Cyrillic (Windows)", "windows-1251"},
    {"Greek (ISO)", "iso-8859-7"},
    {"Greek (Windows)", "windows-1253"},
    {"Hebrew Windows)", "windows-1255"},
    {"Japanese (Shift-JIS)", "shift_jis"},
    {"Korean (EUC)", "euc-kr"},
    {"Latin 9 (ISO)", "iso-8859-15"},
    {"Thai (Windows)", "windows-874"},
    {"Turkish (Windows)", "windows-1254"},
    {"Unicode (UTF-7)", "utf-7"},
    {"Unicode (UTF-8)", "utf-8"},
    {"User Defined", "x-user-defined"},
    {"Vietnamese (Windows)", "windows-1258"},
    {"Western European (ISO)", "iso-8859-1"},
    {"Western European (Windows)", "windows-1252"},
}};

// "Western European (ISO)", "iso-8859-1": the default and the built-in templates' charset.
inline constexpr int kDefaultCharsetIndex = 20;

// The index itself when it names a row (0..21), else kDefaultCharsetIndex.
int CharsetIndexOrDefault(long long index);

// The row of an index; an index outside 0..21 gives the default row.
const CharsetRow& CharsetRowAt(long long index);
std::string_view CharsetDisplayName(long long index);
std::string_view CharsetMimeName(long long index);

}  // namespace pelrion::mailformat
