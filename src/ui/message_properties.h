// A message's properties sheet: "General" (subject, sender, folder, size, dates, status and,
// for a held message, when its request went out) and "Details" (the message explorer).
#pragma once

#include <QDialog>
#include <string>

#include "store/message_record.h"
#include "store/message_table.h"
#include "ui/explorer_desktop.h"

class QTabWidget;

namespace pelrion::ui {

class MessageExplorer;

class MessageProperties : public QDialog {
  Q_OBJECT

 public:
  // temp_folder (ending in '/') receives the explorer's decoded parts.
  MessageProperties(const store::MessageRecord& record, const store::MessageTable& messages,
                    const std::string& temp_folder, ExplorerDesktop desktop,
                    QWidget* parent = nullptr);

  QTabWidget* pages() const { return pages_; }
  MessageExplorer* explorer() const { return explorer_; }
  // The General page's value shown for label ("Location:", ...); empty when not shown.
  QString FieldText(const QString& label) const;

 private:
  QTabWidget* pages_ = nullptr;
  MessageExplorer* explorer_ = nullptr;
  QWidget* general_ = nullptr;
};

}  // namespace pelrion::ui
