// vCard files as address books export them: the cards' addresses and names, through the
// encodings and line forms of the 2.1, 3.0 and 4.0 exports, and their import into a list.
#include "import/vcard.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "address_lists_fixture.h"
#include "import/text_file_import.h"
#include "support/files.h"

namespace pelrion::importtest {
namespace {

using import::AddressBookCard;
using Cards = std::vector<std::pair<std::string, std::vector<std::string>>>;

Cards Parsed(std::string_view text) {
  Cards out;
  for (const AddressBookCard& card : import::ParseVCards(text)) {
    out.emplace_back(card.display_name, card.addresses);
  }
  return out;
}

struct VCardCase {
  std::string label;
  std::string text;
  Cards cards;
};

class VCardParseTest : public testing::TestWithParam<VCardCase> {};

TEST_P(VCardParseTest, ReadsEveryAddressWithTheCardsName) {
  EXPECT_EQ(Parsed(GetParam().text), GetParam().cards);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VCardParseTest,
    testing::Values(
        VCardCase{
            "several_cards_several_addresses",
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Lee\r\nN:Lee;Ann;;;\r\n"
            "EMAIL;TYPE=INTERNET,HOME:ann@home.org\r\n"
            "EMAIL;TYPE=INTERNET,WORK:Ann.Lee@Work.com\r\nEND:VCARD\r\n"
            "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Bo\r\nitem1.EMAIL;PREF=1:bo@x.org\r\n"
            "EMAIL:bo2@x.org\r\nEND:VCARD\r\n",
            {{"Ann Lee", {"ann@home.org", "Ann.Lee@Work.com"}}, {"Bo", {"bo@x.org", "bo2@x.org"}}}},
        VCardCase{"lf_line_ends_and_lower_case_names",
                  "begin:vcard\nversion:3.0\nfn:Cy\nemail:cy@x.org\nend:vcard\n",
                  {{"Cy", {"cy@x.org"}}}},
        VCardCase{"folded_lines_lose_one_blank",
                  "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Dorothea Ma\r\n rie Smith\r\n"
                  "EMAIL:dorothea.marie@exa\r\n\tmple.org\r\nEND:VCARD\r\n",
                  {{"Dorothea Marie Smith", {"dorothea.marie@example.org"}}}},
        VCardCase{"version_21_folds_keep_their_blank",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Ed\r\n Wood\r\nEMAIL;INTERNET:ed@x.org\r\n"
                  "END:VCARD\r\n",
                  {{"Ed Wood", {"ed@x.org"}}}},
        VCardCase{"quoted_printable_name_with_charset_and_soft_break",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\n"
                  "FN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:Fran=E7ois M=\r\n"
                  "=FCller\r\nEMAIL;PREF;INTERNET:fm@x.org\r\nEND:VCARD\r\n",
                  {{"Fran\xC3\xA7ois M\xC3\xBCller", {"fm@x.org"}}}},
        VCardCase{"quoted_printable_utf8_bare_parameter",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nFN;CHARSET=UTF-8;QUOTED-PRINTABLE:J=C3=BCrgen\r\n"
                  "EMAIL:j@x.org\r\nEND:VCARD\r\n",
                  {{"J\xC3\xBCrgen", {"j@x.org"}}}},
        VCardCase{"base64_name",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nFN;ENCODING=b:R3JldGE=\r\nEMAIL:g@x.org\r\n"
                  "END:VCARD\r\n",
                  {{"Greta", {"g@x.org"}}}},
        VCardCase{"escaped_name",
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Smith\\, Jr.\\; Hal\r\nEMAIL:h@x.org\r\n"
                  "END:VCARD\r\n",
                  {{"Smith, Jr.; Hal", {"h@x.org"}}}},
        VCardCase{"structured_name_when_fn_is_missing",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Lee;Ivy;M.;Dr.;\r\nEMAIL:i@x.org\r\n"
                  "END:VCARD\r\n",
                  {{"Dr. Ivy M. Lee", {"i@x.org"}}}},
        VCardCase{"other_mail_systems_and_empty_values_left_out",
                  "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Kim\r\nEMAIL;X400:c=us;a=x;p=y\r\n"
                  "EMAIL;TYPE=INTERNET:\r\nEMAIL;INTERNET:kim@x.org\r\nEND:VCARD\r\n",
                  {{"Kim", {"kim@x.org"}}}},
        VCardCase{"quoted_parameter_holding_colon",
                  "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Lu\r\nEMAIL;LABEL=\"a:b;c\":lu@x.org\r\n"
                  "END:VCARD\r\n",
                  {{"Lu", {"lu@x.org"}}}},
        VCardCase{"nested_card_and_text_outside_cards_ignored",
                  "EMAIL:outside@x.org\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN:Max\r\n"
                  "AGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\nEMAIL:agent@x.org\r\nEND:VCARD\r\n"
                  "EMAIL:max@x.org\r\nEND:VCARD\r\n",
                  {{"Max", {"max@x.org"}}}},
        VCardCase{"card_cut_off_at_the_end",
                  "BEGIN:VCARD\r\nFN:Ned\r\nEMAIL:ned@x.org",
                  {{"Ned", {"ned@x.org"}}}},
        VCardCase{"no_cards", "just text\r\n:\r\n;;;\r\n", {}}),
    [](const auto& info) { return info.param.label; });

TEST(VCardImportTest, EachAddressOnceAndABlacklistedAddressStaysBlacklisted) {
  AddressListsWorld world;
  ASSERT_NE(world.lists.AddContact("Spam", {"spam@x.org"}, store::kBlackList), nullptr);
  const std::string path = world.temp / "contacts.vcf";
  test_support::WriteFile(
      path,
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\nEMAIL:ann@x.org\r\nEMAIL:Ann2@x.org\r\n"
      "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Again\r\nEMAIL:ANN@x.org\r\n"
      "EMAIL:spam@X.org\r\nEND:VCARD\r\n");
  EXPECT_EQ(import::ImportFromVCardFile(path, store::kTrustedContactsList, world.calls), 2);
  using Holder = AddressListsWorld::Holder;
  EXPECT_EQ(world.Stored(), (std::map<std::string, Holder>{{"ann@x.org", {0, "Ann"}},
                                                           {"ann2@x.org", {0, "Ann"}},
                                                           {"spam@x.org", {1, "Spam"}}}));
  // The same file again finds nothing new.
  EXPECT_EQ(import::ImportFromVCardFile(path, store::kTrustedContactsList, world.calls), 0);
}

TEST(VCardImportTest, AFileThatCannotBeReadGivesMinusOne) {
  AddressListsWorld world;
  EXPECT_EQ(import::ImportFromVCardFile(world.temp / "none.vcf", 0, world.calls), -1);
  EXPECT_EQ(import::ImportFromVCardFile(world.temp.path(), 0, world.calls), -1);
}

}  // namespace
}  // namespace pelrion::importtest
