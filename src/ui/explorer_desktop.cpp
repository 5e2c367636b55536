#include "ui/explorer_desktop.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStandardPaths>

#include "mailformat/file_names.h"
#include "platform/launch.h"

namespace pelrion::ui {
namespace {

bool OpenWithRegisteredProgram(QWidget*, const std::string& path) {
  return platform::OpenWithViewer(
      path, platform::ViewerCommandForExtension(mailformat::FileExtensionOf(path)));
}

// The desktop's own "open with" choosers are part of each file manager, not a shared service,
// so the user picks the program's file; it is started on the part with no shell between.
bool OpenWithChosenProgram(QWidget* parent, const std::string& path) {
  const QString program =
      QFileDialog::getOpenFileName(parent, QObject::tr("Open With"), "/usr/bin");
  if (program.isEmpty()) return false;
  return platform::LaunchDetached({program.toStdString(), path}) == 0;
}

QString ChooseSavePath(QWidget* parent, const QString& proposed_name) {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::homePath();
  return QFileDialog::getSaveFileName(parent, QObject::tr("Save As"), folder + "/" + proposed_name);
}

QString ChooseFolder(QWidget* parent) {
  return QFileDialog::getExistingDirectory(parent, QObject::tr("Select Folder:"), QDir::homePath());
}

void Warn(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QStringLiteral("Pelrion"), text);
}

}  // namespace

ExplorerDesktop RealExplorerDesktop(const platform::ViewerCommands& viewers) {
  return {
      .open_file = OpenWithRegisteredProgram,
      .open_with = OpenWithChosenProgram,
      .view_text = [txt = viewers.txt](
                       QWidget*,
                       const std::string& path) { return platform::OpenWithViewer(path, txt); },
      .choose_save_path = ChooseSavePath,
      .choose_folder = ChooseFolder,
      .warn = Warn,
  };
}

}  // namespace pelrion::ui
