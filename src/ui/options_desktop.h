// What the Options window asks of the desktop: a template file to read, and showing the
// preview request with the ".eml" viewer. The program gives the real desktop; tests answer
// in its place.
#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "platform/xdg_mime_apps.h"

class QWidget;

namespace pelrion::ui {

struct OptionsDesktop {
  // The file the user picks with these filters ("Text Files (*.txt);;All Files (*)"), as a
  // local path; nullopt when cancelled.
  std::function<std::optional<std::string>(QWidget* parent, const QString& filters)>
      choose_template_file;
  // Shows a message file; false when no program could be started for it.
  std::function<bool(const std::string& path)> open_message_file;
};

// The platform's file dialog and the ".eml" viewer command looked up at start-up.
OptionsDesktop RealOptionsDesktop(const platform::ViewerCommand& eml_viewer);

}  // namespace pelrion::ui
