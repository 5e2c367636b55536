// A dialogs port for window tests: every message box is recorded and answered from a script
// (OK when the script has run out), so a test sees exactly what the user would have been
// told and asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialogs.h"

namespace pelrion::ui::testing_support {

struct ShownBox {
  std::string text;
  std::string caption;
  platform::DialogIcon icon;
  platform::DialogButtons buttons;
};

class RecordingDialogs : public platform::Dialogs {
 public:
  platform::DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                    platform::DialogIcon icon,
                                    platform::DialogButtons buttons) override {
    shown.push_back(ShownBox{std::string(text), std::string(caption), icon, buttons});
    if (answers.empty()) return platform::DialogAnswer::kOk;
    const platform::DialogAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view) override {}
  void ShowStartupStage(std::string_view) override {}

  std::deque<platform::DialogAnswer> answers;
  std::vector<ShownBox> shown;
};

}  // namespace pelrion::ui::testing_support
