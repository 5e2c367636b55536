// The message explorer on real stored messages: which rows each tab lists, the safe-type
// rule, and what Save, Save All, View as Text, the open actions, Headers and Source leave on
// disk and hand to the desktop.
#include "ui/message_explorer.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTabBar>
#include <filesystem>
#include <fstream>

#include "mailformat/mime_types.h"
#include "message_explorer_test_support.h"
#include "support/files.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using testing_support::Crlf;
using testing_support::ScriptedDesktop;
using testing_support::StoredMessage;
using testing_support::StoreMessage;
using testing_support::TestApp;
using Button = MessageExplorer::Button;

const char kAlternative[] =
    "From: a@example.org\nSubject: alt\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=outer\n\n"
    "--outer\nContent-Type: multipart/alternative; boundary=inner\n\n"
    "--inner\nContent-Type: text/plain\n\nplain words\n"
    "--inner\nContent-Type: text/html\n\n<p>html words</p>\n"
    "--inner--\n"
    "--outer\nContent-Type: application/pdf; name=\"Report.PDF\"\n"
    "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n"
    "--outer\nContent-Type: application/octet-stream; name=\"setup.exe\"\n"
    "Content-Transfer-Encoding: base64\n\nTVqQAAMAAAA=\n"
    "--outer--\n";

// Three attachments; the test damages the middle one's base64 ("c2Vjb25k") once it is stored.
const char kBrokenMiddle[] =
    "From: a@example.org\nMIME-Version: 1.0\n"
    "Content-Type: multipart/mixed; boundary=b\n\n"
    "--b\nContent-Type: text/plain\n\nsee attached\n"
    "--b\nContent-Type: text/plain; name=\"first.txt\"\n\nfirst part\n"
    "--b\nContent-Type: application/octet-stream; name=\"second.bin\"\n"
    "Content-Transfer-Encoding: base64\n\nc2Vjb25k\n"
    "--b\nContent-Type: text/plain; name=\"third.txt\"\n\nthird part\n"
    "--b--\n";

std::string PlainWithTwoBlocks() {
  return "From: a@example.org\nSubject: files\n\nHere are the files.\n\n"
         "begin 644 one.txt\n"
         "&:&5L;&\\*\n"
         "`\nend\n"
         "\nand another\n\n"
         "begin 600 ../two.gif\n"
         "#1TE&\n"
         "`\nend\n";
}

TEST(ExplorerItemsTest, SafeTypesGoByTheLastExtensionIgnoringCase) {
  const struct {
    const char* name;
    bool safe;
  } rows[] = {
      {"report.pdf", true},
      {"REPORT.PDF", true},
      {"archive.tar.gz", true},
      {"photo.JpG", true},
      {"notes.txt.exe", false},
      {"setup.exe", false},
      {"invoice.pdf.exe", false},
      {"script.exe.txt", true},
      {"noextension", false},
      {"trailingdot.", false},
      {"", false},
      {"jpg", false},
      {"page.html", false},
      {"x.jpeg", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsSafeType(row.name), row.safe) << row.name;
}

TEST(ExplorerItemsTest, TextPartsOfAnUnregisteredTypeAreNamedDat) {
  mailformat::PartTable table;
  table.mime = 1;
  table.first_text_index = 0;
  table.text_part_count = 1;
  table.parts.push_back(
      {.decoded_size = 2048, .type = "text", .subtype = "x-nobody-registers", .name = ""});
  const std::vector<ExplorerItem> items = TextFormatItems(table);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(ExplorerRowText(items[0]), "message_text.dat (3 KB)");
  EXPECT_TRUE(AttachmentItems(table).empty());
}

class MessageExplorerTest : public testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    SharedExplorerSettings() = ExplorerSettings{};
    test_support::WriteFile(dir_ / "mime.types",
                            "text/plain txt asc\ntext/html html htm\napplication/pdf pdf\n");
    mailformat::SetMimeTypesPathForTesting(dir_ / "mime.types");
    std::filesystem::create_directory(dir_ / "temp");
    std::filesystem::create_directory(dir_ / "saved");
  }
  void TearDown() override { mailformat::SetMimeTypesPathForTesting(""); }

  std::unique_ptr<MessageExplorer> Open(std::string_view message) {
    stored_ = StoreMessage(dir_ / "1.eml", Crlf(message));
    return std::make_unique<MessageExplorer>(ExplorerMessage{.table = stored_.table,
                                                             .message_path = stored_.path,
                                                             .header_length = stored_.header_length,
                                                             .temp_folder = dir_ / "temp/"},
                                             desktop_.Desktop());
  }

  static std::vector<std::string> Rows(const MessageExplorer& explorer) {
    std::vector<std::string> rows;
    for (int i = 0; i < explorer.list()->count(); ++i) {
      rows.push_back(explorer.list()->item(i)->text().toStdString());
    }
    return rows;
  }

  static std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  test_support::TempDir dir_;
  StoredMessage stored_;
  ScriptedDesktop desktop_;
};

TEST_F(MessageExplorerTest, TabsListTextFormatsAndAttachmentsOfEachKindOfMessage) {
  const struct {
    const char* what;
    std::string message;
    std::vector<std::string> text_rows, attachment_rows;
  } rows[] = {
      {"alternative",
       kAlternative,
       {"message_text.txt (1 KB)", "message_text.html (1 KB)"},
       {"Report.PDF (1 KB)", "setup.exe (1 KB)"}},
      {"plain with two uuencoded blocks",
       PlainWithTwoBlocks(),
       {"message_text.txt (1 KB)"},
       {"one.txt (1 KB)", "../two.gif (1 KB)"}},
      {"plain without attachments", "Subject: x\n\njust text\n", {"message_text.txt (1 KB)"}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    auto explorer = Open(row.message);
    EXPECT_EQ(explorer->tabs()->tabText(0), "Message Text Formats");
    EXPECT_EQ(explorer->tabs()->tabText(1), "Attachments");
    EXPECT_EQ(Rows(*explorer), row.text_rows);
    EXPECT_EQ(explorer->list()->currentRow(), 0);
    explorer->tabs()->setCurrentIndex(1);
    EXPECT_EQ(Rows(*explorer), row.attachment_rows);
    EXPECT_EQ(explorer->list()->currentRow(), row.attachment_rows.empty() ? -1 : 0);
    EXPECT_EQ(explorer->button(Button::kSaveAll)->isEnabled(), !row.attachment_rows.empty());
    EXPECT_EQ(explorer->button(Button::kSave)->isEnabled(), !row.attachment_rows.empty());
    for (int i = 0; i < explorer->list()->count(); ++i) {
      EXPECT_FALSE(explorer->list()->item(i)->icon().isNull());
    }
    explorer->tabs()->setCurrentIndex(0);
  }
}

TEST_F(MessageExplorerTest, ButtonLabelsAndTheSettingsKeptForTheRun) {
  EXPECT_TRUE(ExplorerSettings{}.disable_dangerous);
  auto first = Open(kAlternative);
  const std::pair<Button, const char*> labels[] = {
      {Button::kSave, "Save"},
      {Button::kSaveAll, "Save All"},
      {Button::kViewAsText, "View as Text"},
      {Button::kOpenWith, "Open with..."},
      {Button::kOpenExecute, "Open && Execute"},
      {Button::kHeaders, "Internet &Headers"},
      {Button::kSource, "&Message Source"},
  };
  for (const auto& [which, label] : labels) EXPECT_EQ(first->button(which)->text(), label);
  EXPECT_EQ(first->dangerous_box()->text(), "Disable potentially dangerous options");
  EXPECT_TRUE(first->dangerous_box()->isChecked());

  first->dangerous_box()->setChecked(false);
  first->tabs()->setCurrentIndex(1);
  first.reset();
  auto second = Open(kAlternative);
  EXPECT_FALSE(second->dangerous_box()->isChecked());
  EXPECT_EQ(second->tabs()->currentIndex(), 1);
  EXPECT_EQ(Rows(*second).front(), "Report.PDF (1 KB)");
}

TEST_F(MessageExplorerTest, DangerousOptionsKeepOnlySafeTypesOpenable) {
  auto explorer = Open(kAlternative);
  explorer->tabs()->setCurrentIndex(1);
  const struct {
    int row;
    bool box;
    bool can_execute;
  } rows[] = {
      {0, true, true},   // Report.PDF: upper case still counts
      {1, true, false},  // setup.exe
      {1, false, true},
      {0, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << row.row << " box " << row.box);
    explorer->dangerous_box()->setChecked(row.box);
    explorer->list()->setCurrentRow(row.row);
    EXPECT_EQ(explorer->button(Button::kOpenExecute)->isEnabled(), row.can_execute);
    EXPECT_TRUE(explorer->button(Button::kOpenWith)->isEnabled());
    EXPECT_TRUE(explorer->button(Button::kSave)->isEnabled());
    EXPECT_TRUE(explorer->button(Button::kViewAsText)->isEnabled());
  }

  // Without a selected row only Save All is left.
  explorer->list()->clearSelection();
  for (const Button which :
       {Button::kSave, Button::kViewAsText, Button::kOpenWith, Button::kOpenExecute}) {
    EXPECT_FALSE(explorer->button(which)->isEnabled());
  }
  EXPECT_TRUE(explorer->button(Button::kSaveAll)->isEnabled());

  // With the box set, the exe is never handed to its registered program, but Open with... is
  // still allowed.
  explorer->dangerous_box()->setChecked(true);
  explorer->list()->setCurrentRow(1);
  explorer->OpenAndExecute();
  EXPECT_TRUE(desktop_.opened.empty());
  explorer->OpenWith();
  ASSERT_EQ(desktop_.opened_with.size(), 1u);
  EXPECT_TRUE(desktop_.opened_with[0].ends_with(".exe"));
  EXPECT_EQ(test_support::ReadFile(desktop_.opened_with[0]), std::string("MZ\x90\0\x03\0\0\0", 8));

  explorer->list()->setCurrentRow(0);
  explorer->OpenAndExecute();
  ASSERT_EQ(desktop_.opened.size(), 1u);
  EXPECT_TRUE(desktop_.opened[0].starts_with(dir_ / "temp/T"));
  EXPECT_TRUE(desktop_.opened[0].ends_with(".PDF"));
  EXPECT_EQ(test_support::ReadFile(desktop_.opened[0]), "%PDF-1.4\n");
  EXPECT_TRUE(desktop_.warnings.empty());
}

TEST_F(MessageExplorerTest, ViewAsTextHeadersAndSourceGoToTheTextViewer) {
  auto explorer = Open(kAlternative);
  explorer->list()->setCurrentRow(1);
  explorer->ViewAsText();
  explorer->ShowHeaders();
  explorer->ShowSource();
  ASSERT_EQ(desktop_.viewed.size(), 3u);
  const std::string source = test_support::ReadFile(stored_.path);
  const struct {
    std::string prefix, content;
  } want[] = {
      {"T", Crlf("<p>html words</p>\n")},
      {"H", source.substr(0, static_cast<std::size_t>(stored_.header_length))},
      {"S", source},
  };
  for (std::size_t i = 0; i < std::size(want); ++i) {
    SCOPED_TRACE(want[i].prefix);
    EXPECT_TRUE(desktop_.viewed[i].starts_with(dir_ / "temp/" + want[i].prefix));
    EXPECT_TRUE(desktop_.viewed[i].ends_with(".txt"));
    EXPECT_EQ(test_support::ReadFile(desktop_.viewed[i]), want[i].content);
  }
  EXPECT_TRUE(want[1].content.ends_with("\r\n\r\n"));

  desktop_.programs_exist = false;
  explorer->ShowSource();
  ASSERT_EQ(desktop_.warnings.size(), 1u);
  EXPECT_TRUE(desktop_.warnings[0].contains("text viewer"));
}

TEST_F(MessageExplorerTest, SaveCopiesThePartAndCleansUpOnlyAfterSuccess) {
  auto explorer = Open(kAlternative);
  explorer->tabs()->setCurrentIndex(1);
  desktop_.save_path = QString::fromStdString(dir_ / "saved/chosen.pdf");
  explorer->Save();
  EXPECT_EQ(desktop_.proposed_names, std::vector<QString>{"Report.PDF"});
  EXPECT_EQ(test_support::ReadFile(dir_ / "saved/chosen.pdf"), "%PDF-1.4\n");
  EXPECT_TRUE(FilesIn(dir_ / "temp").empty());
  EXPECT_TRUE(desktop_.warnings.empty());

  // A destination that cannot be written: the failure names both files and the exported
  // file stays behind.
  desktop_.save_path = QString::fromStdString(dir_ / "missing/chosen.pdf");
  explorer->Save();
  ASSERT_EQ(desktop_.warnings.size(), 1u);
  const std::vector<std::string> left = FilesIn(dir_ / "temp");
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(desktop_.warnings[0],
            QString::fromStdString("File copy failed:\n\n  " + dir_ / "temp/" + left[0] + " --> " +
                                   dir_ / "missing/chosen.pdf"));

  // Cancelling the dialog decodes nothing.
  desktop_.save_path.clear();
  explorer->Save();
  EXPECT_EQ(FilesIn(dir_ / "temp").size(), 1u);
  EXPECT_EQ(desktop_.warnings.size(), 1u);
}

TEST_F(MessageExplorerTest, SaveAllStopsAtTheFirstFailureAndKeepsEarlierCopies) {
  auto explorer = Open(kBrokenMiddle);
  std::string bytes = test_support::ReadFile(stored_.path);
  bytes.replace(bytes.find("c2Vjb25k"), 8, "c2V!!25k");
  test_support::WriteFile(stored_.path, bytes);
  explorer->tabs()->setCurrentIndex(1);
  ASSERT_EQ(Rows(*explorer), (std::vector<std::string>{"first.txt (1 KB)", "second.bin (1 KB)",
                                                       "third.txt (1 KB)"}));
  desktop_.folder = QString::fromStdString(dir_ / "saved");
  explorer->SaveAll();
  EXPECT_EQ(desktop_.warnings, std::vector<QString>{"Decode error."});
  EXPECT_EQ(FilesIn(dir_ / "saved"), std::vector<std::string>{"first.txt"});
  EXPECT_EQ(test_support::ReadFile(dir_ / "saved/first.txt"), Crlf("first part\n"));
  EXPECT_TRUE(FilesIn(dir_ / "temp").empty());
}

TEST_F(MessageExplorerTest, SaveAllKeepsHostileNamesInTheFolderAndNumbersClashes) {
  auto explorer = Open(PlainWithTwoBlocks());
  explorer->tabs()->setCurrentIndex(1);
  test_support::WriteFile(dir_ / "saved/one.txt", "already here");
  desktop_.folder = QString::fromStdString(dir_ / "saved");
  explorer->SaveAll();
  EXPECT_TRUE(desktop_.warnings.empty());
  EXPECT_EQ(FilesIn(dir_ / "saved"),
            (std::vector<std::string>{"one (2).txt", "one.txt", "two.gif"}));
  EXPECT_EQ(test_support::ReadFile(dir_ / "saved/one.txt"), "already here");
  EXPECT_EQ(test_support::ReadFile(dir_ / "saved/one (2).txt"), "hello\n");
  EXPECT_EQ(test_support::ReadFile(dir_ / "saved/two.gif"), "GIF");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "two.gif"));
}

TEST_F(MessageExplorerTest, AMissingMessageFileIsADecodeError) {
  auto explorer = Open(kAlternative);
  std::filesystem::remove(stored_.path);
  explorer->ViewAsText();
  explorer->OpenAndExecute();
  EXPECT_EQ(desktop_.warnings, (std::vector<QString>{"Decode error.", "Decode error."}));
  EXPECT_TRUE(desktop_.viewed.empty());
  EXPECT_TRUE(desktop_.opened.empty());
  EXPECT_TRUE(FilesIn(dir_ / "temp").empty());
}

}  // namespace
}  // namespace pelrion::ui
