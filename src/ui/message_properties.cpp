#include "ui/message_properties.h"

#include <vector>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/message_explorer.h"
#include "ui/message_properties_fields.h"

namespace pelrion::ui {
namespace {

QString Text(const std::string& bytes) { return QString::fromUtf8(bytes); }

QLabel* ValueLabel(const std::string& text, QWidget* parent) {
  auto* label = new QLabel(Text(text), parent);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  return label;
}

QFrame* Line(QWidget* parent) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

QWidget* GeneralPage(const MessageGeneralFields& fields, QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* layout = new QVBoxLayout(page);

  auto* heading = new QHBoxLayout;
  auto* icon = new QLabel(page);
  icon->setPixmap(QIcon::fromTheme("mail-message", page->style()->standardIcon(
                                                       QStyle::SP_FileIcon))
                      .pixmap(32, 32));
  heading->addWidget(icon, 0, Qt::AlignTop);
  auto* subject = ValueLabel(fields.subject, page);
  subject->setObjectName("subject");
  heading->addWidget(subject, 1);
  layout->addLayout(heading);
  layout->addWidget(Line(page));

  // Sections as the desktop's file properties show them, each a form of label and value.
  using Rows = std::vector<std::pair<const char*, std::string>>;
  const auto add_section = [&](const Rows& rows) {
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    for (const auto& [label, value] : rows) {
      auto* shown = ValueLabel(value, page);
      shown->setObjectName(QString::fromUtf8(label));
      form->addRow(QString::fromUtf8(label), shown);
    }
    layout->addLayout(form);
  };
  add_section({{"From:", fields.sender}});
  layout->addWidget(Line(page));
  add_section({{"Location:", fields.location}, {"Size:", fields.size}});
  layout->addWidget(Line(page));
  Rows dates = {{"Sent:", fields.sent}, {"Received:", fields.received}, {"Status:", fields.status}};
  if (fields.request_sent) dates.emplace_back("Request Sent:", *fields.request_sent);
  add_section(dates);
  layout->addStretch();
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
  const auto* shown = general_->findChild<QLabel*>(label);
  return shown != nullptr ? shown->text() : QString();
}

}  // namespace pelrion::ui
