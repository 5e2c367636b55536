// "Open with...": the applications the desktop associates with the file's type, the default
// first, and "Other Program..." to pick any program's file instead.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <QPushButton>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/xdg_mime_apps.h"

namespace pelrion::ui {

// What the user chose: a listed application, or a program file started on the file.
struct OpenWithChoice {
  platform::ViewerCommand application;  // empty when program is set
  std::string program;
};

// Starts the choice on the file; false when it could not be started.
bool LaunchChoice(const OpenWithChoice& choice, const std::string& path);

class OpenWithDialog : public QDialog {
 public:
  // choose_program asks for a program's file ("Other Program..."); empty when cancelled.
  OpenWithDialog(const QString& file_name, std::vector<platform::DesktopApplication> applications,
                 std::function<QString(QWidget* parent)> choose_program,
                 QWidget* parent = nullptr);

  // The choice, once the dialog was accepted.
  std::optional<OpenWithChoice> Chosen() const;

  QListWidget& list() { return *list_; }
  QPushButton& open_button() { return *open_; }
  QPushButton& other_button() { return *other_; }

 private:
  void ChooseOtherProgram();

  std::vector<platform::DesktopApplication> applications_;
  std::function<QString(QWidget*)> choose_program_;
  std::string other_program_;
  QListWidget* list_;
  QPushButton* open_;
  QPushButton* other_;
};

// The file dialog behind "Other Program...".
QString ChooseProgramFile(QWidget* parent);

}  // namespace pelrion::ui
