// The wizard's import source for the real computer: the mail programs of the user running
// Pelrion and the POP3 accounts they keep. The programs are looked for each time the wizard
// lists them, so one installed while Pelrion runs is found too.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/mail_clients.h"
#include "ui/wizard_mail_clients.h"

class QWidget;

namespace pelrion::ui {

// The "open file" question: title, filter name and pattern; nothing when cancelled.
using LocateSettingsFile = std::function<std::optional<std::string>(
    std::string_view title, std::string_view filter_name, std::string_view pattern)>;

// A file dialog over parent.
LocateSettingsFile FileDialogLocator(QWidget* parent = nullptr);

// What a reader asks the user: a found settings file through the program's dialogs (OK uses
// it), a missing one through locate.
class DialogSettingsFileQuestions : public import::SettingsFileQuestions {
 public:
  explicit DialogSettingsFileQuestions(LocateSettingsFile locate) : locate_(std::move(locate)) {}
  bool UseFoundFile(const std::string& text) override;
  std::optional<std::string> LocateFile(std::string_view title, std::string_view filter_name,
                                        std::string_view pattern) override;

 private:
  LocateSettingsFile locate_;
};

class InstalledMailClients : public MailClientImport {
 public:
  explicit InstalledMailClients(LocateSettingsFile locate = FileDialogLocator())
      : questions_(std::move(locate)) {}

  std::vector<std::string> ListInstalled() override;
  std::vector<store::NewAccount> ReadAccounts(std::size_t program) override;

 private:
  DialogSettingsFileQuestions questions_;
  std::optional<import::MailClients> clients_;
  std::vector<import::MailClientKind> kinds_;
};

}  // namespace pelrion::ui
