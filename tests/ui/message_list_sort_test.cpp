// Sorting the message list by each column, both ways, on four messages whose keys put them
// in a different order for every column.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/message_list_model.h"
#include "ui/message_list_test_helpers.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using list_testing::ListWorld;
using list_testing::Message;

// Expected ascending order as groups of subjects; a group holds messages with equal keys,
// whose order among themselves is not fixed.
using Groups = std::vector<std::vector<std::string>>;

struct SortCase {
  ListColumn column;
  Groups ascending;
};

void PrintTo(const SortCase& c, std::ostream* os) { *os << ListColumnHeading(c.column); }

class MessageListSortTest : public testing::TestWithParam<SortCase> {
 protected:
  void SetUp() override {
    const std::uint32_t zed = world_.AddAccount("Zed");
    const std::uint32_t alpha = world_.AddAccount("alpha");
    const std::uint32_t mid = world_.AddAccount("Mid");
    // All held, so the Request Sent column has its values.
    world_.File(zed, {.from = "carol", .subject = "beta", .to = "dave", .status = 5, .sent = 100,
                      .received = 2000, .body_bytes = 10, .request_sent = 300});
    world_.File(alpha, {.from = "Alice", .subject = "alpha", .to = "bob", .status = 1,
                        .sent = 300, .received = 3000, .body_bytes = 5000, .attachment = true,
                        .request_sent = 100});
    world_.File(zed, {.from = "", .subject = "Gamma", .to = "", .status = 8,
                      .body_bytes = 2000});
    world_.File(mid, {.from = "bob", .subject = "delta", .to = "alex", .status = 2, .sent = 200,
                      .received = 1000, .body_bytes = 100000, .attachment = true,
                      .request_sent = 200});
    world_.model().ShowFolder(store::Folder::kQuarantine);
  }

  // The subjects in row order, cut into groups of the sizes of `like`.
  Groups Rows(const Groups& like) {
    Groups groups;
    int row = 0;
    for (const auto& group : like) {
      std::vector<std::string> got;
      for (std::size_t i = 0; i < group.size(); ++i, ++row) {
        const QModelIndex at = world_.model().index(row, static_cast<int>(ListColumn::kSubject));
        got.push_back(world_.model().data(at).toString().toStdString());
      }
      std::sort(got.begin(), got.end());
      groups.push_back(got);
    }
    return groups;
  }

  QApplication* app_ = testing_support::TestApp();
  ListWorld world_;
};

Groups Sorted(Groups groups) {
  for (auto& group : groups) std::sort(group.begin(), group.end());
  return groups;
}

TEST_P(MessageListSortTest, BothWays) {
  const SortCase& c = GetParam();
  ASSERT_EQ(world_.model().rowCount(), 4);
  const Groups ascending = Sorted(c.ascending);
  Groups descending = ascending;
  std::reverse(descending.begin(), descending.end());

  world_.model().sort(static_cast<int>(c.column), Qt::AscendingOrder);
  EXPECT_EQ(Rows(ascending), ascending);
  world_.model().sort(static_cast<int>(c.column), Qt::DescendingOrder);
  EXPECT_EQ(Rows(descending), descending);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, MessageListSortTest,
    testing::Values(
        SortCase{ListColumn::kStatus, {{"alpha"}, {"delta"}, {"beta"}, {"Gamma"}}},
        SortCase{ListColumn::kAttachment, {{"beta", "Gamma"}, {"alpha", "delta"}}},
        SortCase{ListColumn::kRequestSent, {{"Gamma"}, {"alpha"}, {"delta"}, {"beta"}}},
        // Case is ignored; an empty sender sorts as the "none" it shows.
        SortCase{ListColumn::kFrom, {{"alpha"}, {"delta"}, {"beta"}, {"Gamma"}}},
        SortCase{ListColumn::kSubject, {{"alpha"}, {"beta"}, {"delta"}, {"Gamma"}}},
        SortCase{ListColumn::kReceived, {{"Gamma"}, {"delta"}, {"beta"}, {"alpha"}}},
        SortCase{ListColumn::kSize, {{"beta"}, {"Gamma"}, {"alpha"}, {"delta"}}},
        SortCase{ListColumn::kAccount, {{"alpha"}, {"delta"}, {"beta", "Gamma"}}},
        SortCase{ListColumn::kSent, {{"Gamma"}, {"beta"}, {"delta"}, {"alpha"}}},
        SortCase{ListColumn::kTo, {{"delta"}, {"alpha"}, {"beta"}, {"Gamma"}}}),
    [](const testing::TestParamInfo<SortCase>& info) {
      std::string name(ListColumnHeading(info.param.column));
      std::erase(name, ' ');
      return name;
    });

// A sort keeps the selection on the same messages.
TEST(MessageListSortSelectionTest, PersistentIndexesFollowTheirRows) {
  testing_support::TestApp();
  ListWorld world;
  const std::uint32_t account = world.AddAccount("a");
  for (const char* subject : {"c", "a", "b"}) world.File(account, {.subject = subject});
  MessageListModel& model = world.model();
  model.ShowFolder(store::Folder::kQuarantine);
  model.sort(static_cast<int>(ListColumn::kSubject), Qt::AscendingOrder);
  const QPersistentModelIndex held(model.index(0, static_cast<int>(ListColumn::kSubject)));
  ASSERT_EQ(held.data().toString(), "a");
  model.sort(static_cast<int>(ListColumn::kSubject), Qt::DescendingOrder);
  EXPECT_EQ(held.row(), 2);
  EXPECT_EQ(held.data().toString(), "a");
}

}  // namespace
}  // namespace pelrion::ui

namespace pelrion::ui {
namespace {

// Long texts that agree in their first bytes, with case differences, sort by what follows.
TEST(MessageListSortLongTextTest, OrderBeyondTheKeyHead) {
  testing_support::TestApp();
  ListWorld world;
  const std::uint32_t account = world.AddAccount("a");
  const std::string stem(40, 'x');
  const std::string upper(40, 'X');
  const std::vector<std::string> ascending = {stem, upper + "a", stem + "b", stem + "b" + "c",
                                              "y"};
  for (const std::string& subject : {ascending[3], ascending[1], ascending[4], ascending[0],
                                     ascending[2]}) {
    world.File(account, {.subject = subject});
  }
  MessageListModel& model = world.model();
  model.ShowFolder(store::Folder::kQuarantine);
  const int column = static_cast<int>(ListColumn::kSubject);
  const auto rows = [&] {
    std::vector<std::string> got;
    for (int row = 0; row < model.rowCount(); ++row) {
      got.push_back(model.index(row, column).data().toString().toStdString());
    }
    return got;
  };
  model.sort(column, Qt::AscendingOrder);
  EXPECT_EQ(rows(), ascending);
  model.sort(column, Qt::DescendingOrder);
  EXPECT_EQ(rows(), std::vector<std::string>(ascending.rbegin(), ascending.rend()));
  // A new message finds its place among them.
  world.File(account, {.subject = stem + "ab"});
  EXPECT_EQ(model.index(3, column).data().toString().toStdString(), stem + "ab");
}

}  // namespace
}  // namespace pelrion::ui
