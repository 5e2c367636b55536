// Where an authorization request goes while it is composed: the SMTP connection during
// DATA, or a file for the template preview. The text is passed on unchanged; it never
// needs dot-stuffing because no line of a request starts with a full stop.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace pelrion::validation {

class RequestOutput {
 public:
  virtual ~RequestOutput() = default;
  // Takes the next piece of the request. A connection reports a failure by throwing, which
  // ends the composition; the composer itself never catches.
  virtual void Write(std::string_view text) = 0;
};

// Collects the request in memory (tests, benchmarks, the command-line tool).
class StringRequestOutput : public RequestOutput {
 public:
  void Write(std::string_view text) override { text_.append(text); }
  const std::string& text() const { return text_; }
  std::string Take() { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace pelrion::validation
