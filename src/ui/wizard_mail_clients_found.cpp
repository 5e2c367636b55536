#include "ui/wizard_mail_clients_found.h"

#include <QFileDialog>
#include <QPointer>
#include <QString>

#include "platform/dialogs.h"

namespace pelrion::ui {
namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

LocateSettingsFile FileDialogLocator(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  return [owner](std::string_view title, std::string_view filter_name,
                 std::string_view pattern) -> std::optional<std::string> {
    const QString filter = Text(filter_name) + " (" + Text(pattern) + ")";
    const QString path = QFileDialog::getOpenFileName(owner.data(), Text(title), QString(), filter);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
  };
}

bool DialogSettingsFileQuestions::UseFoundFile(const std::string& text) {
  return platform::CurrentDialogs().MessageBox(text, "Pelrion", platform::DialogIcon::kQuestion,
                                               platform::DialogButtons::kOkCancel) ==
         platform::DialogAnswer::kOk;
}

std::optional<std::string> DialogSettingsFileQuestions::LocateFile(std::string_view title,
                                                                   std::string_view filter_name,
                                                                   std::string_view pattern) {
  return locate_ ? locate_(title, filter_name, pattern) : std::nullopt;
}

std::vector<std::string> InstalledMailClients::ListInstalled() {
  clients_.emplace(import::MailClients::OfThisUser());
  kinds_ = clients_->ListInstalled();
  std::vector<std::string> names;
  for (const import::MailClientKind kind : kinds_) {
    names.emplace_back(import::KindInfo(kind).display_name);
  }
  return names;
}

std::vector<store::NewAccount> InstalledMailClients::ReadAccounts(std::size_t program) {
  if (!clients_ || program >= kinds_.size()) return {};
  return clients_->ReadAccounts(kinds_[program], questions_);
}

}  // namespace pelrion::ui
