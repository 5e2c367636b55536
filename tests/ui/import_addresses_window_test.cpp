// The Import Addresses window over real address lists in a temporary folder: text and vCard
// files into either list (the file's filters, the result sentence, what the next start reads
// from disk, addresses already held staying in their list), files that cannot be read, a
// cancelled file choice, the sources offered with and without a Thunderbird profile under
// HOME, and the first run's offer of the address book. Saves the window's pictures.
#include "ui/import_addresses_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/stores_fixture.h"
#include "import/address_book_fixture.h"
#include "import/thunderbird_profiles.h"
#include "store/address_list_table.h"
#include "support/files.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "ui/first_run.h"
#include "ui/scripted_dialogs.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using import::AddressSource;
using platform::DialogAnswer;
using platform::DialogIcon;
using testing_support::ScriptedDialogs;

// A stored contact as the next start reads it: its list and display name.
struct Held {
  int list;
  std::string name;
  bool operator==(const Held&) const = default;
};
using Stored = std::map<std::string, Held>;  // by address

void PrintTo(const Held& held, std::ostream* out) {
  *out << "{list " << held.list << ", \"" << held.name << "\"}";
}

// Real stores in a folder of their own, holding one trusted and one blacklisted contact.
struct World {
  World() {
    calls().AddContactIfNew("Old Friend", {"old@x.org"}, store::kTrustedContactsList);
    calls().AddContactIfNew("Spammer", {"spam@x.org"}, store::kBlackList);
  }

  store::AddressCalls& calls() { return *fixture.stores.address_calls; }

  // Every contact's addresses, read again from the database files.
  Stored OnDisk() const {
    store::AddressListTable reloaded(database.path() + "/");
    reloaded.Load();
    Stored stored;
    for (const store::Contact* contact : reloaded.records()) {
      for (const std::string& address : contact->blob.addresses) {
        stored[address] = Held{store::ListIndexOf(*contact), contact->blob.name};
      }
    }
    return stored;
  }

  test_support::TempDir database;
  apptest::StoresFixture fixture{database.path() + "/"};
};

class ImportAddressesWindowTest : public testing::Test {
 protected:
  ImportAddressesWindowTest() { testing_support::TestApp(); }

  // A window over world whose file choice answers with file (nullopt: cancelled), recording
  // the filters it was asked with.
  std::unique_ptr<ImportAddressesWindow> Window(World& world, std::optional<std::string> file,
                                                std::string home) {
    return std::make_unique<ImportAddressesWindow>(
        world.calls(), std::move(home), [this, file](QWidget*, const QString& filters) {
          asked_filters_.push_back(filters.toStdString());
          return file;
        });
  }

  static std::vector<std::string> Entries(const ImportAddressesWindow& window) {
    std::vector<std::string> entries;
    for (int row = 0; row < window.sources()->topLevelItemCount(); ++row) {
      entries.push_back(window.sources()->topLevelItem(row)->text(0).toStdString());
    }
    return entries;
  }

  test_support::TempDir files_;  // the files imported and the fixture home folders
  ScriptedDialogs dialogs_;
  std::vector<std::string> asked_filters_;
};

const std::string kTextFilters = "Text Files (*.txt);;All Files (*)";
const std::string kVCardFilters = "vCard Files (*.vcf *.vcard);;All Files (*)";

TEST_F(ImportAddressesWindowTest, FilesFillTheChosenListAndTellHowManyWereAdded) {
  const struct {
    const char* name;
    AddressSource source;
    std::string content;
    int list;
    std::string filters;
    std::string message;
    Stored added;  // the contacts the import adds
  } rows[] = {
      {"text_into_trusted",
       AddressSource::kTextFile,
       // Repeats and held addresses are skipped; a leading blank stays part of the address.
       "Ann@X.org\r\n  lead@x.org \t\nann@x.org\n\n   \nSPAM@x.org\nOLD@x.org\nlast@x.org",
       store::kTrustedContactsList,
       kTextFilters,
       "3 new contacts were added.",
       {{"ann@x.org", {0, ""}}, {"  lead@x.org", {0, ""}}, {"last@x.org", {0, ""}}}},
      {"text_into_black_list",
       AddressSource::kTextFile,
       "bad@y.org\nold@x.org\n",
       store::kBlackList,
       kTextFilters,
       "1 new contacts were added.",
       {{"bad@y.org", {1, ""}}}},
      {"vcard_into_trusted",
       AddressSource::kVCardFile,
       "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cy Dunn\r\nEMAIL;TYPE=work:Cy@Z.\r\n org\r\n"
       "EMAIL:spam@x.org\r\nEND:VCARD\r\n"
       "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;ENCODING=QUOTED-PRINTABLE:D=C3=A9 Ray\r\n"
       "EMAIL;INTERNET:di@z.org\r\nEND:VCARD\r\n",
       store::kTrustedContactsList,
       kVCardFilters,
       "2 new contacts were added.",
       {{"cy@z.org", {0, "Cy Dunn"}}, {"di@z.org", {0, "D\xC3\xA9 Ray"}}}},
      {"vcard_into_black_list",
       AddressSource::kVCardFile,
       "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Eve\r\nEMAIL:eve@w.org\r\nEMAIL:old@x.org\r\n"
       "END:VCARD\r\n",
       store::kBlackList,
       kVCardFilters,
       "1 new contacts were added.",
       {{"eve@w.org", {1, "Eve"}}}},
      {"nothing_new",
       AddressSource::kTextFile,
       "\n  \nOld@x.org\n",
       store::kBlackList,
       kTextFilters,
       "No new contacts could be found.",
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    Stored expected = world.OnDisk();
    expected.insert(row.added.begin(), row.added.end());
    const std::string path = files_ / (std::string(row.name) + ".file");
    test_support::WriteFile(path, row.content);
    dialogs_.boxes.clear();
    asked_filters_.clear();

    auto window = Window(world, path, "/nonexistent-home");
    ASSERT_TRUE(window->SelectSource(row.source));
    EXPECT_EQ(window->destination()->text().toStdString(), "Trusted Contacts");
    // The list is chosen from the "..." button's menu.
    window->choose_list_button()->menu()->actions().at(row.list)->trigger();
    EXPECT_EQ(window->DestinationList(), row.list);
    EXPECT_EQ(window->destination()->text().toStdString(),
              std::string(store::AddressListName(row.list)));
    window->import_button()->click();

    EXPECT_EQ(asked_filters_, std::vector<std::string>{row.filters});
    ASSERT_EQ(dialogs_.boxes.size(), 1u);
    EXPECT_EQ(dialogs_.boxes[0].text, row.message);
    EXPECT_EQ(dialogs_.boxes[0].caption, "Import Addresses");
    EXPECT_EQ(dialogs_.boxes[0].icon, DialogIcon::kInformation);
    EXPECT_EQ(dialogs_.boxes[0].buttons, platform::DialogButtons::kOk);
    EXPECT_EQ(world.OnDisk(), expected);
  }
}

TEST_F(ImportAddressesWindowTest, AFileThatCannotBeReadIsAReadErrorAndACancelledChoiceNothing) {
  const std::string folder = files_ / "a-folder.vcf";
  std::filesystem::create_directories(folder);
  const struct {
    const char* name;
    AddressSource source;
    std::optional<std::string> chosen;
    std::optional<int> result;
    std::vector<std::string> texts;
  } rows[] = {
      {"missing_text_file",
       AddressSource::kTextFile,
       files_ / "missing.txt",
       -1,
       {"File read error."}},
      {"folder_as_text_file", AddressSource::kTextFile, folder, -1, {"File read error."}},
      {"missing_vcard_file",
       AddressSource::kVCardFile,
       files_ / "missing.vcf",
       -1,
       {"File read error."}},
      {"folder_as_vcard_file", AddressSource::kVCardFile, folder, -1, {"File read error."}},
      {"cancelled", AddressSource::kTextFile, std::nullopt, std::nullopt, {}},
  };
  World world;
  const Stored before = world.OnDisk();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.boxes.clear();
    auto window = Window(world, row.chosen, "/nonexistent-home");
    ASSERT_TRUE(window->SelectSource(row.source));
    EXPECT_EQ(window->Import(), row.result);
    EXPECT_EQ(dialogs_.Texts(), row.texts);
    for (const auto& box : dialogs_.boxes) EXPECT_EQ(box.icon, DialogIcon::kWarning);
    EXPECT_EQ(world.OnDisk(), before);
  }
}

const std::vector<importtest::Property> kBook = {
    {"c1", "DisplayName", "Ann Lee"},      {"c1", "PrimaryEmail", "Ann@Example.org"},
    {"c1", "SecondEmail", "ann@work.org"}, {"c2", "DisplayName", "Spammer Again"},
    {"c2", "PrimaryEmail", "spam@x.org"},
};

// What a fixture home folder holds.
enum class Home { kNoProfile, kProfileWithBook, kProfileWithoutBook };

void MakeHome(const std::string& home, Home kind) {
  std::filesystem::create_directories(home);
  if (kind == Home::kProfileWithBook) importtest::MakeThunderbirdHome(home, kBook);
  if (kind == Home::kProfileWithoutBook) {
    importtest::WriteNew(home + "/.thunderbird/profiles.ini",
                         "[Profile0]\nName=default\nIsRelative=1\nPath=x1.default\n");
    std::filesystem::create_directories(home + "/.thunderbird/x1.default");
  }
}

TEST_F(ImportAddressesWindowTest, TheAddressBookIsOfferedWhenTheUserHasAThunderbirdProfile) {
  const Stored book_added = {{"ann@example.org", {0, "Ann Lee"}}, {"ann@work.org", {0, "Ann Lee"}}};
  const struct {
    const char* name;
    Home home;
    std::vector<std::string> entries;
    bool book_enabled;
    std::optional<AddressSource> selected;  // what the window selects first
    std::string message;                    // importing the address book
    Stored added;
  } rows[] = {
      {"no_profile",
       Home::kNoProfile,
       {"No Thunderbird address book was found", "vCard File (.vcf)",
        "Text File (one address per line)"},
       false,
       AddressSource::kTextFile,
       "",
       {}},
      {"profile_with_book",
       Home::kProfileWithBook,
       {"Thunderbird Address Book", "vCard File (.vcf)", "Text File (one address per line)"},
       true,
       AddressSource::kAddressBook,
       "2 new contacts were added.",
       book_added},
      {"profile_without_book",
       Home::kProfileWithoutBook,
       {"Thunderbird Address Book", "vCard File (.vcf)", "Text File (one address per line)"},
       true,
       AddressSource::kAddressBook,
       "Thunderbird Address Book is not accessible at this moment.",
       {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    Stored expected = world.OnDisk();
    expected.insert(row.added.begin(), row.added.end());
    const std::string home = files_ / row.name;
    MakeHome(home, row.home);
    const test_support::ScopedEnv env("HOME", home);
    dialogs_.boxes.clear();
    asked_filters_.clear();

    // As the program opens it: the profiles of the user's home folder.
    auto window = Window(world, std::nullopt, import::UserHomeFolder());
    EXPECT_EQ(Entries(*window), row.entries);
    EXPECT_EQ(window->sources()->topLevelItem(0)->flags().testFlag(Qt::ItemIsEnabled),
              row.book_enabled);
    EXPECT_EQ(window->SelectedSource(), row.selected);
    EXPECT_EQ(window->SelectSource(AddressSource::kAddressBook), row.book_enabled);
    EXPECT_TRUE(window->import_button()->isEnabled());
    if (!row.book_enabled) continue;

    // The address book needs no file.
    window->SetDestinationList(store::kTrustedContactsList);
    EXPECT_EQ(window->Import(), row.added.empty() ? -1 : static_cast<int>(row.added.size()));
    EXPECT_TRUE(asked_filters_.empty());
    EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{row.message});
    EXPECT_EQ(world.OnDisk(), expected);
  }
}

TEST_F(ImportAddressesWindowTest, TheFirstRunOffersTheAddressBookForTrustedContacts) {
  const std::string question =
      "Do you want to add contacts from your Thunderbird Address Book to the list of trusted "
      "contacts?";
  const std::string another(kAnotherAccountText);
  const Stored book_added = {{"ann@example.org", {0, "Ann Lee"}}, {"ann@work.org", {0, "Ann Lee"}}};
  const struct {
    const char* name;
    Home home;
    std::vector<DialogAnswer> answers;
    std::vector<std::string> texts;
    Stored added;
  } rows[] = {
      {"accepted",
       Home::kProfileWithBook,
       {DialogAnswer::kNo, DialogAnswer::kOk},
       {another, question, "2 new contacts were added."},
       book_added},
      {"declined",
       Home::kProfileWithBook,
       {DialogAnswer::kNo, DialogAnswer::kCancel},
       {another, question},
       {}},
      {"no_profile_nothing_offered", Home::kNoProfile, {DialogAnswer::kNo}, {another}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    World world;
    Stored expected = world.OnDisk();
    expected.insert(row.added.begin(), row.added.end());
    const std::string home = files_ / (std::string("first-run-") + row.name);
    MakeHome(home, row.home);
    const test_support::ScopedEnv env("HOME", home);
    dialogs_.boxes.clear();
    dialogs_.answers.assign(row.answers.begin(), row.answers.end());

    int wizard_runs = 0;
    const FirstRunSteps steps{
        .run_wizard = [&wizard_runs] { ++wizard_runs; },
        .import_address_book = AddressBookFirstRunStep(world.calls(), import::UserHomeFolder())};
    RunFirstRun(*world.fixture.stores.accounts, steps);

    EXPECT_EQ(wizard_runs, 1);
    EXPECT_EQ(dialogs_.Texts(), row.texts);
    if (dialogs_.boxes.size() >= 2) {
      EXPECT_EQ(dialogs_.boxes[1].caption, "Pelrion");
      EXPECT_EQ(dialogs_.boxes[1].buttons, platform::DialogButtons::kOkCancel);
    }
    if (dialogs_.boxes.size() == 3) {
      EXPECT_EQ(dialogs_.boxes[2].icon, DialogIcon::kInformation);
    }
    EXPECT_EQ(world.OnDisk(), expected);
  }
}

TEST_F(ImportAddressesWindowTest, Screenshots) {
  World world;
  for (const auto& [name, kind] : {std::pair{"import_addresses", Home::kProfileWithBook},
                                   std::pair{"import_addresses_no_book", Home::kNoProfile}}) {
    const std::string home = files_ / name;
    MakeHome(home, kind);
    auto window = Window(world, std::nullopt, home);
    EXPECT_TRUE(testing_support::SaveScreenshot(*window, name));
  }
}

}  // namespace
}  // namespace pelrion::ui
