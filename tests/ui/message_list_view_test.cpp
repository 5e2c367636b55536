// The list view: the header's column menu, header clicks sorting, the Request Sent column
// following the folder; and pictures of the folder bar and list for each folder.
#include <gtest/gtest.h>

#include "support/scoped_env.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include "ui/folder_bar.h"
#include "ui/message_list_test_helpers.h"
#include "ui/message_list_view.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using list_testing::ListWorld;
using store::Folder;

constexpr int kRequestSent = static_cast<int>(ListColumn::kRequestSent);

class MessageListViewTest : public testing::Test {
 protected:
  QApplication* app_ = testing_support::TestApp();
  ListWorld world_;
  MessageListView view_{world_.model()};
};

TEST_F(MessageListViewTest, HeaderMenuNamesEveryColumnInOrder) {
  const auto& actions = view_.column_actions();
  for (int column = 0; column < kListColumnCount; ++column) {
    QAction* action = actions[static_cast<std::size_t>(column)];
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), world_.model().headerData(column, Qt::Horizontal).toString());
    EXPECT_TRUE(action->isCheckable());
  }
}

TEST_F(MessageListViewTest, RequestSentOnlyInQuarantine) {
  for (Folder folder : {Folder::kInbox, Folder::kQuarantine, Folder::kJunkMail, Folder::kTrash}) {
    view_.ShowFolder(folder);
    EXPECT_EQ(view_.isColumnHidden(kRequestSent), folder != Folder::kQuarantine)
        << store::FolderName(folder);
  }
}

TEST_F(MessageListViewTest, HeaderMenuShowsAndHidesColumns) {
  view_.ShowFolder(Folder::kQuarantine);
  const int subject = static_cast<int>(ListColumn::kSubject);
  QAction* subject_action = view_.column_actions()[static_cast<std::size_t>(subject)];
  subject_action->setChecked(false);
  EXPECT_TRUE(view_.isColumnHidden(subject));
  subject_action->setChecked(true);
  EXPECT_FALSE(view_.isColumnHidden(subject));

  // Hidden by choice, Request Sent stays hidden even in the Quarantine; chosen again, it
  // comes back only there.
  view_.column_actions()[kRequestSent]->setChecked(false);
  EXPECT_TRUE(view_.isColumnHidden(kRequestSent));
  view_.column_actions()[kRequestSent]->setChecked(true);
  EXPECT_FALSE(view_.isColumnHidden(kRequestSent));
  view_.ShowFolder(Folder::kInbox);
  EXPECT_TRUE(view_.isColumnHidden(kRequestSent));
  EXPECT_TRUE(view_.column_chosen(ListColumn::kRequestSent));
}

TEST_F(MessageListViewTest, HeaderClicksSort) {
  const std::uint32_t account = world_.AddAccount("a");
  for (const char* subject : {"b", "c", "a"}) world_.File(account, {.subject = subject});
  view_.ShowFolder(Folder::kQuarantine);
  const int subject = static_cast<int>(ListColumn::kSubject);
  const auto first_subject = [&] {
    return world_.model().index(0, subject).data().toString();
  };
  view_.header()->setSortIndicator(subject, Qt::AscendingOrder);
  EXPECT_EQ(world_.model().sort_column(), subject);
  EXPECT_EQ(first_subject(), "a");
  // A click on the sorted column's header turns the order round.
  emit view_.header()->sectionClicked(subject);
  view_.header()->setSortIndicator(subject, Qt::DescendingOrder);
  EXPECT_EQ(world_.model().sort_order(), Qt::DescendingOrder);
  EXPECT_EQ(first_subject(), "c");
}

TEST_F(MessageListViewTest, MarkingReadKeepsTheSelection) {
  const std::uint32_t account = world_.AddAccount("a");
  store::MessageRecord* chosen = world_.File(account, {.subject = "chosen"});
  store::MessageRecord* other = world_.File(account, {.subject = "other"});
  view_.ShowFolder(Folder::kQuarantine);
  const auto selected = [&](const store::MessageRecord* record) {
    return view_.selectionModel()->isRowSelected(world_.model().RowOf(record), {});
  };
  view_.selectionModel()->select(world_.model().index(world_.model().RowOf(chosen), 0),
                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
  world_.messages().MarkRead(*chosen);
  world_.messages().MarkRead(*other);
  EXPECT_TRUE(selected(chosen));
  EXPECT_FALSE(selected(other));
  // Gone for good, it leaves nothing selected behind.
  store::MessageRecord* deleted[] = {chosen};
  world_.messages().DeleteMessages(deleted, true);
  QApplication::processEvents();
  EXPECT_FALSE(view_.selectionModel()->hasSelection());
}

// The folder bar and the list as the main window lays them out, with the status bar's count.
class ListWindow : public QWidget {
 public:
  explicit ListWindow(ListWorld& world) : world_(world), view_(world.model()) {
    auto* splitter = new QSplitter(this);
    splitter->addWidget(&bar_);
    splitter->addWidget(&view_);
    splitter->setSizes({150, 1130});
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter, 1);
    layout->addWidget(&count_);
    resize(1280, 240);
  }
  void Show(Folder folder) {
    bar_.SetCurrentFolder(folder);
    view_.ShowFolder(folder);
    bar_.ShowCounts(FolderCounts(world_.messages()));
    count_.setText(FolderCountText(world_.messages().Counter(folder)));
  }

 private:
  ListWorld& world_;
  FolderBar bar_;
  MessageListView view_;
  QLabel count_;
};

TEST(MessageListScreenshotTest, EachFolderFromFixtureMessages) {
  testing_support::TestApp();
  const test_support::ScopedUtcZone utc;
  ListWorld world;
  const std::uint32_t home = world.AddAccount("Home");
  const std::uint32_t work = world.AddAccount("Work mail");
  const std::uint32_t inbox = store::kFlagDecided | store::kFlagInbox;
  const std::uint32_t junk = store::kFlagDecided;
  const std::uint32_t trash = store::kFlagDecided | store::kFlagTrash;
  world.FileFixture(home, "mailbox/trusted_dots.eml", inbox, 7);
  world.FileFixture(work, "mailbox/trusted_quoted_printable.eml", inbox | store::kFlagRead, 12);
  store::MessageRecord* red =
      world.FileFixture(home, "mailbox/unknown_attachment.eml", inbox | store::kFlagRead, 8);
  world.FileFixture(home, "mailbox/unknown_attachment.eml", 0, 1);
  store::MessageRecord* waiting = world.FileFixture(work, "arrival/exchange_rfc822.eml", 0, 2);
  world.FileFixture(home, "mailbox/no_sender.eml", junk, 4);
  world.FileFixture(work, "arrival/exim_plain_copy.eml", junk | store::kFlagRead, 6);
  world.FileFixture(home, "arrival/sendmail_rfc822.eml", trash, 5);
  world.FileFixture(work, "arrival/postfix_rfc822_headers.eml", trash | store::kFlagRead, 3);
  ASSERT_NE(red, nullptr);
  ASSERT_NE(waiting, nullptr);
  red->view_state |= kViewStateHighlighted;
  waiting->request_sent_time = 1796000000;
  world.messages().RefreshRecord(*waiting);

  ListWindow window(world);
  const char* names[] = {"inbox", "quarantine", "junk_mail", "trash"};
  for (int index = 0; index < store::kFolderCount; ++index) {
    const auto folder = static_cast<Folder>(index);
    window.Show(folder);
    EXPECT_GT(world.model().rowCount(), 0) << names[index];
    EXPECT_TRUE(testing_support::SaveScreenshot(
        window, QString("message_list_") + names[index]));
  }
}

}  // namespace
}  // namespace pelrion::ui
