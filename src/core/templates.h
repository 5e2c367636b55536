// Template files: reading a user's template with its checks, and installing a built-in one.
// A template file holds at most 64 KiB of text without zero bytes; it is held with LF line
// ends (every CR directly before an LF is dropped, a lone CR stays).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/default_templates.h"
#include "core/preferences.h"

namespace pelrion::core {

inline constexpr std::size_t kMaxTemplateFileSize = 65536;

inline constexpr std::string_view kFileIsEmpty = "File is empty";
inline constexpr std::string_view kFileIsTooLarge = "File is too large";
inline constexpr std::string_view kFileReadFailure = "File read failure";
inline constexpr std::string_view kNotATextFile = "Not a text file";

struct TemplateFileResult {
  std::optional<std::string> text;  // set on success
  std::string reason;               // on failure: one of the texts above or the system's text
};

// Reads path without showing anything. A failure raised by the file system carries the
// system's text for errno with its line breaks turned into blanks.
TemplateFileResult ReadTemplateFile(const std::string& path);

// The text with CR LF pairs turned into LF.
std::string DropCarriageReturnsBeforeLineFeeds(std::string_view text);

// ReadTemplateFile, showing "Failed to load template from file %s:\n%s" through the
// dialogs port on failure; nullopt then.
std::optional<std::string> LoadTemplateFile(const std::string& path);

// Writes the built-in text to templates_folder (ends in '/') + the default file name and
// points the method's file-name field there (empty when the file could not be written);
// the template text becomes the built-in text and the method's charset row 20. Changes
// memory only, never the registry. Returns whether the file was written.
bool InstallDefaultTemplate(Preferences& preferences, const std::string& templates_folder,
                            ValidationMethod method, TemplateKind kind);

}  // namespace pelrion::core
