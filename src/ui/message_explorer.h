// The "Details" page of a message's properties: the message's text formats and attachments
// in one list under two tabs, and the actions that save, view or open them, plus the
// message's header block and whole source as text.
#pragma once

#include <QIcon>
#include <QWidget>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "mailformat/part_table.h"
#include "ui/explorer_desktop.h"
#include "ui/explorer_items.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QTabBar;

namespace pelrion::ui {

// The stored message the page works on.
struct ExplorerMessage {
  mailformat::PartTable table;
  std::string message_path;
  std::int32_t header_length = -1;  // body offset; -1 when unknown
  std::string temp_folder;          // ends in '/'
};

// Kept for the whole run of the program (main thread only): the tab shown last and the
// "Disable potentially dangerous options" box, which starts checked.
struct ExplorerSettings {
  ExplorerTab last_tab = ExplorerTab::kTextFormats;
  bool disable_dangerous = true;
};
ExplorerSettings& SharedExplorerSettings();

class MessageExplorer : public QWidget {
  Q_OBJECT

 public:
  enum class Button { kSave, kSaveAll, kViewAsText, kOpenWith, kOpenExecute, kHeaders, kSource };

  MessageExplorer(ExplorerMessage message, ExplorerDesktop desktop, QWidget* parent = nullptr);

  const std::vector<ExplorerItem>& items() const { return items_; }
  QTabBar* tabs() const { return tabs_; }
  QListWidget* list() const { return list_; }
  QCheckBox* dangerous_box() const { return dangerous_; }
  QPushButton* button(Button which) const;

  void Save();
  void SaveAll();
  void ViewAsText();
  void OpenWith();
  void OpenAndExecute();
  void ShowHeaders();
  void ShowSource();

 private:
  void Fill(ExplorerTab tab);
  void UpdateButtons();
  const ExplorerItem* Selected() const;
  // The part decoded into the temporary folder under name's extension; warns and gives an
  // empty path on failure.
  std::string Export(const ExplorerItem& item, const std::string& name);
  // A new "<prefix><n>.txt" file of the temporary folder holding the message file's first
  // length bytes (all of it when length is negative), then shown with the text viewer.
  void ShowMessageBytes(const char* prefix, std::int64_t length);
  void ShowAsText(const std::string& path);
  QIcon IconFor(const std::string& display_name);
  void WarnCopyFailed(const std::string& from, const std::string& to);

  ExplorerMessage message_;
  ExplorerDesktop desktop_;
  std::vector<ExplorerItem> items_;
  std::map<std::string, QIcon> icons_;  // by lower-case extension
  QTabBar* tabs_ = nullptr;
  QListWidget* list_ = nullptr;
  QCheckBox* dangerous_ = nullptr;
  std::vector<QPushButton*> buttons_;  // in Button order
};

}  // namespace pelrion::ui
