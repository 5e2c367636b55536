#include "ui/folder_properties.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "mailformat/size_text.h"

namespace pelrion::ui {
namespace {

// How often the figures are read again: the counters are in memory, so this costs nothing,
// and messages arriving or leaving show up while the user looks.
constexpr int kRefreshMilliseconds = 500;

QString FolderTitle(store::Folder folder) {
  const std::string_view name = store::FolderName(folder);
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

}  // namespace

QString FolderSizeText(const store::FolderCount& count) {
  return QString::fromStdString(mailformat::FormatSize(static_cast<std::int64_t>(count.size)));
}

QString FolderContainsText(const store::FolderCount& count) {
  return QObject::tr("%1 messages, %2 unread").arg(count.messages).arg(count.unread);
}

FolderProperties::FolderProperties(store::Folder folder, const store::MessageTable& messages,
                                   QWidget* parent)
    : QDialog(parent), folder_(folder), messages_(messages) {
  setWindowTitle(tr("%1 Properties").arg(FolderTitle(folder)));
  auto* pages = new QTabWidget(this);
  auto* page = new QWidget(pages);
  auto* layout = new QVBoxLayout(page);

  auto* heading = new QHBoxLayout;
  auto* icon = new QLabel(page);
  icon->setPixmap(
      QIcon::fromTheme("folder", style()->standardIcon(QStyle::SP_DirIcon)).pixmap(32, 32));
  heading->addWidget(icon);
  heading->addWidget(new QLabel(FolderTitle(folder), page), 1);
  layout->addLayout(heading);
  auto* line = new QFrame(page);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  layout->addWidget(line);

  auto* form = new QFormLayout;
  form->addRow(tr("Type:"), new QLabel(tr("Pelrion Message Folder"), page));
  size_ = new QLabel(page);
  contains_ = new QLabel(page);
  form->addRow(tr("Size:"), size_);
  form->addRow(tr("Contains:"), contains_);
  layout->addLayout(form);
  layout->addStretch();
  pages->addTab(page, tr("General"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(pages);
  outer->addWidget(buttons);

  Refresh();
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &FolderProperties::Refresh);
  timer->start(kRefreshMilliseconds);
  resize(360, 300);
}

QString FolderProperties::SizeText() const {
  return size_->text();
}
QString FolderProperties::ContainsText() const {
  return contains_->text();
}

void FolderProperties::Refresh() {
  const store::FolderCount& count = messages_.Counter(folder_);
  size_->setText(FolderSizeText(count));
  contains_->setText(FolderContainsText(count));
}

}  // namespace pelrion::ui
