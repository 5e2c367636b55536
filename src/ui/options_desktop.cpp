#include "ui/options_desktop.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

#include "platform/viewer.h"

namespace pelrion::ui {
namespace {

std::optional<std::string> ChooseTemplateFile(QWidget* parent, const QString& filters) {
  const QString path =
      QFileDialog::getOpenFileName(parent, QObject::tr("Open"), QDir::homePath(), filters);
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

}  // namespace

OptionsDesktop RealOptionsDesktop(const platform::ViewerCommand& eml_viewer) {
  return {
      .choose_template_file = ChooseTemplateFile,
      .open_message_file =
          [eml_viewer](const std::string& path) {
            return platform::OpenWithViewer(path, eml_viewer);
          },
  };
}

}  // namespace pelrion::ui
