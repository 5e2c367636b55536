#include "ui/message_properties.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <vector>

#include "ui/message_explorer.h"
#include "ui/message_properties_fields.h"

namespace pelrion::ui {
namespace {

QString Text(const std::string& bytes) {
  return QString::fromUtf8(bytes);
}

// A value the user can read whole and copy: a borderless read-only line that scrolls rather
// than cutting a long sender list or subject.
QLineEdit* ValueField(const std::string& text, QWidget* parent) {
  auto* field = new QLineEdit(Text(text), parent);
  field->setReadOnly(true);
  field->setFrame(false);
  field->setCursorPosition(0);
  QPalette palette = field->palette();
  palette.setColor(QPalette::Base, Qt::transparent);
  field->setPalette(palette);
  return field;
}

QFrame* Line(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// Rows of label and value in one grid, so every section lines up; an empty label stands for
// a separating line.
using Rows = std::vector<std::pair<const char*, std::string>>;

QWidget* GeneralPage(const MessageGeneralFields& fields, QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* grid = new QGridLayout(page);
  grid->setColumnStretch(1, 1);
  auto* icon = new QLabel(page);
  icon->setPixmap(QIcon::fromTheme("mail-message", page->style()->standardIcon(QStyle::SP_FileIcon))
                      .pixmap(32, 32));
  grid->addWidget(icon, 0, 0);
  auto* subject = ValueField(fields.subject, page);
  subject->setObjectName("subject");
  grid->addWidget(subject, 0, 1);

  Rows rows = {{"", ""},
               {"From:", fields.sender},
               {"", ""},
               {"Location:", fields.location},
               {"Size:", fields.size},
               {"", ""},
               {"Sent:", fields.sent},
               {"Received:", fields.received},
               {"Status:", fields.status}};
  if (fields.request_sent) rows.emplace_back("Request Sent:", *fields.request_sent);
  int row = 1;
  for (const auto& [label, value] : rows) {
    if (*label == '\0') {
      grid->addWidget(Line(page), row++, 0, 1, 2);
      continue;
    }
    grid->addWidget(new QLabel(QString::fromUtf8(label), page), row, 0);
    auto* shown = ValueField(value, page);
    shown->setObjectName(QString::fromUtf8(label));
    grid->addWidget(shown, row++, 1);
  }
  grid->setRowStretch(row, 1);
  return page;
}

}  // namespace

MessageProperties::MessageProperties(const store::MessageRecord& record,
                                     const store::MessageTable& messages,
                                     const std::string& temp_folder, ExplorerDesktop desktop,
                                     QWidget* parent)
    : QDialog(parent) {
  const std::string message_path = messages.MessageFilePath(record);
  const MessageGeneralFields fields = GeneralFieldsOf(record, message_path);
  setWindowTitle(Text(fields.title));

  pages_ = new QTabWidget(this);
  general_ = GeneralPage(fields, pages_);
  pages_->addTab(general_, tr("General"));
  explorer_ = new MessageExplorer({.table = record.summary.part_table(),
                                   .message_path = message_path,
                                   .header_length = record.summary.header_length,
                                   .temp_folder = temp_folder},
                                  std::move(desktop), pages_);
  pages_->addTab(explorer_, tr("Details"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);
  resize(440, 480);
}

QString MessageProperties::FieldText(const QString& label) const {
  const auto* shown = general_->findChild<QLineEdit*>(label);
  return shown != nullptr ? shown->text() : QString();
}

}  // namespace pelrion::ui
