// The platform's dialogs as the configuration windows' tests see them: every box is recorded,
// and questions get the answers the test queued (the headless default, No, when none is left).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace pelrion::ui::testing_support {

struct ShownBox {
  std::string text;
  std::string caption;
  platform::DialogIcon icon;
  platform::DialogButtons buttons;
};

class ScriptedDialogs : public platform::Dialogs {
 public:
  ScriptedDialogs() : previous_(&platform::CurrentDialogs()) { platform::SetDialogs(this); }
  ~ScriptedDialogs() override { platform::SetDialogs(previous_); }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  platform::DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                    platform::DialogIcon icon,
                                    platform::DialogButtons buttons) override {
    boxes.push_back({std::string(text), std::string(caption), icon, buttons});
    if (buttons == platform::DialogButtons::kOk) return platform::DialogAnswer::kOk;
    if (answers.empty()) return platform::DialogAnswer::kNo;
    const platform::DialogAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view) override {}
  void ShowStartupStage(std::string_view) override {}

  // The texts of the boxes shown, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes) texts.push_back(box.text);
    return texts;
  }

  std::deque<platform::DialogAnswer> answers;
  std::vector<ShownBox> boxes;

 private:
  platform::Dialogs* previous_;
};

}  // namespace pelrion::ui::testing_support
