#include "ui/message_explorer.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QVBoxLayout>

#include "mailformat/file_names.h"
#include "mailformat/part_export.h"
#include "mailformat/safe_save_name.h"
#include "mailformat/temp_files.h"

namespace pelrion::ui {
namespace {

// The wait cursor for as long as a part is being decoded or copied.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

QString Text(const std::string& bytes) {
  return QString::fromUtf8(bytes);
}

std::string LowerExtension(const std::string& name) {
  std::string extension = mailformat::FileExtensionOf(name);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

// Copies up to length bytes (everything when negative) of the file at source to fd.
bool CopyPrefix(const std::string& source, int fd, std::int64_t length) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  char buffer[65536];
  bool ok = true;
  while (ok && length != 0) {
    std::size_t want = sizeof buffer;
    if (length > 0 && static_cast<std::uint64_t>(length) < want) {
      want = static_cast<std::size_t>(length);
    }
    const ssize_t got = ::read(in, buffer, want);
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < got;) {
      const ssize_t written = ::write(fd, buffer + done, static_cast<std::size_t>(got - done));
      ok = written > 0;
      if (ok) done += written;
    }
    if (length > 0) length -= got;
  }
  ::close(in);
  return ok;
}

constexpr const char* kButtonLabels[] = {"Save",           "Save All",        "View as Text",
                                         "Open with...",   "Open && Execute", "Internet &Headers",
                                         "&Message Source"};

}  // namespace

ExplorerSettings& SharedExplorerSettings() {
  static ExplorerSettings settings;
  return settings;
}

MessageExplorer::MessageExplorer(ExplorerMessage message, ExplorerDesktop desktop, QWidget* parent)
    : QWidget(parent), message_(std::move(message)), desktop_(std::move(desktop)) {
  for (const char* label : kButtonLabels) {
    buttons_.push_back(new QPushButton(QString::fromUtf8(label), this));
  }
  tabs_ = new QTabBar(this);
  tabs_->addTab(tr("Message Text Formats"));
  tabs_->addTab(tr("Attachments"));
  tabs_->setExpanding(false);
  list_ = new QListWidget(this);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setIconSize(QSize(16, 16));
  dangerous_ = new QCheckBox(tr("Disable potentially dangerous options"), this);
  dangerous_->setChecked(SharedExplorerSettings().disable_dangerous);

  auto* group = new QGroupBox(tr("Message Explorer"), this);
  auto* group_layout = new QVBoxLayout(group);
  auto* list_layout = new QVBoxLayout;
  list_layout->setSpacing(0);
  list_layout->addWidget(tabs_);
  list_layout->addWidget(list_);
  group_layout->addLayout(list_layout);
  group_layout->addWidget(dangerous_);
  auto* actions = new QHBoxLayout;
  for (Button which : {Button::kSave, Button::kSaveAll, Button::kViewAsText, Button::kOpenWith,
                       Button::kOpenExecute}) {
    actions->addWidget(button(which));
  }
  group_layout->addLayout(actions);
  auto* message_buttons = new QHBoxLayout;
  message_buttons->addWidget(button(Button::kHeaders));
  message_buttons->addWidget(button(Button::kSource));
  message_buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(message_buttons);

  connect(button(Button::kSave), &QPushButton::clicked, this, &MessageExplorer::Save);
  connect(button(Button::kSaveAll), &QPushButton::clicked, this, &MessageExplorer::SaveAll);
  connect(button(Button::kViewAsText), &QPushButton::clicked, this, &MessageExplorer::ViewAsText);
  connect(button(Button::kOpenWith), &QPushButton::clicked, this, &MessageExplorer::OpenWith);
  connect(button(Button::kOpenExecute), &QPushButton::clicked, this,
          &MessageExplorer::OpenAndExecute);
  connect(button(Button::kHeaders), &QPushButton::clicked, this, &MessageExplorer::ShowHeaders);
  connect(button(Button::kSource), &QPushButton::clicked, this, &MessageExplorer::ShowSource);
  connect(list_, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  connect(dangerous_, &QCheckBox::toggled, this, [this](bool checked) {
    SharedExplorerSettings().disable_dangerous = checked;
    UpdateButtons();
  });

  const ExplorerTab tab = SharedExplorerSettings().last_tab;
  tabs_->setCurrentIndex(static_cast<int>(tab));
  Fill(tab);
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    const auto tab = static_cast<ExplorerTab>(index);
    SharedExplorerSettings().last_tab = tab;
    Fill(tab);
  });
}

QPushButton* MessageExplorer::button(Button which) const {
  return buttons_[static_cast<std::size_t>(which)];
}

void MessageExplorer::Fill(ExplorerTab tab) {
  list_->clear();
  items_ = ItemsOfTab(message_.table, tab);
  for (const ExplorerItem& item : items_) {
    list_->addItem(new QListWidgetItem(IconFor(item.display_name), Text(ExplorerRowText(item))));
  }
  if (!items_.empty()) list_->setCurrentRow(0);
  UpdateButtons();
}

void MessageExplorer::UpdateButtons() {
  const ExplorerItem* item = Selected();
  button(Button::kSaveAll)->setEnabled(!items_.empty());
  for (Button which : {Button::kSave, Button::kViewAsText, Button::kOpenWith}) {
    button(which)->setEnabled(item != nullptr);
  }
  button(Button::kOpenExecute)
      ->setEnabled(item != nullptr && (!dangerous_->isChecked() || item->safe_type));
}

const ExplorerItem* MessageExplorer::Selected() const {
  const int row = list_->currentRow();
  if (row < 0 || static_cast<std::size_t>(row) >= items_.size()) return nullptr;
  if (!list_->item(row)->isSelected()) return nullptr;
  return &items_[static_cast<std::size_t>(row)];
}

QIcon MessageExplorer::IconFor(const std::string& display_name) {
  const std::string extension = LowerExtension(display_name);
  const auto known = icons_.find(extension);
  if (known != icons_.end()) return known->second;
  // The desktop's icon theme names icons after MIME types; without a theme (or an icon for
  // the type) the style's plain file icon stands in.
  const QIcon fallback = style()->standardIcon(QStyle::SP_FileIcon);
  QIcon icon = fallback;
  if (!extension.empty()) {
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile("x." + Text(extension), QMimeDatabase::MatchExtension);
    icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
  }
  icons_.emplace(extension, icon);
  return icon;
}

std::string MessageExplorer::Export(const ExplorerItem& item, const std::string& name) {
  std::optional<std::string> path;
  {
    BusyCursor busy;
    path = mailformat::ExportPart(message_.table, item.index, message_.message_path,
                                  message_.temp_folder, name);
  }
  if (!path) {
    desktop_.warn(this, tr("Decode error."));
    return {};
  }
  return *path;
}

void MessageExplorer::WarnCopyFailed(const std::string& from, const std::string& to) {
  desktop_.warn(this, tr("File copy failed:\n\n  %1 --> %2").arg(Text(from), Text(to)));
}

void MessageExplorer::OpenAndExecute() {
  const ExplorerItem* item = Selected();
  if (item == nullptr || !button(Button::kOpenExecute)->isEnabled()) return;
  const std::string path = Export(*item, item->display_name);
  if (path.empty()) return;
  if (!desktop_.open_file(this, path)) {
    desktop_.warn(this, tr("There is no program on this desktop that opens '%1'.")
                            .arg(Text(mailformat::SafeSaveName(item->display_name))));
  }
}

void MessageExplorer::OpenWith() {
  const ExplorerItem* item = Selected();
  if (item == nullptr) return;
  const std::string path = Export(*item, item->display_name);
  if (!path.empty()) desktop_.open_with(this, path);
}

void MessageExplorer::ViewAsText() {
  const ExplorerItem* item = Selected();
  if (item == nullptr) return;
  const std::string path = Export(*item, "x.txt");
  if (!path.empty()) ShowAsText(path);
}

void MessageExplorer::ShowAsText(const std::string& path) {
  if (!desktop_.view_text(this, path)) {
    desktop_.warn(this, tr("There is no text viewer registered on the system.\n\nTo solve this "
                           "issue, please install a desktop text editor."));
  }
}

void MessageExplorer::Save() {
  const ExplorerItem* item = Selected();
  if (item == nullptr) return;
  const QString chosen =
      desktop_.choose_save_path(this, Text(mailformat::SafeSaveName(item->display_name)));
  if (chosen.isEmpty()) return;
  const std::string path = Export(*item, item->display_name);
  if (path.empty()) return;
  const std::string destination = chosen.toStdString();
  bool copied;
  {
    BusyCursor busy;
    copied = mailformat::CopyFileTo(path, destination);
  }
  if (!copied) {
    WarnCopyFailed(path, destination);
    return;
  }
  ::unlink(path.c_str());
}

void MessageExplorer::SaveAll() {
  if (items_.empty()) return;
  const QString chosen = desktop_.choose_folder(this);
  if (chosen.isEmpty()) return;
  const std::string folder = chosen.toStdString();
  for (const ExplorerItem& item : items_) {
    const std::string path = Export(item, item.display_name);
    if (path.empty()) return;
    std::optional<std::string> saved;
    {
      BusyCursor busy;
      saved = mailformat::SaveCopyInto(path, folder, item.display_name);
    }
    if (!saved) {
      WarnCopyFailed(path, folder + "/" + mailformat::SafeSaveName(item.display_name));
      return;
    }
    ::unlink(path.c_str());
  }
}

void MessageExplorer::ShowHeaders() {
  ShowMessageBytes("H", message_.header_length);
}

void MessageExplorer::ShowSource() {
  ShowMessageBytes("S", -1);
}

void MessageExplorer::ShowMessageBytes(const char* prefix, std::int64_t length) {
  const std::optional<mailformat::TempFile> file =
      mailformat::CreateTempFile(message_.temp_folder, prefix, ".txt");
  if (!file) {
    WarnCopyFailed(message_.message_path, message_.temp_folder + prefix + ".txt");
    return;
  }
  const bool copied = CopyPrefix(message_.message_path, file->fd, length);
  const bool closed = ::close(file->fd) == 0;
  if (!copied || !closed) {
    WarnCopyFailed(message_.message_path, file->path);
    ::unlink(file->path.c_str());
    return;
  }
  ShowAsText(file->path);
}

}  // namespace pelrion::ui
