// pelrion-msg compose: writes an authorization request, as Pelrion sends it to an unknown
// sender, with the built-in templates and default preferences, and prints its marks as JSON.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_registry.h"
#include "common/json_writer.h"
#include "core/default_templates.h"
#include "core/preferences.h"
#include "mailformat/addresses.h"
#include "mailformat/encoded_words.h"
#include "platform/random.h"
#include "validation/authorization_request.h"
#include "validation/file_request_output.h"
#include "validation/pending_sender_list.h"
#include "validation/request_facts.h"
#include "validation/request_marks.h"

namespace pelrion::msgtool {

namespace {

constexpr std::string_view kUsage =
    "--method reply|captcha --to ADDRESS --name NAME --subject TEXT --user-email ADDRESS "
    "--user-name NAME --number N [--code N] OUT";

// The whole text as a decimal number 1..2147483647; nullopt for anything else.
std::optional<std::int32_t> ParsePositive(std::string_view text) {
  std::int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value <= 0) return std::nullopt;
  return value;
}

// The name decoded the way arrival analysis decodes a display name as written.
std::string DecodedName(std::string_view name) {
  if (!name.empty() && name.front() == '"') return mailformat::UnquoteString(name);
  return mailformat::DecodeHeaderText(name);
}

core::Preferences BuiltInPreferences() {
  using core::TemplateKind;
  using core::ValidationMethod;
  core::Preferences preferences;
  for (ValidationMethod method : {ValidationMethod::kReply, ValidationMethod::kCaptcha}) {
    for (TemplateKind kind : {TemplateKind::kPlainText, TemplateKind::kHtml}) {
      core::MutableTemplateText(preferences, method, kind) =
          std::string(core::DefaultTemplateText(method, kind));
    }
  }
  return preferences;
}

int UsageError(std::string_view why) {
  std::cerr << "pelrion-msg compose: " << why << "\nusage: pelrion-msg compose " << kUsage << '\n';
  return kUsageStatus;
}

int RunCompose(const std::vector<std::string>& args) {
  static const std::vector<std::string> kRequired = {
      "--method", "--to", "--name", "--subject", "--user-email", "--user-name", "--number"};
  std::map<std::string, std::string, std::less<>> options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0) {
      positional.push_back(arg);
      continue;
    }
    const bool known =
        arg == "--code" || std::find(kRequired.begin(), kRequired.end(), arg) != kRequired.end();
    if (!known) return UsageError("unknown option '" + arg + "'");
    if (i + 1 >= args.size()) return UsageError("option '" + arg + "' needs a value");
    if (!options.emplace(arg, args[++i]).second) return UsageError("'" + arg + "' given twice");
  }
  for (const std::string& name : kRequired) {
    if (!options.contains(name)) return UsageError("missing " + name);
  }
  if (positional.size() != 1) return UsageError("exactly one output file is needed");

  const std::string& method = options["--method"];
  if (method != "reply" && method != "captcha") {
    return UsageError("--method must be reply or captcha, not '" + method + "'");
  }
  const std::optional<std::int32_t> number = ParsePositive(options["--number"]);
  if (!number) return UsageError("--number must be a positive decimal number");

  std::int32_t code = 0;
  if (const auto given = options.find("--code"); given != options.end()) {
    if (method != "captcha") return UsageError("--code belongs to the captcha method");
    const std::optional<std::int32_t> parsed = ParsePositive(given->second);
    if (!parsed) return UsageError("--code must be a positive decimal number");
    code = *parsed;
  }

  // As the program does at start-up, so that boundaries, ids and drawn codes vary per run.
  platform::SeedRandFromClock();
  if (method == "captcha" && code == 0) {
    code = validation::DrawRequestFields(core::ValidationMethod::kCaptcha).authorization_code;
  }

  validation::RequestFacts facts;
  facts.sender_address = options["--to"];
  facts.sender_name = options["--name"];
  facts.sender_name_decoded = DecodedName(facts.sender_name);
  facts.subject = options["--subject"];
  facts.request_number = *number;
  facts.authorization_code = code;
  facts.user_email = options["--user-email"];
  facts.user_name = options["--user-name"];

  const std::string& out_path = positional.front();
  validation::FileRequestOutput output(out_path);
  validation::ComposeAuthorizationRequest(facts, output, BuiltInPreferences());
  if (!output.Close()) {
    std::cerr << "pelrion-msg compose: cannot write '" << out_path << "'\n";
    return 1;
  }

  const std::string subject = validation::RequestSubject(facts);
  tools::JsonWriter json(std::cout);
  json.BeginObject();
  json.Key("file");
  json.String(out_path);
  json.Key("method");
  json.String(method);
  json.Key("subject");
  json.String(subject);
  json.Key("signature");
  json.String(validation::SignSubject(subject));
  json.Key("number");
  json.Int(facts.request_number);
  json.Key("code");
  json.Int(facts.authorization_code);
  json.EndObject();
  return 0;
}

const bool kRegistered = RegisterCommand(
    "compose", {std::string(kUsage),
                "write an authorization request with the built-in templates to OUT; print its "
                "subject, signature, number and code as JSON",
                RunCompose});

}  // namespace

}  // namespace pelrion::msgtool
