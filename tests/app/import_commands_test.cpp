// import addresses through the running program's command handler: each source fills the
// chosen list and the command prints the sentence of the result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_fixture.h"
#include "import/address_book_fixture.h"
#include "support/files.h"
#include "support/scoped_env.h"

namespace pelrion::apptest {
namespace {

using Words = std::vector<std::string>;

// (list, address) of every contact, as contact list prints them.
std::vector<std::pair<std::string, std::string>> Listed(CommandWorld& world) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& contact : world.Json({"contact", "list"})) {
    for (const auto& address : contact["addresses"]) {
      out.emplace_back(contact["list"].get<std::string>(), address.get<std::string>());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

TEST(ImportCommandTest, FilesFillTheChosenListAndPrintTheResult) {
  CommandWorld world;
  ASSERT_EQ(world.Run({"contact", "add", "--list", "blacklist", "spam@x.org"}).exit_code, 0);
  const std::string text = world.temp / "list.txt";
  const std::string vcard = world.temp / "book.VCF";
  test_support::WriteFile(text, "one@x.org\nSPAM@x.org\n\n");
  test_support::WriteFile(vcard,
                          "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Two\r\nEMAIL:two@x.org\r\n"
                          "EMAIL:one@x.org\r\nEND:VCARD\r\n");
  struct Step {
    Words words;
    std::string output;
  };
  for (const Step& step : {
           Step{{"import", "addresses", "--from", text}, "1 new contacts were added.\n"},
           Step{{"import", "addresses", "--from", vcard, "--list", "blacklist"},
                "1 new contacts were added.\n"},
           Step{{"import", "addresses", "--from", text}, "No new contacts could be found.\n"},
       }) {
    const platform::ControlReply reply = world.Run(step.words);
    EXPECT_EQ(reply.exit_code, 0) << reply.errors;
    EXPECT_EQ(reply.output, step.output) << step.words[3];
  }
  EXPECT_EQ(
      Listed(world),
      (std::vector<std::pair<std::string, std::string>>{
          {"blacklist", "spam@x.org"}, {"blacklist", "two@x.org"}, {"trusted", "one@x.org"}}));
}

TEST(ImportCommandTest, ThunderbirdMeansTheBooksOfTheUsersProfiles) {
  CommandWorld world;
  const std::string home = world.temp / "home";
  test_support::ScopedEnv env("HOME", home);
  platform::ControlReply reply = world.Run({"import", "addresses", "--from", "thunderbird"});
  EXPECT_EQ(reply.exit_code, 1);
  EXPECT_EQ(reply.errors, "Thunderbird Address Book is not accessible at this moment.\n");

  importtest::MakeThunderbirdHome(home, {{"c1", "DisplayName", "Ann"},
                                         {"c1", "PrimaryEmail", "ann@x.org"},
                                         {"c1", "SecondEmail", "ann@y.org"}});
  reply = world.Run({"import", "addresses", "--from", "thunderbird"});
  EXPECT_EQ(reply.exit_code, 0) << reply.errors;
  EXPECT_EQ(reply.output, "2 new contacts were added.\n");
  const nlohmann::json contacts = world.Json({"contact", "list"});
  ASSERT_EQ(contacts.size(), 2u);
  EXPECT_EQ(contacts[0]["name"], "Ann");
}

TEST(ImportCommandTest, AFileThatCannotBeReadIsAReadError) {
  CommandWorld world;
  for (const std::string& name : {std::string("missing.txt"), std::string("missing.vcf")}) {
    const platform::ControlReply reply =
        world.Run({"import", "addresses", "--from", world.temp / name});
    EXPECT_EQ(reply.exit_code, 1);
    EXPECT_EQ(reply.errors, "File read error.\n");
    EXPECT_EQ(reply.output, "");
  }
}

}  // namespace
}  // namespace pelrion::apptest
