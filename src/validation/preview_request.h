// The template preview of the Options window: a sample authorization request composed with
// the page's current, unsaved settings and written to a file for the mail viewer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/preferences.h"

namespace pelrion::validation {

// The made-up people of the preview.
inline constexpr std::string_view kPreviewUserName = "Jane Smith";
inline constexpr std::string_view kPreviewUserEmail = "jane.smith@example.com";
inline constexpr std::string_view kPreviewSenderName = "John Smith";
inline constexpr std::string_view kPreviewSenderEmail = "john.smith@example.org";
inline constexpr std::string_view kPreviewSubject = "Preview";

// Draws a request number, and an authorization code when the page's method is CAPTCHA,
// as a newly held sender gets them; then composes the sample request with page_settings
// ("from", charsets, template texts) into a new file "<temp_folder>P<n>.eml", n from the
// thread's generator and drawn again while the name is taken. temp_folder ends in '/'.
// Returns the file's path, or nullopt (and no file) when it could not be written. Opening it with the viewer is the caller's part.
std::optional<std::string> PreviewAuthorizationRequest(const core::Preferences& page_settings,
                                                       const std::string& temp_folder);

}  // namespace pelrion::validation
