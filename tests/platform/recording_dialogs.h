// A Dialogs double for tests: records every call and answers from a script.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace pelrion::platform::testing_support {

struct ShownBox {
  std::string text;
  std::string caption;
  DialogIcon icon;
  DialogButtons buttons;
};

class RecordingDialogs : public Dialogs {
 public:
  DialogAnswer MessageBox(std::string_view text, std::string_view caption, DialogIcon icon,
                          DialogButtons buttons) override {
    boxes.push_back({std::string(text), std::string(caption), icon, buttons});
    return answer;
  }
  std::optional<std::string> ChooseFolder(std::string_view title) override {
    chooser_titles.emplace_back(title);
    return folder_choice;
  }
  void ShowStatus(std::string_view text) override { statuses.emplace_back(text); }
  void ShowStartupStage(std::string_view text) override { stages.emplace_back(text); }

  DialogAnswer answer = DialogAnswer::kOk;
  std::optional<std::string> folder_choice;
  std::vector<ShownBox> boxes;
  std::vector<std::string> chooser_titles;
  std::vector<std::string> statuses;
  std::vector<std::string> stages;
};

}  // namespace pelrion::platform::testing_support
