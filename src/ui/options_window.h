// The "Options" window: a tree of the pages "General" and "Sender Validation" over a working
// copy of the settings. OK checks every page (the first bad field is shown with its message
// and keeps the window open), then makes the copy the program's settings, saves them,
// applies autostart, runs the quarantine expiry and re-arms the periodic check. Cancel
// leaves everything as it was, templates included.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "core/preferences.h"
#include "platform/registry.h"
#include "ui/options_desktop.h"

class QStackedWidget;
class QTreeWidget;

namespace pelrion::validation {
class Quarantine;
}

namespace pelrion::ui {

class OptionsGeneralPage;
class OptionsSenderPage;

// What the window works on; every reference must outlive it.
struct OptionsServices {
  core::Preferences& preferences;  // the program's settings, changed only on OK
  platform::Registry& registry;
  validation::Quarantine& quarantine;
  // Re-arms the periodic mail check with the new settings (the mail cycle's period reset).
  std::function<void()> rearm_mail_check;
  std::string temp_folder;      // ends in '/': where the preview request is written
  std::string executable_path;  // what the autostart entry starts
  OptionsDesktop desktop;
};

class OptionsWindow : public QDialog {
  Q_OBJECT

 public:
  explicit OptionsWindow(OptionsServices services, QWidget* parent = nullptr);

  enum class Page { kGeneral = 0, kSenderValidation = 1 };
  void ShowPage(Page page);
  Page CurrentPage() const;

  OptionsGeneralPage* general_page() const { return general_; }
  OptionsSenderPage* sender_page() const { return sender_; }
  const core::Preferences& working() const { return working_; }

  // OK: see the header comment.
  void accept() override;

 private:
  // The first field no page accepts is shown, focused, and its message given; false then.
  bool CheckPages();
  void Preview();

  OptionsServices services_;
  core::Preferences working_;
  QTreeWidget* tree_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  OptionsGeneralPage* general_ = nullptr;
  OptionsSenderPage* sender_ = nullptr;
};

}  // namespace pelrion::ui
