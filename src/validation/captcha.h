// The CAPTCHA picture of an authorization request: the decimal text of a code drawn black on
// white, with a one-pixel black frame, encoded as a two-colour GIF89a file in memory.
#pragma once

#include <cstdint>
#include <string>

namespace pelrion::validation {

// One rendering, owned by the caller: the image size in pixels and the whole GIF file.
struct CaptchaImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::string gif;
};

// Draws "%d" of code in the CAPTCHA font (width = text width + 8, height = text height + 4,
// text 4 pixels from the left and 2 from the top) and encodes it without transparency.
// Ends the process through FatalStop("GUI subsystem failure") when the text cannot be drawn.
CaptchaImage RenderCaptcha(std::int32_t code);

}  // namespace pelrion::validation
