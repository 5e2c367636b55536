#include <fstream>

#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"
#include "message_explorer_test_support.h"

namespace pelrion::ui::testing_support {

std::string Crlf(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

StoredMessage StoreMessage(const std::string& path, std::string_view message) {
  std::ofstream(path, std::ios::binary) << message;
  mailformat::MimeScanner scanner;
  mailformat::FeedMessageFile(path, scanner);
  StoredMessage stored;
  stored.path = path;
  stored.table = mailformat::BuildPartTable(scanner, path);
  stored.header_length = static_cast<std::int32_t>(scanner.header_length());
  return stored;
}

ExplorerDesktop ScriptedDesktop::Desktop() {
  return {
      .open_file =
          [this](QWidget*, const std::string& path) {
            opened.push_back(path);
            return programs_exist;
          },
      .open_with =
          [this](QWidget*, const std::string& path) {
            opened_with.push_back(path);
            return programs_exist;
          },
      .view_text =
          [this](QWidget*, const std::string& path) {
            viewed.push_back(path);
            return programs_exist;
          },
      .choose_save_path =
          [this](QWidget*, const QString& proposed) {
            proposed_names.push_back(proposed);
            return save_path;
          },
      .choose_folder = [this](QWidget*) { return folder; },
      .warn = [this](QWidget*, const QString& text) { warnings.push_back(text); },
  };
}

}  // namespace pelrion::ui::testing_support
