// The global settings record, its registry form and the four authorization-request
// templates held in memory. Numbers live under
// Software\Pelrion\Preferences\{General,Sender Validation} as 4-byte little-endian binary
// values, template file names as strings.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "core/default_templates.h"
#include "mailformat/charset_table.h"
#include "platform/registry.h"

namespace pelrion::core {

// Accepted ranges; any stored value outside them loads as the default. Keys without a
// range accept any number ("on" means non-zero).
inline constexpr std::uint32_t kCheckMailDelayMin = 1;
inline constexpr std::uint32_t kCheckMailDelayMax = 999;
inline constexpr std::uint32_t kExpireMin = 1;
inline constexpr std::uint32_t kExpireMax = 365;
inline constexpr std::uint32_t kFromMax = 2;    // 0 program, 1 user, 2 program on behalf
inline constexpr std::uint32_t kMethodMax = 1;  // ValidationMethod
inline constexpr std::uint32_t kCharsetIndexMax = mailformat::kCharsetTable.size() - 1;
// Longest template file name accepted from the registry (PATH_MAX less the terminator).
inline constexpr std::size_t kMaxTemplateFileName = 4095;

// Plain data owned by the application. Defaults are those of a first start.
struct Preferences {
  // General
  std::uint32_t autostart = 1;         // start with the desktop session
  std::uint32_t trustrcpt = 1;         // relay makes recipients trusted contacts
  std::uint32_t warnproxy = 1;         // warn at exit about active connections
  std::uint32_t checkmail = 1;         // periodic mail check (also one right after start)
  std::uint32_t checkmail_delay = 10;  // minutes, 1..999
  std::uint32_t emptytrash = 0;        // empty Trash at exit
  std::uint32_t junk = 1;              // spam goes to 1 Junk Mail, 0 Trash
  // Sender Validation
  std::uint32_t expire = 5;     // quarantine limit in days, 1..365
  std::uint32_t challenge = 1;  // 1 send requests, 0 trusted contacts only
  std::uint32_t from = 0;       // From field of requests, 0..2
  std::uint32_t method = 0;     // ValidationMethod, 0..1
  std::uint32_t charset_reply = mailformat::kDefaultCharsetIndex;    // "charsetR", row 0..21
  std::uint32_t charset_captcha = mailformat::kDefaultCharsetIndex;  // "charsetC", row 0..21
  std::string fn_txt_reply;                                          // "fn_txtR"
  std::string fn_txt_captcha;                                        // "fn_txtC"
  std::string fn_htm_reply;                                          // "fn_htmR"
  std::string fn_htm_captcha;                                        // "fn_htmC"

  // Template texts by [method][kind]; loaded files hold LF line ends.
  std::array<std::array<std::string, 2>, 2> template_texts;
};

enum class PreferencePage { kGeneral, kSenderValidation };

// The upper bound of a number key that accepts any value.
inline constexpr std::uint32_t kAnyPreferenceValue = 0xFFFFFFFFu;

// A number key: its registry value name, page, field and accepted range.
struct NumberPreference {
  std::string_view name;
  PreferencePage page;
  std::uint32_t Preferences::*field;
  std::uint32_t min;
  std::uint32_t max;
};

// A template file-name key (all on the Sender Validation page).
struct FileNamePreference {
  std::string_view name;
  std::string Preferences::*field;
};

// Every number key and every file-name key, in the order they are written.
std::span<const NumberPreference> NumberPreferences();
std::span<const FileNamePreference> FileNamePreferences();

// The number key stored under this registry value name, or null.
const NumberPreference* FindNumberPreference(std::string_view name);

// What the user is told when a value of a ranged key falls outside it: "Please enter a valid
// check mail delay (a value between 1 and 999)." and its kin.
std::string PreferenceRangeText(const NumberPreference& key);

// Registry key paths of the two pages.
std::string PreferencesGeneralKey();           // "Software\\Pelrion\\Preferences\\General"
std::string PreferencesSenderValidationKey();  // "...\\Preferences\\Sender Validation"

// Reads every key (missing, mistyped or out of range -> default; a file name that is not a
// string -> empty), then loads the templates: Reply then CAPTCHA, HTML before plain text,
// installing the built-in one in templates_folder (ends in '/') where a file is unset or
// fails to load. Writes nothing to the registry.
Preferences LoadPreferences(const platform::Registry& registry,
                            const std::string& templates_folder);

// Writes every number key as a 4-byte binary value and every file name as a string, in
// table order. False when any value could not be stored (the rest are still written).
bool SavePreferences(platform::Registry& registry, const Preferences& preferences);

// The in-memory template text of a method and kind.
const std::string& TemplateText(const Preferences& preferences, ValidationMethod method,
                                TemplateKind kind);
std::string& MutableTemplateText(Preferences& preferences, ValidationMethod method,
                                 TemplateKind kind);

// The MIME charset name of the method's "charsetR"/"charsetC" row ("iso-8859-1" for a row
// outside the table).
std::string_view CharsetName(const Preferences& preferences, ValidationMethod method);

// The file-name field and the charset field of a method (and kind).
std::string& TemplateFileName(Preferences& preferences, ValidationMethod method, TemplateKind kind);
const std::string& TemplateFileName(const Preferences& preferences, ValidationMethod method,
                                    TemplateKind kind);
std::uint32_t& CharsetIndex(Preferences& preferences, ValidationMethod method);

// The method the user chose ("method"; Reply for any value other than 1).
ValidationMethod SelectedMethod(const Preferences& preferences);

}  // namespace pelrion::core
