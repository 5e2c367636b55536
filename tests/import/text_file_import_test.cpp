// The text-file import: one address per line, each a contact of its own unless some contact
// already holds it, and the sentences that report the result.
#include "import/text_file_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>

#include "address_lists_fixture.h"
#include "import/address_sources.h"
#include "support/files.h"

namespace pelrion::importtest {
namespace {

using Holder = AddressListsWorld::Holder;
using Stored = std::map<std::string, Holder>;

struct TextCase {
  std::string label;
  std::string text;
  int added;
  Stored stored;  // every contact afterwards, all in Trusted Contacts with no name
};

class TextFileImportTest : public testing::TestWithParam<TextCase> {};

TEST_P(TextFileImportTest, EachNewLineBecomesOneContact) {
  const TextCase& c = GetParam();
  AddressListsWorld world;
  const std::string path = world.temp / "addresses.txt";
  test_support::WriteFile(path, c.text);
  EXPECT_EQ(import::ImportFromTextFile(path, store::kTrustedContactsList, world.calls), c.added);
  EXPECT_EQ(world.Stored(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextFileImportTest,
    testing::Values(TextCase{"empty", "", 0, {}},
                    TextCase{"blank_lines_only", "\n  \r\n\t\n", 0, {}},
                    TextCase{"same_address_twice", "a@x.org\nA@X.org\n", 1, {{"a@x.org", {0, ""}}}},
                    TextCase{"leading_blank_stays",
                             " a@x.org\na@x.org\n",
                             2,
                             {{" a@x.org", {0, ""}}, {"a@x.org", {0, ""}}}},
                    TextCase{"trailing_white_space_and_crlf_go",
                             "a@x.org \t\r\nb@y.org\r\n",
                             2,
                             {{"a@x.org", {0, ""}}, {"b@y.org", {0, ""}}}},
                    TextCase{"last_line_without_lf",
                             "a@x.org\nlast@z.org",
                             2,
                             {{"a@x.org", {0, ""}}, {"last@z.org", {0, ""}}}},
                    TextCase{
                        "no_syntax_check", "not an address\n", 1, {{"not an address", {0, ""}}}},
                    TextCase{"zero_byte_ends_the_stored_text",
                             std::string("a@x.org\0junk\n", 13),
                             1,
                             {{"a@x.org", {0, ""}}}}),
    [](const auto& info) { return info.param.label; });

TEST(TextFileImportListTest, AnAddressOnTheBlackListStaysThereAndIsNotCounted) {
  AddressListsWorld world;
  ASSERT_NE(world.lists.AddContact("Spammer", {"spam@x.org"}, store::kBlackList), nullptr);
  const std::string path = world.temp / "addresses.txt";
  test_support::WriteFile(path, "SPAM@x.org\nfriend@y.org\n");
  EXPECT_EQ(import::ImportFromTextFile(path, store::kTrustedContactsList, world.calls), 1);
  EXPECT_EQ(world.Stored(), (Stored{{"spam@x.org", {1, "Spammer"}}, {"friend@y.org", {0, ""}}}));
}

TEST(TextFileImportListTest, TheChosenListReceivesTheContacts) {
  AddressListsWorld world;
  const std::string path = world.temp / "addresses.txt";
  test_support::WriteFile(path, "bad@x.org\n");
  EXPECT_EQ(import::ImportFromTextFile(path, store::kBlackList, world.calls), 1);
  EXPECT_EQ(world.Stored(), (Stored{{"bad@x.org", {1, ""}}}));
}

TEST(TextFileImportListTest, AFileThatCannotBeReadGivesMinusOne) {
  AddressListsWorld world;
  EXPECT_EQ(import::ImportFromTextFile(world.temp / "missing.txt", 0, world.calls), -1);
  // A folder opens but its first read fails.
  ::mkdir((world.temp / "folder.txt").c_str(), 0700);
  EXPECT_EQ(import::ImportFromTextFile(world.temp / "folder.txt", 0, world.calls), -1);
  EXPECT_TRUE(world.Stored().empty());
}

TEST(ImportResultTextTest, EachResultHasItsSentence) {
  using import::AddressSource;
  struct Case {
    AddressSource source;
    int result;
    std::string text;
  };
  for (const Case& c : {
           Case{AddressSource::kTextFile, -1, "File read error."},
           Case{AddressSource::kVCardFile, -1, "File read error."},
           Case{AddressSource::kAddressBook, -1,
                "Thunderbird Address Book is not accessible at this moment."},
           Case{AddressSource::kTextFile, 0, "No new contacts could be found."},
           Case{AddressSource::kAddressBook, 0, "No new contacts could be found."},
           Case{AddressSource::kVCardFile, 1, "1 new contacts were added."},
           Case{AddressSource::kTextFile, 27, "27 new contacts were added."},
       }) {
    EXPECT_EQ(import::ImportResultText(c.source, c.result), c.text) << c.result;
  }
  // The first-run offer names the address book as this system has it.
  EXPECT_EQ(import::FirstRunAddressBookQuestion(),
            "Do you want to add contacts from your Thunderbird Address Book to the list of "
            "trusted contacts?");
}

}  // namespace
}  // namespace pelrion::importtest
