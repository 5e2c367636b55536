// The message list model over real stores: headings, cell texts, fonts and colours, the
// Request Sent rule, following the store as messages come, go and change, and sorting.
#include <gtest/gtest.h>

#include "support/scoped_env.h"

#include <cstdlib>
#include <ctime>
#include <set>

#include <QColor>
#include <QFont>

#include "ui/folder_bar.h"
#include "ui/message_list_model.h"
#include "ui/message_list_test_helpers.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using list_testing::ListWorld;
using list_testing::Message;
using store::Folder;

constexpr std::uint32_t kInboxRead = store::kFlagDecided | store::kFlagInbox | store::kFlagRead;
constexpr std::uint32_t kJunk = store::kFlagDecided;
constexpr std::uint32_t kTrash = store::kFlagDecided | store::kFlagTrash;

// Seconds since 1970 of a UTC calendar time.
mailformat::Timestamp Utc(int year, int month, int day, int hour, int minute) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  return static_cast<mailformat::Timestamp>(timegm(&tm));
}

class MessageListModelTest : public testing::Test {
 protected:
  void SetUp() override { account_ = world_.AddAccount("Home mail"); }

  // Dates are shown in local time; the expectations are written for UTC.
  test_support::ScopedUtcZone utc_;

  QString Cell(int row, ListColumn column, int role = Qt::DisplayRole) {
    return world_.model().data(world_.model().index(row, static_cast<int>(column)), role).toString();
  }
  QVariant Role(int row, ListColumn column, int role) {
    return world_.model().data(world_.model().index(row, static_cast<int>(column)), role);
  }

  QApplication* app_ = testing_support::TestApp();  // before any widget or font
  ListWorld world_;
  std::uint32_t account_ = 0;
};

TEST_F(MessageListModelTest, HeadingsInColumnOrder) {
  const char* const expected[] = {"Status", "Attachment", "Request Sent", "From", "Subject",
                                  "Received", "Size", "Account", "Sent", "To"};
  MessageListModel& model = world_.model();
  ASSERT_EQ(model.columnCount(), 10);
  for (int column = 0; column < 10; ++column) {
    EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString(), expected[column]) << column;
  }
}

struct CellCase {
  const char* name;
  Message message;
  ListColumn column;
  const char* text;
};

void PrintTo(const CellCase& c, std::ostream* os) { *os << c.name; }

class MessageListCellTest : public MessageListModelTest,
                            public testing::WithParamInterface<CellCase> {};

TEST_P(MessageListCellTest, ShowsTheText) {
  const CellCase& c = GetParam();
  world_.model().ShowFolder(store::FolderOfFlags(c.message.flags));
  world_.File(account_, c.message);
  ASSERT_EQ(world_.model().rowCount(), 1);
  EXPECT_EQ(Cell(0, c.column), QString::fromUtf8(c.text));
}

// The header block the helper writes is "From: <from>\r\nSubject: <subject>\r\n\r\n".
constexpr std::uint32_t kHead = 6 + 2 + 9 + 2 + 2;

INSTANTIATE_TEST_SUITE_P(
    Cells, MessageListCellTest,
    testing::Values(
        CellCase{"EmptyFromIsNone", {.from = "", .flags = kInboxRead}, ListColumn::kFrom, "none"},
        CellCase{"EmptyToIsNone", {.from = "a", .flags = kInboxRead}, ListColumn::kTo, "none"},
        CellCase{"FromAsStored", {.from = "Ann <ann@x.org>", .flags = kInboxRead},
                 ListColumn::kFrom, "Ann <ann@x.org>"},
        CellCase{"ToAsStored", {.to = "bob@x.org", .flags = kInboxRead}, ListColumn::kTo,
                 "bob@x.org"},
        CellCase{"SubjectDecoded", {.subject = "Grüße", .flags = kInboxRead},
                 ListColumn::kSubject, "Grüße"},
        CellCase{"SentWithoutLeadingZeros",
                 {.flags = kInboxRead, .sent = Utc(2026, 3, 7, 9, 5)}, ListColumn::kSent,
                 "3/7/26 9:05"},
        CellCase{"ReceivedTwoDigitEverything",
                 {.flags = kInboxRead, .received = Utc(2009, 12, 31, 23, 59)},
                 ListColumn::kReceived, "12/31/09 23:59"},
        CellCase{"MidnightHourIsZero", {.flags = kInboxRead, .sent = Utc(2026, 1, 2, 0, 7)},
                 ListColumn::kSent, "1/2/26 0:07"},
        CellCase{"SentNotRecordedIsBlank", {.flags = kInboxRead}, ListColumn::kSent, ""},
        CellCase{"ReceivedNotRecordedIsBlank", {.flags = kInboxRead}, ListColumn::kReceived, ""},
        CellCase{"SizeOneKbBelowBoundary",
                 {.subject = "s", .flags = kInboxRead, .body_bytes = 1023 - kHead - 1},
                 ListColumn::kSize, "1 KB"},
        CellCase{"SizeAtKbBoundary",
                 {.subject = "s", .flags = kInboxRead, .body_bytes = 1024 - kHead - 1},
                 ListColumn::kSize, "2 KB"},
        CellCase{"AccountFriendlyName", {.flags = kInboxRead}, ListColumn::kAccount,
                 "Home mail"},
        CellCase{"RequestSentInQuarantine", {.request_sent = Utc(2026, 11, 5, 14, 30)},
                 ListColumn::kRequestSent, "11/5/26 14:30"},
        CellCase{"RequestNotSentIsBlank", {}, ListColumn::kRequestSent, ""}),
    [](const testing::TestParamInfo<CellCase>& info) { return info.param.name; });

TEST_F(MessageListModelTest, RequestSentBlankInEveryFolderButQuarantine) {
  const std::int32_t sent = Utc(2026, 6, 1, 8, 0);
  store::MessageRecord* held = world_.File(account_, {.subject = "held", .request_sent = sent});
  ASSERT_NE(held, nullptr);
  // The request time stays on the record when the message leaves the Quarantine.
  for (Folder folder : {Folder::kInbox, Folder::kJunkMail, Folder::kTrash}) {
    store::MessageRecord* records[] = {held};
    world_.messages().MoveMessages(records, folder);
    world_.model().ShowFolder(folder);
    ASSERT_EQ(world_.model().rowCount(), 1);
    EXPECT_EQ(held->request_sent_time, sent);
    EXPECT_EQ(Cell(0, ListColumn::kRequestSent), "") << store::FolderName(folder);
  }
  store::MessageRecord* other = world_.File(account_, {.subject = "second", .request_sent = sent});
  ASSERT_NE(other, nullptr);
  world_.model().ShowFolder(Folder::kQuarantine);
  ASSERT_EQ(world_.model().rowCount(), 1);
  EXPECT_EQ(Cell(0, ListColumn::kRequestSent), "6/1/26 8:00");
}

TEST_F(MessageListModelTest, UnreadBoldHighlightedRedSizeRightAligned) {
  world_.model().ShowFolder(Folder::kInbox);
  const std::uint32_t inbox = store::kFlagDecided | store::kFlagInbox;
  world_.File(account_, {.subject = "unread", .flags = inbox});
  world_.File(account_, {.subject = "read", .flags = inbox | store::kFlagRead});
  world_.File(account_, {.subject = "red", .flags = inbox | store::kFlagRead,
                         .view_state = kViewStateHighlighted});
  ASSERT_EQ(world_.model().rowCount(), 3);
  for (int row = 0; row < 3; ++row) {
    const QString subject = Cell(row, ListColumn::kSubject);
    for (int column = 0; column < kListColumnCount; ++column) {
      const auto col = static_cast<ListColumn>(column);
      const QVariant font = Role(row, col, Qt::FontRole);
      EXPECT_EQ(font.isValid() && font.value<QFont>().bold(), subject == "unread") << column;
      const QVariant colour = Role(row, col, Qt::ForegroundRole);
      EXPECT_EQ(colour.isValid() && colour.value<QColor>() == QColor(Qt::red), subject == "red");
    }
    const auto align = Role(row, ListColumn::kSize, Qt::TextAlignmentRole).toInt();
    EXPECT_TRUE(align & Qt::AlignRight);
    EXPECT_FALSE(Role(row, ListColumn::kSubject, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
  }
}

TEST_F(MessageListModelTest, IconsForStatusAndAttachment) {
  world_.model().ShowFolder(Folder::kJunkMail);
  world_.File(account_, {.subject = "clip", .flags = kJunk, .status = 5, .attachment = true});
  world_.File(account_, {.subject = "plain", .flags = kJunk, .status = 4});
  ASSERT_EQ(world_.model().rowCount(), 2);
  for (int row = 0; row < 2; ++row) {
    EXPECT_FALSE(Role(row, ListColumn::kStatus, Qt::DecorationRole).value<QIcon>().isNull());
    const bool clip = Cell(row, ListColumn::kSubject) == "clip";
    EXPECT_EQ(Role(row, ListColumn::kAttachment, Qt::DecorationRole).isValid(), clip);
  }
}

TEST_F(MessageListModelTest, FollowsTheStoreWithoutRefresh) {
  MessageListModel& model = world_.model();
  model.ShowFolder(Folder::kQuarantine);
  int count_signals = 0;
  QObject::connect(&model, &MessageListModel::CountsChanged, [&] { ++count_signals; });
  const auto count_text = [&] {
    return FolderCountText(world_.messages().Counter(Folder::kQuarantine));
  };
  EXPECT_EQ(count_text(), "0 message(s), 0 unread");

  store::MessageRecord* first = world_.File(account_, {.subject = "first"});
  store::MessageRecord* second = world_.File(account_, {.subject = "second"});
  world_.File(account_, {.subject = "elsewhere", .flags = kTrash});
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_GE(model.RowOf(first), 0);
  EXPECT_GE(model.RowOf(second), 0);
  EXPECT_EQ(count_text(), "2 message(s), 2 unread");
  EXPECT_GE(count_signals, 3);

  world_.messages().MarkRead(*first);
  EXPECT_EQ(model.rowCount(), 2);
  EXPECT_EQ(count_text(), "2 message(s), 1 unread");
  EXPECT_FALSE(Role(model.RowOf(first), ListColumn::kFrom, Qt::FontRole).isValid());

  store::MessageRecord* moved[] = {second};
  world_.messages().MoveMessages(moved, Folder::kInbox);
  EXPECT_EQ(model.rowCount(), 1);
  EXPECT_EQ(model.RowOf(second), -1);
  EXPECT_EQ(count_text(), "1 message(s), 0 unread");

  first->request_sent_time = Utc(2026, 2, 3, 4, 5);
  world_.messages().RefreshRecord(*first);
  EXPECT_EQ(Cell(model.RowOf(first), ListColumn::kRequestSent), "2/3/26 4:05");

  store::MessageRecord* deleted[] = {first};
  world_.messages().DeleteMessages(deleted, true);
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(count_text(), "0 message(s), 0 unread");
}

TEST_F(MessageListModelTest, NewMessageLandsInSortedPlace) {
  MessageListModel& model = world_.model();
  model.ShowFolder(Folder::kJunkMail);
  model.sort(static_cast<int>(ListColumn::kSubject), Qt::AscendingOrder);
  for (const char* subject : {"b", "d", "a", "c"}) {
    world_.File(account_, {.subject = subject, .flags = kJunk});
  }
  QStringList order;
  for (int row = 0; row < model.rowCount(); ++row) order << Cell(row, ListColumn::kSubject);
  EXPECT_EQ(order, QStringList({"a", "b", "c", "d"}));
}

TEST_F(MessageListModelTest, RenamedAccountShownAfterForgettingNames) {
  world_.model().ShowFolder(Folder::kQuarantine);
  world_.File(account_, {.subject = "s"});
  ASSERT_EQ(Cell(0, ListColumn::kAccount), "Home mail");
  auto fields = world_.stores().accounts->CopyOf(account_);
  ASSERT_TRUE(fields.has_value());
  fields->friendly_name.Set("Renamed");
  ASSERT_TRUE(world_.stores().accounts->UpdateAccount(*fields));
  world_.model().ForgetAccountNames();
  EXPECT_EQ(Cell(0, ListColumn::kAccount), "Renamed");
}

TEST(FolderCountTextTest, CountsAndFolderBarNames) {
  EXPECT_EQ(FolderCountText({.messages = 12, .unread = 3}), "12 message(s), 3 unread");
  EXPECT_EQ(FolderBarText(Folder::kJunkMail, {.messages = 5, .unread = 0}), "Junk Mail");
  EXPECT_EQ(FolderBarText(Folder::kInbox, {.messages = 5, .unread = 2}), "Inbox (2)");
}

}  // namespace
}  // namespace pelrion::ui
