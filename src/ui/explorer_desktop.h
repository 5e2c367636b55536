// What the message explorer asks of the desktop: opening files, choosing programs, files and
// folders, and telling the user of a failure. The window uses the real desktop; tests answer
// in its place.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "platform/viewer.h"

class QWidget;

namespace pelrion::ui {

struct ExplorerDesktop {
  // Opens the file with the program the desktop registers for its type; false when none.
  std::function<bool(QWidget* parent, const std::string& path)> open_file;
  // Lets the user pick a program and opens the file with it; false when cancelled or failed.
  std::function<bool(QWidget* parent, const std::string& path)> open_with;
  // Shows the file with the ".txt" viewer; false when there is none.
  std::function<bool(QWidget* parent, const std::string& path)> view_text;
  // The path to save under, proposing the name; empty when cancelled. Asks before a choice
  // that would replace a file.
  std::function<QString(QWidget* parent, const QString& proposed_name)> choose_save_path;
  // A folder to save every part into; empty when cancelled.
  std::function<QString(QWidget* parent)> choose_folder;
  // A warning box captioned "Pelrion".
  std::function<void(QWidget* parent, const QString& text)> warn;
};

// The real desktop: the XDG viewers (txt from viewers), "Open with..." offering the desktop's
// applications for the file's type (or any program's file), the platform's file dialogs and
// message boxes.
ExplorerDesktop RealExplorerDesktop(const platform::ViewerCommands& viewers);

}  // namespace pelrion::ui
