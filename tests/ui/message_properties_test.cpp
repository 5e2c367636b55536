// The message and folder properties sheets over real stores in a temporary database folder:
// the General page's texts for messages in each folder, the Details page, and folder figures
// that follow the store while the sheet is open. Also saves their pictures for review.
#include "ui/message_properties.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTabWidget>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "app/stores_fixture.h"
#include "support/scoped_env.h"
#include "ui/message_list_columns.h"
#include "mailformat/message_file_scan.h"
#include "mailformat/mime_scanner.h"
#include "mailformat/mime_types.h"
#include "mailformat/size_text.h"
#include "message_explorer_test_support.h"
#include "support/files.h"
#include "ui/folder_properties.h"
#include "ui/message_explorer.h"
#include "ui/message_properties_fields.h"
#include "ui_test_app.h"
#include "validation/message_status.h"

namespace pelrion::ui {
namespace {

using testing_support::Crlf;
using testing_support::ScriptedDesktop;
using testing_support::TestApp;

TEST(ListDateTextTest, MonthDayYearHourMinuteWithoutLeadingZeros) {
  test_support::ScopedUtcZone utc;
  const struct {
    mailformat::Timestamp time;
    const char* want;
  } rows[] = {
      {1709802300, "3/7/24 9:05"},     // 2024-03-07 09:05:00
      {1262303940, "12/31/09 23:59"},  // 2009-12-31 23:59:00
      {0, "1/1/70 0:00"},
      {mailformat::kNoDate, ""},
  };
  for (const auto& row : rows) EXPECT_EQ(ListDateText(row.time), row.want) << row.time;
}

struct MessageFacts {
  std::string headers{};  // written with "\n"
  std::string subject_decoded{};
  std::uint32_t flags = 0;
  std::int32_t request_sent = 0;
  std::int32_t status = 0;
  mailformat::Timestamp sent = mailformat::kNoDate;
  mailformat::Timestamp received = mailformat::kNoDate;
};

class MessagePropertiesTest : public testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    SharedExplorerSettings() = ExplorerSettings{};
    test_support::WriteFile(dir_ / "mime.types", "text/plain txt\ntext/html html\n");
    mailformat::SetMimeTypesPathForTesting(dir_ / "mime.types");
    std::filesystem::create_directories(dir_ / "temp");
  }
  void TearDown() override { mailformat::SetMimeTypesPathForTesting(""); }

  // Files the message as the download does: stored file, scanned part table, summary.
  store::MessageRecord* File(const MessageFacts& facts, const std::string& body) {
    auto record = std::make_unique<store::MessageRecord>();
    store::MessageTable& messages = *fixture_.stores.messages;
    messages.CreateMessageFile(*record);
    const std::string path = messages.MessageFilePath(*record);
    const std::string text = Crlf(facts.headers + "\n" + body);
    std::ofstream(path, std::ios::binary) << text;
    mailformat::MimeScanner scanner;
    mailformat::FeedMessageFile(path, scanner);
    record->account_id = account_;
    record->flags = facts.flags;
    record->summary.header_length = static_cast<std::int32_t>(scanner.header_length());
    record->summary.file_size = static_cast<std::uint32_t>(text.size());
    record->summary.set_part_table(mailformat::BuildPartTable(scanner, path));
    record->summary.has_strings = true;
    record->summary.set_subject_decoded(facts.subject_decoded);
    record->summary.set_sender_address("someone@example.org");
    record->summary.sent = facts.sent;
    record->summary.received = facts.received;
    store::MessageRecord* filed = messages.RegisterMessage(std::move(record));
    EXPECT_NE(filed, nullptr);
    if (filed != nullptr) {
      filed->request_sent_time = facts.request_sent;
      filed->status = facts.status;
      messages.SaveRecord(*filed);
    }
    return filed;
  }

  std::unique_ptr<MessageProperties> Sheet(const store::MessageRecord& record) {
    return std::make_unique<MessageProperties>(record, *fixture_.stores.messages, dir_ / "temp/",
                                               desktop_.Desktop());
  }

  test_support::TempDir dir_;
  apptest::StoresFixture fixture_{dir_.path() + "/"};
  std::uint32_t account_ = apptest::AddAccount(fixture_.stores);
  ScriptedDesktop desktop_;
};

constexpr std::uint32_t kInbox = store::kFlagDecided | store::kFlagInbox;
constexpr std::uint32_t kTrash = store::kFlagDecided | store::kFlagTrash;

TEST_F(MessagePropertiesTest, GeneralPageShowsTheMessageAsStored) {
  test_support::ScopedUtcZone utc;
  const struct {
    const char* what;
    MessageFacts facts;
    std::string title, sender, location, sent, received, request_sent;
  } rows[] = {
      {"inbox, two senders",
       {.headers = "From: \"Ann Example\" <Ann@Example.org>, bob@example.org\nSubject: Plans\n",
        .subject_decoded = "Plans",
        .flags = kInbox,
        .status = 7,
        .sent = 1709802300,
        .received = 1262303940},
       "Plans",
       "Ann Example <ann@example.org>; bob@example.org",
       "Inbox",
       "3/7/24 9:05",
       "12/31/09 23:59",
       ""},
      {"no subject, Sender only, encoded name",
       {.headers = "Sender: =?utf-8?q?J=C3=BCrgen?= <j@example.org>\n", .flags = kTrash},
       "[No Subject]",
       "J\xC3\xBCrgen <j@example.org>",
       "Trash",
       "",
       "",
       ""},
      {"held, request not sent",
       {.headers = "From: x@example.org\nSubject: Hi\n",
        .subject_decoded = "Hi",
        .flags = 0,
        .status = 1},
       "Hi",
       "x@example.org",
       "Quarantine",
       "",
       "",
       "[Pending]"},
      {"held, request sent",
       {.headers = "From: x@example.org\nSubject: Hi\n",
        .subject_decoded = "Hi",
        .flags = 0,
        .request_sent = 1709802300,
        .status = 2},
       "Hi",
       "x@example.org",
       "Quarantine",
       "",
       "",
       "3/7/24 9:05"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    store::MessageRecord* record = File(row.facts, "body\n");
    ASSERT_NE(record, nullptr);
    auto sheet = Sheet(*record);
    EXPECT_EQ(sheet->windowTitle().toStdString(), row.title);
    EXPECT_EQ(sheet->pages()->tabText(0), "General");
    EXPECT_EQ(sheet->pages()->tabText(1), "Details");
    EXPECT_EQ(sheet->FieldText("From:").toStdString(), row.sender);
    EXPECT_EQ(sheet->FieldText("Location:").toStdString(), row.location);
    EXPECT_EQ(sheet->FieldText("Size:").toStdString(),
              mailformat::FormatSizeKb(record->summary.file_size));
    EXPECT_EQ(sheet->FieldText("Sent:").toStdString(), row.sent);
    EXPECT_EQ(sheet->FieldText("Received:").toStdString(), row.received);
    EXPECT_EQ(sheet->FieldText("Status:").toStdString(),
              validation::MessageStatusText(record->status));
    EXPECT_EQ(sheet->FieldText("Request Sent:").toStdString(), row.request_sent);
  }
}

TEST_F(MessagePropertiesTest, DetailsPageExploresTheStoredMessage) {
  store::MessageRecord* record = File(
      {.headers = "From: a@example.org\nSubject: Report\nMIME-Version: 1.0\n"
                  "Content-Type: multipart/alternative; boundary=b\n",
       .subject_decoded = "Report",
       .flags = kInbox},
      "--b\nContent-Type: text/plain\n\nplain\n--b\nContent-Type: text/html\n\n<b>x</b>\n--b--\n");
  ASSERT_NE(record, nullptr);
  auto sheet = Sheet(*record);
  QListWidget* list = sheet->explorer()->list();
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "message_text.txt (1 KB)");
  EXPECT_EQ(list->item(1)->text(), "message_text.html (1 KB)");
  sheet->explorer()->ShowSource();
  ASSERT_EQ(desktop_.viewed.size(), 1u);
  EXPECT_EQ(test_support::ReadFile(desktop_.viewed[0]),
            test_support::ReadFile(fixture_.stores.messages->MessageFilePath(*record)));
}

TEST_F(MessagePropertiesTest, FolderFiguresFollowTheStoreWhileTheSheetIsOpen) {
  File({.headers = "From: a@example.org\n", .flags = kInbox | store::kFlagRead}, "read\n");
  File({.headers = "From: b@example.org\n", .flags = kInbox}, "unread\n");
  File({.headers = "From: c@example.org\n", .flags = kTrash}, "elsewhere\n");
  FolderProperties sheet(store::Folder::kInbox, *fixture_.stores.messages);
  EXPECT_EQ(sheet.windowTitle(), "Inbox Properties");
  EXPECT_EQ(sheet.ContainsText(), "2 messages, 1 unread");
  const store::FolderCount before = fixture_.stores.messages->Counter(store::Folder::kInbox);
  EXPECT_EQ(sheet.SizeText().toStdString(),
            mailformat::FormatSize(static_cast<std::int64_t>(before.size)));

  // Enough new mail to move the long size text past 1,000 bytes.
  File({.headers = "From: d@example.org\n", .flags = kInbox}, std::string(2000, 'x') + "\n");
  QElapsedTimer waited;
  waited.start();
  while (sheet.ContainsText() != "3 messages, 2 unread" && waited.elapsed() < 5000) {
    QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  EXPECT_EQ(sheet.ContainsText(), "3 messages, 2 unread");
  const store::FolderCount after = fixture_.stores.messages->Counter(store::Folder::kInbox);
  EXPECT_GT(after.size, 1000u);
  EXPECT_EQ(sheet.SizeText().toStdString(),
            mailformat::FormatSize(static_cast<std::int64_t>(after.size)));
  EXPECT_TRUE(sheet.SizeText().endsWith(" KB"));
}

TEST_F(MessagePropertiesTest, Screenshots) {
  test_support::ScopedUtcZone utc;
  store::MessageRecord* record = File(
      {.headers = "From: \"Quarterly Reports\" <reports@example.org>\n"
                  "Subject: Figures for the third quarter\nMIME-Version: 1.0\n"
                  "Content-Type: multipart/mixed; boundary=o\n",
       .subject_decoded = "Figures for the third quarter",
       .flags = 0,
       .request_sent = 1709802300,
       .status = 2,
       .sent = 1709800000,
       .received = 1709801000},
      "--o\nContent-Type: multipart/alternative; boundary=i\n\n"
      "--i\nContent-Type: text/plain\n\nplain\n--i\nContent-Type: text/html\n\n<b>x</b>\n--i--\n"
      "--o\nContent-Type: application/pdf; name=\"figures.pdf\"\n"
      "Content-Transfer-Encoding: base64\n\nJVBERi0xLjQK\n"
      "--o\nContent-Type: application/x-msdownload; name=\"viewer.exe\"\n"
      "Content-Transfer-Encoding: base64\n\nTVqQAAMAAAA=\n--o--\n");
  ASSERT_NE(record, nullptr);
  auto sheet = Sheet(*record);
  EXPECT_TRUE(testing_support::SaveScreenshot(*sheet, "message_properties_general"));
  sheet->pages()->setCurrentIndex(1);
  sheet->explorer()->tabs()->setCurrentIndex(1);
  sheet->explorer()->list()->setCurrentRow(1);
  EXPECT_TRUE(testing_support::SaveScreenshot(*sheet, "message_properties_details"));

  FolderProperties folder(store::Folder::kQuarantine, *fixture_.stores.messages);
  EXPECT_TRUE(testing_support::SaveScreenshot(folder, "folder_properties"));
}

}  // namespace
}  // namespace pelrion::ui
