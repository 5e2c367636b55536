// What the sending tests compare arrived requests with: the composer's own output for the
// same request, with the values that change on every composition masked.
#pragma once

#include <string>

#include "core/preferences.h"
#include "validation/send_work.h"

namespace pelrion::transport::testing {

// A request with the values that change on every composition (the boundaries, the message
// identifier and the date) replaced by fixed marks, so that two compositions compare.
std::string WithoutUniqueValues(const std::string& text);

// The composer's bytes for the request, masked as above.
std::string Composed(const validation::RequestWork& request, const core::Preferences& settings);

// Templates whose lines start with full stops: the bytes on the wire must still be exactly
// the composer's, with nothing stuffed or lost.
core::Preferences TemplatesWithLeadingDots();

}  // namespace pelrion::transport::testing
