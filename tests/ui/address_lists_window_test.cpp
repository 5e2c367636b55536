// The Address Lists window over a real address-list table: its remembered state restored
// and written back, the rows of the list shown in each sort order, rows following the table's
// changes made elsewhere, moving and deleting the selection with their prompts. Saves a
// picture of the window with a few hundred contacts.
#include "ui/address_lists_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QHeaderView>
#include <QListWidget>
#include <QTreeView>
#include <algorithm>

#include "ui/scripted_dialogs.h"
#include "platform/registry.h"
#include "store/address_lists_window_state.h"
#include "support/temp_dir.h"
#include "ui/address_lists_model.h"
#include "ui/address_lists_move_dialog.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using platform::DialogAnswer;
using testing_support::ScriptedDialogs;
using testing_support::TestApp;

class AddressListsWindowTest : public testing::Test {
 protected:
  AddressListsWindowTest() {
    TestApp();
    lists_.Load();
  }

  store::Contact* Add(const std::string& name, const std::string& address, int list = 0) {
    store::Contact* contact = lists_.AddContact(name, {address}, list);
    EXPECT_NE(contact, nullptr);
    return contact;
  }

  // The "Name" column from the top row down.
  static std::vector<std::string> Names(const AddressListsWindow& window) {
    std::vector<std::string> names;
    const AddressListsModel& model = *window.model();
    for (int row = 0; row < model.rowCount(); ++row) {
      names.push_back(model.index(row, AddressListsModel::kName).data().toString().toStdString());
    }
    return names;
  }

  test_support::TempDir dir_;
  store::AddressListTable lists_{dir_.path() + "/"};
  platform::MemoryRegistry registry_;
  ScriptedDialogs dialogs_;
};

TEST_F(AddressListsWindowTest, RestoresItsStoredStateAndWritesItBackWhenClosed) {
  Add("Ann", "ann@example.org", store::kBlackList);
  Add("Bob", "bob@example.org", store::kTrustedContactsList);
  store::AddressListsWindowState stored;
  stored.column_widths = {150, 260};
  stored.column_order = {1, 0};
  stored.sort_column = AddressListsModel::kEmail;
  stored.ascending = 0;
  stored.list_shown = store::kBlackList;
  stored.left = 40;
  stored.top = 50;
  stored.right = 640;
  stored.bottom = 450;
  ASSERT_TRUE(store::WriteAddressListsWindowState(registry_, stored));

  AddressListsWindow window(lists_, registry_);
  EXPECT_EQ(window.ShownList(), store::kBlackList);
  EXPECT_EQ(window.windowTitle(), "Black List - Address Lists");
  EXPECT_EQ(window.list_choice()->currentIndex(), store::kBlackList);
  EXPECT_EQ(Names(window), std::vector<std::string>{"Ann"});
  EXPECT_EQ(window.view()->header()->logicalIndex(0), AddressListsModel::kEmail);
  EXPECT_EQ(window.model()->sort_column(), AddressListsModel::kEmail);
  EXPECT_EQ(window.model()->sort_order(), Qt::DescendingOrder);
  EXPECT_EQ(window.CurrentState(), stored);

  window.list_choice()->setCurrentIndex(store::kTrustedContactsList);
  window.view()->header()->resizeSection(AddressListsModel::kName, 180);
  window.show();
  window.close();
  store::AddressListsWindowState want = stored;
  want.list_shown = store::kTrustedContactsList;
  want.column_widths[AddressListsModel::kName] = 180;
  EXPECT_EQ(store::ReadAddressListsWindowState(registry_), want);
}

TEST_F(AddressListsWindowTest, KeepsItsStateWhenTheProgramEndsWithTheWindowOpen) {
  for (const bool open : {false, true}) {
    {
      AddressListsWindow window(lists_, registry_);
      window.ShowList(store::kBlackList);
      if (open) window.show();
    }
    EXPECT_EQ(store::ReadAddressListsWindowState(registry_).list_shown,
              open ? store::kBlackList : store::kTrustedContactsList)
        << "open " << open;
  }
}

TEST_F(AddressListsWindowTest, WithoutAStoredStateShowsTheDefaults) {
  for (const std::string& damaged : {std::string(), std::string(59, '\0'), std::string(60, 'x')}) {
    SCOPED_TRACE(damaged.size());
    if (!damaged.empty()) {
      registry_.SetBinary(platform::kProgramKey, store::kAddressListsValue,
                          platform::RegistryBinary(damaged.begin(), damaged.end()));
    }
    AddressListsWindow window(lists_, registry_);
    EXPECT_EQ(window.CurrentState(), store::AddressListsWindowState{});
    EXPECT_EQ(window.windowTitle(), "Trusted Contacts - Address Lists");
  }
}

TEST_F(AddressListsWindowTest, SortsByEitherColumnInEitherDirection) {
  Add("carol", "a@example.org");
  Add("Bob", "c@example.org");
  Add("alice", "b@example.org");
  Add("", "d@example.org");
  Add("Spam", "e@example.net", store::kBlackList);
  AddressListsWindow window(lists_, registry_);
  const struct {
    int column;
    Qt::SortOrder order;
    std::vector<std::string> want;
  } rows[] = {
      // Letter case does not decide the order; a contact without a name comes first.
      {AddressListsModel::kName, Qt::AscendingOrder, {"", "alice", "Bob", "carol"}},
      {AddressListsModel::kName, Qt::DescendingOrder, {"carol", "Bob", "alice", ""}},
      {AddressListsModel::kEmail, Qt::AscendingOrder, {"carol", "alice", "Bob", ""}},
      {AddressListsModel::kEmail, Qt::DescendingOrder, {"", "Bob", "alice", "carol"}},
  };
  for (const auto& row : rows) {
    window.view()->header()->setSortIndicator(row.column, row.order);  // a header click
    EXPECT_EQ(Names(window), row.want) << row.column << " " << row.order;
    EXPECT_EQ(window.CurrentState().sort_column, row.column);
    EXPECT_EQ(window.CurrentState().ascending, row.order == Qt::AscendingOrder ? 1 : 0);
  }
}

TEST_F(AddressListsWindowTest, RowsFollowChangesMadeElsewhere) {
  Add("Bob", "bob@example.org");
  Add("Dan", "dan@example.org");
  AddressListsWindow window(lists_, registry_);
  store::Contact* cy = Add("Cy", "cy@example.org");
  Add("Eve", "eve@example.org", store::kBlackList);  // another list: no row
  EXPECT_EQ(Names(window), (std::vector<std::string>{"Bob", "Cy", "Dan"}));

  // Approving a blacklisted sender brings its contact into the list shown.
  const store::SenderOfMessage eve[] = {{"eve@example.org", "Eve"}};
  lists_.ApproveSenders(eve);
  EXPECT_EQ(Names(window), (std::vector<std::string>{"Bob", "Cy", "Dan", "Eve"}));

  store::Contact* const gone[] = {cy};
  lists_.MoveContacts(gone, store::kBlackList);
  EXPECT_EQ(Names(window), (std::vector<std::string>{"Bob", "Dan", "Eve"}));
  lists_.DeleteContacts(gone);
  window.ShowList(store::kBlackList);
  EXPECT_TRUE(Names(window).empty());
}

TEST_F(AddressListsWindowTest, MovesTheSelectionToTheChosenList) {
  for (const char* name : {"a", "b", "c", "d"}) Add(name, std::string(name) + "@example.org");
  AddressListsWindow window(lists_, registry_);
  window.SelectContacts(
      {lists_.FindByAddress("b@example.org"), lists_.FindByAddress("d@example.org")});
  ASSERT_EQ(window.SelectedContacts().size(), 2u);

  window.MoveSelected(store::kTrustedContactsList);  // the list shown: nothing moves
  EXPECT_EQ(Names(window).size(), 4u);
  window.MoveSelected(store::kBlackList);
  EXPECT_EQ(Names(window), (std::vector<std::string>{"a", "c"}));
  for (const char* moved : {"b@example.org", "d@example.org"}) {
    EXPECT_EQ(lists_.LookupAddress(moved, 3), store::ListBit(store::kBlackList)) << moved;
  }
  window.ShowList(store::kBlackList);
  EXPECT_EQ(Names(window), (std::vector<std::string>{"b", "d"}));

  // The prompt offers both lists, the other one first.
  AddressListsMoveDialog prompt(store::kBlackList);
  EXPECT_EQ(prompt.ChosenList(), store::kTrustedContactsList);
  EXPECT_EQ(prompt.lists()->count(), store::kAddressListCount);
  EXPECT_EQ(prompt.lists()->item(1)->text(), "Black List");
}

TEST_F(AddressListsWindowTest, DeletesTheSelectionOnlyWhenTheUserSaysYes) {
  for (const char* name : {"a", "b", "c"}) Add(name, std::string(name) + "@example.org");
  AddressListsWindow window(lists_, registry_);
  for (const DialogAnswer answer : {DialogAnswer::kNo, DialogAnswer::kYes}) {
    dialogs_.boxes.clear();
    dialogs_.answers = {answer};
    window.SelectContacts(
        {lists_.FindByAddress("a@example.org"), lists_.FindByAddress("c@example.org")});
    window.DeleteSelected();
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].text, "Are you sure you want to delete these contact(s)?");
    EXPECT_EQ(dialogs_.boxes[0].caption, "Pelrion");
    EXPECT_EQ(dialogs_.boxes[0].icon, platform::DialogIcon::kWarning);
    EXPECT_EQ(dialogs_.boxes[0].buttons, platform::DialogButtons::kYesNo);
  }
  EXPECT_EQ(Names(window), std::vector<std::string>{"b"});
  EXPECT_EQ(lists_.size(), 1u);
  EXPECT_EQ(lists_.FindByAddress("a@example.org"), nullptr);
}

// Whether the wait cursor is up each time the model changes its rows.
struct CursorWatch {
  explicit CursorWatch(AddressListsModel& model) {
    auto note = [this] {
      const QCursor* cursor = QApplication::overrideCursor();
      seen.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
    };
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved, note);
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, note);
    QObject::connect(&model, &QAbstractItemModel::modelReset, note);
  }
  std::vector<bool> seen;
};

TEST_F(AddressListsWindowTest, TheWaitCursorShowsForLongStepsOnly) {
  const auto add_many = [&](int count, const std::string& tag) {
    for (int i = 0; i < count; ++i) Add(tag, tag + std::to_string(i) + "@example.org");
  };
  add_many(static_cast<int>(kWaitCursorRows) + 1, "many");
  add_many(static_cast<int>(kWaitCursorRows), "few");
  AddressListsWindow window(lists_, registry_);
  CursorWatch watch(*window.model());
  const auto select_tagged = [&](const std::string& tag) {
    std::vector<store::Contact*> chosen;
    for (store::Contact* contact : lists_.records()) {
      if (contact->blob.name == tag) chosen.push_back(contact);
    }
    window.SelectContacts(chosen);
  };
  select_tagged("few");
  window.MoveSelected(store::kBlackList);
  ASSERT_EQ(watch.seen.size(), kWaitCursorRows);
  EXPECT_EQ(std::count(watch.seen.begin(), watch.seen.end(), true), 0);
  watch.seen.clear();
  select_tagged("many");
  window.MoveSelected(store::kBlackList);
  ASSERT_EQ(watch.seen.size(), kWaitCursorRows + 1);
  EXPECT_EQ(std::count(watch.seen.begin(), watch.seen.end(), false), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "taken down afterwards";

  // Approving many senders at once: each new contact's row arrives under the wait cursor.
  for (const std::size_t count : {kWaitCursorRows, kWaitCursorRows + 1}) {
    std::vector<store::SenderOfMessage> senders;
    for (std::size_t i = 0; i < count; ++i) {
      senders.push_back(
          {"s" + std::to_string(count) + "." + std::to_string(i) + "@example.org", "S"});
    }
    watch.seen.clear();
    window.RunBulkChange(senders.size(), [&] { lists_.ApproveSenders(senders); });
    ASSERT_EQ(watch.seen.size(), count);
    EXPECT_EQ(std::count(watch.seen.begin(), watch.seen.end(), true),
              count > kWaitCursorRows ? static_cast<long>(count) : 0L);
  }

  // Listing: up to the limit the list comes at once, beyond it with the wait cursor.
  add_many(static_cast<int>(kWaitCursorContacts) - static_cast<int>(lists_.size()), "rest");
  ASSERT_EQ(lists_.size(), kWaitCursorContacts);
  watch.seen.clear();
  window.ShowList(store::kTrustedContactsList);
  Add("one more", "one.more@example.org");  // a single row: no wait
  window.ShowList(store::kBlackList);
  EXPECT_EQ(watch.seen, (std::vector<bool>{false, false, true}));
}

TEST_F(AddressListsWindowTest, ScreenshotWithAFewHundredContacts) {
  const char* first[] = {"Ann", "Bob", "Cy", "Dora", "Eli", "Fay", "Gus", "Hana", "Ivo", "Jo"};
  const char* last[] = {"Archer", "Baker",  "Carter", "Dalton", "Ellis",  "Fisher",
                        "Grant",  "Hughes", "Irwin",  "Jensen", "Keller", "Lowe",
                        "Moss",   "Nolan",  "Owens",  "Price",  "Quinn",  "Reyes",
                        "Stone",  "Turner", "Vance",  "Walsh",  "Young",  "Zimmer",
                        "Abbott", "Blake",  "Cole",   "Drake",  "Eaton",  "Frost"};
  int count = 0;
  for (const char* given : first) {
    for (const char* family : last) {
      const std::string person = std::string(given) + "." + family;
      std::vector<std::string> addresses = {person + "@example.org"};
      if (++count % 7 == 0) addresses.push_back(person + "@home.example.net");
      for (std::string& a : addresses) {
        std::transform(a.begin(), a.end(), a.begin(), ::tolower);
      }
      ASSERT_NE(
          lists_.AddContact(std::string(given) + " " + family, addresses,
                            count % 11 == 0 ? store::kBlackList : store::kTrustedContactsList),
          nullptr);
    }
  }
  AddressListsWindow window(lists_, registry_);
  EXPECT_GT(window.model()->rowCount(), 250);
  window.SelectContacts({window.model()->ContactAt(2), window.model()->ContactAt(3)});
  EXPECT_TRUE(testing_support::SaveScreenshot(window, "address_lists"));
}

}  // namespace
}  // namespace pelrion::ui
