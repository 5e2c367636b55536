// The dialogs port of the window tests: every box is recorded and answered from a script, or,
// once the script has run out, with the answer a box closed without a choice gives (OK, else
// Cancel, or No for a Yes/No question). While it lives it is also the process's current
// dialogs, which the code reaching for them without a window (account removal, FatalStop) uses.
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

class ScriptedDialogs : public platform::Dialogs {
 public:
  ScriptedDialogs() : previous_(&platform::CurrentDialogs()) { platform::SetDialogs(this); }
  ~ScriptedDialogs() override { platform::SetDialogs(previous_); }
  ScriptedDialogs(const ScriptedDialogs&) = delete;
  ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

  platform::DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                    platform::DialogIcon icon,
                                    platform::DialogButtons buttons) override {
    boxes.push_back(ShownBox{std::string(text), std::string(caption), icon, buttons});
    if (!answers.empty()) {
      const platform::DialogAnswer answer = answers.front();
      answers.pop_front();
      return answer;
    }
    switch (buttons) {
      case platform::DialogButtons::kOk:
        return platform::DialogAnswer::kOk;
      case platform::DialogButtons::kYesNo:
      case platform::DialogButtons::kYesNoDefaultNo:
        return platform::DialogAnswer::kNo;
      default:
        return platform::DialogAnswer::kCancel;
    }
  }
  std::optional<std::string> ChooseFolder(std::string_view) override { return std::nullopt; }
  void ShowStatus(std::string_view text) override { statuses.emplace_back(text); }
  void ShowStartupStage(std::string_view) override {}

  // The texts of the boxes shown, in order.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes) texts.push_back(box.text);
    return texts;
  }

  std::deque<platform::DialogAnswer> answers;
  std::vector<ShownBox> boxes;
  std::vector<std::string> statuses;  // the status window's texts, in order

 private:
  platform::Dialogs* previous_;
};

}  // namespace pelrion::ui::testing_support
