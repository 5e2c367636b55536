// Thunderbird's address books found through the profiles.ini files under a fixture home
// folder, each abook.sqlite made here with the tables Thunderbird writes, read without a
// byte of it changing.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "address_book_fixture.h"
#include "address_lists_fixture.h"
#include "import/address_sources.h"
#include "import/thunderbird_address_book.h"
#include "import/thunderbird_profiles.h"
#include "support/files.h"

namespace pelrion::importtest {
namespace {

using Holder = AddressListsWorld::Holder;
using Stored = std::map<std::string, Holder>;

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

const std::vector<Property> kPersonalBook = {
    {"c1", "DisplayName", "Ann Lee"},
    {"c1", "PrimaryEmail", "Ann@Example.org"},
    {"c2", "FirstName", "Bo"},
    {"c2", "LastName", "Berg"},
    {"c1", "SecondEmail", "ann.lee@work.com"},
    {"c2", "PrimaryEmail", "bo@example.org"},
    // Newer versions keep the whole card, with every address, in one property.
    {"c3", "_vCard",
     "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Cy Dunn\r\nEMAIL;PREF=1:cy@example.org\r\n"
     "EMAIL:cy@home.net\r\nEND:VCARD\r\n"},
    {"c3", "PrimaryEmail", "cy@example.org"},
    {"c4", "DisplayName", "Spammer"},
    {"c4", "PrimaryEmail", "spam@bad.com"},
};

TEST(ThunderbirdAddressBookTest, ReadsEveryCardsAddressesAndNameAndLeavesTheFileAsItWas) {
  test_support::TempDir temp;
  const std::string path = temp / "profile/abook.sqlite";
  MakeAddressBook(path, kPersonalBook);
  const std::string before = test_support::ReadFile(path);
  ::chmod(path.c_str(), 0400);  // as a file we may not write: reading must not need to

  const auto cards = import::ReadThunderbirdAddressBook(path);
  ASSERT_TRUE(cards.has_value());
  std::vector<std::pair<std::string, std::vector<std::string>>> got;
  for (const import::AddressBookCard& card : *cards)
    got.emplace_back(card.display_name, card.addresses);
  EXPECT_EQ(got, (decltype(got){{"Ann Lee", {"Ann@Example.org", "ann.lee@work.com"}},
                                {"Bo Berg", {"bo@example.org"}},
                                {"Cy Dunn", {"cy@example.org", "cy@home.net"}},
                                {"Spammer", {"spam@bad.com"}}}));
  EXPECT_EQ(test_support::ReadFile(path), before);
  EXPECT_EQ(Names(temp / "profile"), std::vector<std::string>{"abook.sqlite"});
}

TEST(ThunderbirdAddressBookTest, FilesThatAreNoAddressBookAreNotRead) {
  test_support::TempDir temp;
  test_support::WriteFile(temp / "abook.sqlite", "not a database at all, just some text");
  EXPECT_FALSE(import::ReadThunderbirdAddressBook(temp / "abook.sqlite").has_value());
  EXPECT_FALSE(import::ReadThunderbirdAddressBook(temp / "missing.sqlite").has_value());
  EXPECT_TRUE(test_support::FileExists(temp / "abook.sqlite"));
  EXPECT_FALSE(test_support::FileExists(temp / "missing.sqlite"));
}

TEST(ThunderbirdProfilesTest, ProfilesIniNamesRelativeAndAbsoluteFolders) {
  const std::string ini =
      "[General]\nStartWithLastProfile=1\nPath=not/a/profile\n\n"
      "[Profile0]\nName=default\nIsRelative=1\nPath=Profiles/abc.default\n"
      "[Install4F96D1932A9F858E]\nDefault=Profiles/abc.default\n"
      "[profile1]\nIsRelative=0\nPath=/data/tb/other/\n"
      "[Profile2]\nPath=\"no relative flag\"\n"
      "[Profile3]\nPath=/abs/without/flag\n"
      "[Profile4]\nName=no path\n";
  EXPECT_EQ(import::ProfileFoldersOfIni(ini, "/h/.thunderbird"),
            (std::vector<std::string>{"/h/.thunderbird/Profiles/abc.default", "/data/tb/other",
                                      "/h/.thunderbird/no relative flag", "/abs/without/flag"}));
}

// A home folder with the usual installation's profile and a Flatpak one.
struct ThunderbirdHome {
  ThunderbirdHome() {
    MakeThunderbirdHome(home, kPersonalBook);
    const std::string flatpak = home + "/.var/app/org.mozilla.Thunderbird/.thunderbird";
    WriteNew(flatpak + "/profiles.ini",
             "[Profile0]\nIsRelative=0\nPath=" + flatpak + "/y2.default\n");
    MakeAddressBook(flatpak + "/y2.default/abook-1.sqlite",
                    {{"d1", "DisplayName", "Dee"},
                     {"d1", "PrimaryEmail", "dee@example.org"},
                     {"d2", "DisplayName", "Ann twice"},
                     {"d2", "PrimaryEmail", "ann@example.org"}});
  }
  AddressListsWorld world;
  std::string home = world.temp / "home";
};

TEST(ThunderbirdImportTest, EveryProfilesBooksFillTheListAndBlacklistedAddressesStay) {
  ThunderbirdHome fixture;
  AddressListsWorld& world = fixture.world;
  ASSERT_NE(world.lists.AddContact("Known spam", {"spam@bad.com"}, store::kBlackList), nullptr);
  EXPECT_EQ(import::ImportFromThunderbird(fixture.home, store::kTrustedContactsList, world.calls),
            6);
  EXPECT_EQ(world.Stored(), (Stored{{"ann@example.org", {0, "Ann Lee"}},
                                    {"ann.lee@work.com", {0, "Ann Lee"}},
                                    {"bo@example.org", {0, "Bo Berg"}},
                                    {"cy@example.org", {0, "Cy Dunn"}},
                                    {"cy@home.net", {0, "Cy Dunn"}},
                                    {"dee@example.org", {0, "Dee"}},
                                    {"spam@bad.com", {1, "Known spam"}}}));
  EXPECT_EQ(import::ImportFromThunderbird(fixture.home, store::kTrustedContactsList, world.calls),
            0);
}

TEST(ThunderbirdImportTest, NoReadableBookIsNotAccessible) {
  AddressListsWorld world;
  const std::string home = world.temp / "home";
  const int none = import::ImportFromThunderbird(home, 0, world.calls);
  EXPECT_EQ(none, -1);
  EXPECT_EQ(import::ImportResultText(import::AddressSource::kAddressBook, none),
            "Thunderbird Address Book is not accessible at this moment.");
  // A profile whose only book is damaged is no better.
  WriteNew(home + "/snap/thunderbird/common/.thunderbird/profiles.ini", "[Profile0]\nPath=p\n");
  WriteNew(home + "/snap/thunderbird/common/.thunderbird/p/abook.sqlite", "junk");
  EXPECT_EQ(import::ImportFromThunderbird(home, 0, world.calls), -1);
  EXPECT_TRUE(world.Stored().empty());
}

}  // namespace
}  // namespace pelrion::importtest
