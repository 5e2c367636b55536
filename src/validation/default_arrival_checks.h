// The arrival analysis and the two consuming checks as the program runs them for each
// downloaded message (DecideMessageFate's ArrivalChecks).
#pragma once

#include <string>

#include "validation/message_fate.h"
#include "validation/quarantine_events.h"

namespace pelrion::validation {

// Analysis, bounce check and reply check over the message files of `database_folder`
// (ending in '/', files named by message id), with scratch files in `temp_folder` (ending
// in '/'). Findings of the checks go to `events`, which must outlive the result; the
// program passes the events that forward to the main thread's quarantine.
ArrivalChecks DefaultArrivalChecks(std::string database_folder, std::string temp_folder,
                                   QuarantineEvents& events);

}  // namespace pelrion::validation
