// Stored messages and a scripted desktop for the message explorer's tests.
#pragma once

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "mailformat/part_table.h"
#include "support/temp_dir.h"
#include "ui/explorer_desktop.h"
#include "ui/message_explorer.h"

namespace pelrion::ui::testing_support {

// text with every "\n" made CR LF, as messages are stored.
std::string Crlf(std::string_view text);

// Writes message to path and scans it as the download does; its part table and body offset.
struct StoredMessage {
  std::string path;
  mailformat::PartTable table;
  std::int32_t header_length = -1;
};
StoredMessage StoreMessage(const std::string& path, std::string_view message);

// A desktop whose answers the test sets and whose calls it records.
struct ScriptedDesktop {
  QString save_path;  // what the save dialog answers ("" = cancel)
  QString folder;     // what the folder dialog answers
  bool programs_exist = true;
  std::vector<std::string> opened, opened_with, viewed;  // paths handed over
  std::vector<QString> proposed_names;
  std::vector<QString> warnings;

  ExplorerDesktop Desktop();
};

}  // namespace pelrion::ui::testing_support
