// Authorization requests composed per second, for each layout, into memory: the work the
// send thread does per held sender before the bytes reach the SMTP connection. The CAPTCHA
// layout includes drawing and encoding the code's picture.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/default_templates.h"
#include "core/preferences.h"
#include "validation/authorization_request.h"
#include "validation/request_facts.h"
#include "validation/request_output.h"

namespace {

using namespace pelrion;

core::Preferences BuiltInPreferences() {
  core::Preferences preferences;
  for (auto method : {core::ValidationMethod::kReply, core::ValidationMethod::kCaptcha}) {
    for (auto kind : {core::TemplateKind::kPlainText, core::TemplateKind::kHtml}) {
      core::MutableTemplateText(preferences, method, kind) =
          std::string(core::DefaultTemplateText(method, kind));
    }
  }
  preferences.from = 2;
  return preferences;
}

validation::RequestFacts Facts(std::int32_t code) {
  validation::RequestFacts facts;
  facts.sender_address = "john.smith@example.com";
  facts.sender_name = "\"Smith, John\"";
  facts.sender_name_decoded = "Smith, John";
  facts.subject = "Re: Quarterly figures and the meeting on Friday";
  facts.request_number = 48213;
  facts.authorization_code = code;
  facts.user_email = "jane.doe@example.org";
  facts.user_name = "Jane Doe";
  return facts;
}

void Compose(benchmark::State& state, std::int32_t code) {
  const core::Preferences preferences = BuiltInPreferences();
  const validation::RequestFacts facts = Facts(code);
  std::size_t bytes = 0;
  for (auto _ : state) {
    validation::StringRequestOutput output;
    validation::ComposeAuthorizationRequest(facts, output, preferences);
    bytes += output.text().size();
    benchmark::DoNotOptimize(output.text().data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["bytes_per_request"] =
      static_cast<double>(bytes) /
      static_cast<double>(std::max<std::int64_t>(state.iterations(), 1));
}

void BM_ComposeReply(benchmark::State& state) {
  Compose(state, 0);
}
void BM_ComposeCaptcha(benchmark::State& state) {
  Compose(state, 271828);
}

BENCHMARK(BM_ComposeReply);
BENCHMARK(BM_ComposeCaptcha);

}  // namespace

BENCHMARK_MAIN();
