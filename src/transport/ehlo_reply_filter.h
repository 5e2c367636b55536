// The relay stamps only what comes through DATA, so the mail program must not learn of the
// ways around it (BDAT) nor try TLS with the relay itself: the keywords STARTTLS, CHUNKING and
// BINARYMIME are taken out of the EHLO reply it sees, and the reply stays well formed.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::transport {

// True for an EHLO reply line announcing one of the keywords the relay withholds.
bool IsWithheldEhloLine(std::string_view line);

// Passes one EHLO reply, line by line, holding back at most one line: when the withheld line
// was the last one, the line before it becomes the last ("250 " instead of "250-"). The first
// line (the server's name) always passes.
class EhloReplyFilter {
 public:
  // The next reply line in order; what may go to the mail program now (possibly nothing).
  std::string Pass(std::string_view line);

 private:
  std::string held_;
  bool first_ = true;
};

}  // namespace pelrion::transport
