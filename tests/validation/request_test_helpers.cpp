#include "validation/request_test_helpers.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/default_templates.h"
#include "support/files.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "validation/authorization_request.h"
#include "validation/request_output.h"

namespace pelrion::validation::testing_support {

namespace {

std::string FromHex(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return out;
}

}  // namespace

RequestFacts SampleFacts(std::int32_t authorization_code) {
  RequestFacts facts;
  facts.sender_address = "john.smith@example.com";
  facts.sender_name = "\"Smith, John\"";
  facts.sender_name_decoded = "Smith, John";
  facts.subject = "Lunch on Friday";
  facts.request_number = 12345;
  facts.authorization_code = authorization_code;
  facts.user_email = "jane@example.org";
  facts.user_name = "Jane Doe";
  return facts;
}

core::Preferences PreferencesWithTemplates(std::string reply_plain, std::string reply_html,
                                           std::string captcha_plain, std::string captcha_html) {
  core::Preferences preferences;
  preferences.template_texts[0][0] = std::move(reply_plain);
  preferences.template_texts[0][1] = std::move(reply_html);
  preferences.template_texts[1][0] = std::move(captcha_plain);
  preferences.template_texts[1][1] = std::move(captcha_html);
  return preferences;
}

core::Preferences PreferencesWithBuiltInTemplates() {
  using core::DefaultTemplateText;
  using core::TemplateKind;
  using core::ValidationMethod;
  return PreferencesWithTemplates(
      std::string(DefaultTemplateText(ValidationMethod::kReply, TemplateKind::kPlainText)),
      std::string(DefaultTemplateText(ValidationMethod::kReply, TemplateKind::kHtml)),
      std::string(DefaultTemplateText(ValidationMethod::kCaptcha, TemplateKind::kPlainText)),
      std::string(DefaultTemplateText(ValidationMethod::kCaptcha, TemplateKind::kHtml)));
}

std::string Compose(const RequestFacts& facts, const core::Preferences& preferences) {
  StringRequestOutput output;
  ComposeAuthorizationRequest(facts, output, preferences);
  return output.Take();
}

std::vector<std::pair<std::string, std::string>> TopHeaderFields(std::string_view message) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (const std::string& line : CrLfLines(message)) {
    if (line.empty()) break;
    if (!fields.empty() && (line.front() == ' ' || line.front() == '\t')) {
      fields.back().second += line;  // a folded field, unfolded
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
      fields.emplace_back(line, "<no colon>");
      continue;
    }
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value.front() == ' ') value.erase(0, 1);
    fields.emplace_back(line.substr(0, colon), value);
  }
  return fields;
}

std::string TopHeader(std::string_view message, std::string_view name) {
  for (const auto& [field, value] : TopHeaderFields(message)) {
    if (field == name) return value;
  }
  return {};
}

std::vector<std::string> CrLfLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(pos));
      break;
    }
    lines.emplace_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::string Replaced(std::string text, std::string_view from, std::string_view to) {
  std::string out;
  std::size_t pos = 0;
  for (std::size_t hit; (hit = text.find(from, pos)) != std::string::npos;
       pos = hit + from.size()) {
    out.append(text, pos, hit - pos);
    out.append(to);
  }
  out.append(text, pos, std::string::npos);
  return out;
}

ReaderView ReadWithPython(std::string_view message) {
  ReaderView view;
  test_support::TempDir dir;
  const std::string path = dir / "request.eml";
  test_support::WriteFile(path, message);
  const test_support::RunResult run = test_support::RunCommand(
      "/usr/bin/python3 '" PELRION_FIXTURES "/../validation/request_structure.py' '" + path + "'");
  view.ran = run.status == 0;
  std::istringstream in(run.out);
  std::string line;
  ReaderPart* part = nullptr;
  while (std::getline(in, line)) {
    const std::size_t space = line.find(' ');
    const std::string key = line.substr(0, space);
    const std::string value = space == std::string::npos ? "" : line.substr(space + 1);
    if (key == "STRUCTURE") {
      view.structure = value;
    } else if (key == "DEFECTS") {
      view.defects = std::stoi(value);
    } else if (key == "PART") {
      part = &view.parts.emplace_back();
    } else if (key == "END") {
      part = nullptr;
    } else if (part != nullptr) {
      if (key == "type") part->type = value;
      if (key == "charset") part->charset = value;
      if (key == "disposition") part->disposition = value;
      if (key == "filename") part->filename = value;
      if (key == "cid") part->content_id = value;
      if (key == "body") part->body = FromHex(value);
    }
  }
  return view;
}

}  // namespace pelrion::validation::testing_support
