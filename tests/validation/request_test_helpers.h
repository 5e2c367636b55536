// Shared scaffolding for the request composer tests: sample facts and templates, the
// composed text split into header fields and lines, and the view of an independent MIME
// reader (Python's email package, run as a child process).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/preferences.h"
#include "validation/request_facts.h"

namespace pelrion::validation::testing_support {

// Sender "Smith, John" <john.smith@example.com>, subject "Lunch on Friday", request number
// 12345, user "Jane Doe" <jane@example.org>, the given authorization code.
RequestFacts SampleFacts(std::int32_t authorization_code);

// Preferences holding the four texts by [method][kind], from 0 and charsets 20.
core::Preferences PreferencesWithTemplates(std::string reply_plain, std::string reply_html,
                                           std::string captcha_plain, std::string captcha_html);
// The same with the built-in texts.
core::Preferences PreferencesWithBuiltInTemplates();

std::string Compose(const RequestFacts& facts, const core::Preferences& preferences);

// The message's own header fields (up to the first empty line) as name and value, the
// value without the blank after the colon; folded fields unfolded.
std::vector<std::pair<std::string, std::string>> TopHeaderFields(std::string_view message);
// The value of the first top field called name; empty when absent.
std::string TopHeader(std::string_view message, std::string_view name);

// The lines of text without their CR LF; a trailing piece without CR LF is a line too.
std::vector<std::string> CrLfLines(std::string_view text);

// Every occurrence of from replaced by to (independent of the code under test).
std::string Replaced(std::string text, std::string_view from, std::string_view to);

struct ReaderPart {
  std::string type;
  std::string charset;
  std::string disposition;
  std::string filename;
  std::string content_id;
  std::string body;  // decoded bytes
};

struct ReaderView {
  bool ran = false;               // the reader ran and exited with status 0
  std::string structure;          // e.g. "multipart/alternative(text/plain,text/html)"
  int defects = -1;               // defects the reader found in any part
  std::vector<ReaderPart> parts;  // leaf parts in order
};

// What Python's email package makes of message.
ReaderView ReadWithPython(std::string_view message);

}  // namespace pelrion::validation::testing_support
