#include "ui/explorer_desktop.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

#include "mailformat/file_names.h"
#include "platform/launch.h"
#include "platform/viewer.h"
#include "ui/open_with_dialog.h"

namespace pelrion::ui {
namespace {

bool OpenWithRegisteredProgram(QWidget*, const std::string& path) {
  return platform::OpenWithViewer(
      path, platform::ViewerCommandForExtension(mailformat::FileExtensionOf(path)));
}

// The applications the desktop associates with the file's type, or any program's file.
bool OpenWithChosenProgram(QWidget* parent, const std::string& path) {
  const QString name = QFileInfo(QString::fromStdString(path)).fileName();
  OpenWithDialog dialog(
      name, platform::ApplicationsForExtension(mailformat::FileExtensionOf(path)),
      ChooseProgramFile, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  const std::optional<OpenWithChoice> choice = dialog.Chosen();
  return choice && LaunchChoice(*choice, path);
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
