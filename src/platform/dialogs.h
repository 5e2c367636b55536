// Dialogs port: message boxes, the folder chooser and the small status window. The GUI
// implements it with Qt dialogs; headless mode writes the text to standard error and
// takes the default answer (OK, No, Cancel).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelrion::platform {

enum class DialogIcon { kNone, kStop, kWarning, kInformation, kQuestion };
// kYesNoDefaultNo: a question whose safe answer is No (Enter answers No).
enum class DialogButtons { kOk, kOkCancel, kYesNo, kYesNoDefaultNo, kYesNoCancel };
enum class DialogAnswer { kOk, kCancel, kYes, kNo };

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  virtual DialogAnswer MessageBox(std::string_view text, std::string_view caption,
                                  DialogIcon icon, DialogButtons buttons) = 0;
  // Returns the chosen folder, or nullopt when the user cancels.
  virtual std::optional<std::string> ChooseFolder(std::string_view title) = 0;
  // A small modeless window with one line of text; empty text closes it.
  virtual void ShowStatus(std::string_view text) = 0;
  // The current start-up stage ("Loading settings...").
  virtual void ShowStartupStage(std::string_view text) = 0;
};

// Writes every text to standard error and answers with the default.
class HeadlessDialogs : public Dialogs {
 public:
  DialogAnswer MessageBox(std::string_view text, std::string_view caption, DialogIcon icon,
                          DialogButtons buttons) override;
  std::optional<std::string> ChooseFolder(std::string_view title) override;
  void ShowStatus(std::string_view text) override;
  void ShowStartupStage(std::string_view text) override;
};

// The process-wide dialogs; HeadlessDialogs until SetDialogs installs another.
Dialogs& CurrentDialogs();
void SetDialogs(Dialogs* dialogs);

}  // namespace pelrion::platform
