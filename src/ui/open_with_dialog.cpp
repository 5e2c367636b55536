#include "ui/open_with_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QVBoxLayout>
#include <utility>

#include "platform/launch.h"
#include "platform/viewer.h"

namespace pelrion::ui {

bool LaunchChoice(const OpenWithChoice& choice, const std::string& path) {
  if (!choice.application.empty()) return platform::OpenWithViewer(path, choice.application);
  // The program gets the file as its one argument, with no shell between.
  return !choice.program.empty() && platform::LaunchDetached({choice.program, path}) == 0;
}

OpenWithDialog::OpenWithDialog(const QString& file_name,
                               std::vector<platform::DesktopApplication> applications,
                               std::function<QString(QWidget*)> choose_program, QWidget* parent)
    : QDialog(parent),
      applications_(std::move(applications)),
      choose_program_(std::move(choose_program)) {
  setWindowTitle(tr("Open With"));
  auto* layout = new QVBoxLayout(this);
  auto* prompt = new QLabel(
      applications_.empty()
          ? tr("No program on this desktop is registered for '%1'. Choose one with Other "
               "Program...")
                .arg(file_name)
          : tr("Choose the program you want to use to open '%1':").arg(file_name),
      this);
  prompt->setWordWrap(true);
  layout->addWidget(prompt);

  list_ = new QListWidget(this);
  for (const platform::DesktopApplication& application : applications_) {
    list_->addItem(QString::fromStdString(application.name));
  }
  layout->addWidget(list_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
  other_ = buttons->addButton(tr("Other Program..."), QDialogButtonBox::ActionRole);
  open_ = buttons->addButton(tr("Open"), QDialogButtonBox::AcceptRole);
  open_->setDefault(true);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(other_, &QPushButton::clicked, this, &OpenWithDialog::ChooseOtherProgram);
  connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
  connect(list_, &QListWidget::currentRowChanged, this,
          [this](int row) { open_->setEnabled(row >= 0); });
  open_->setEnabled(false);
  if (!applications_.empty()) list_->setCurrentRow(0);
  resize(420, 320);
}

std::optional<OpenWithChoice> OpenWithDialog::Chosen() const {
  if (result() != QDialog::Accepted) return std::nullopt;
  if (!other_program_.empty()) return OpenWithChoice{{}, other_program_};
  const int row = list_->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= applications_.size()) return std::nullopt;
  return OpenWithChoice{applications_[static_cast<std::size_t>(row)].command, {}};
}

void OpenWithDialog::ChooseOtherProgram() {
  const QString program = choose_program_(this);
  if (program.isEmpty()) return;
  other_program_ = program.toStdString();
  accept();
}

QString ChooseProgramFile(QWidget* parent) {
  return QFileDialog::getOpenFileName(parent, QObject::tr("Other Program"), "/usr/bin");
}

}  // namespace pelrion::ui
