// The Contact Properties window over a real address-list table: the rules an entered address
// passes (lower-casing, the syntax question, a repeat in the window's own list, the byte
// limit) as a table, then OK: the name trimmed, an address held by another contact refused
// with that contact's list named, a new contact added and an edited one replaced.
#include "ui/contact_properties.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>

#include "ui/scripted_dialogs.h"
#include "options_access_keys.h"
#include "support/temp_dir.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using platform::DialogAnswer;
using testing_support::ScriptedDialogs;
using testing_support::TestApp;

const std::string kQuestion =
    "The specified e-mail address does not appear to be valid, do you want to use it anyway?";

class ContactPropertiesTest : public testing::Test {
 protected:
  ContactPropertiesTest() {
    TestApp();
    lists_.Load();
  }

  store::Contact* Add(const std::string& name, std::vector<std::string> addresses, int list) {
    store::Contact* contact = lists_.AddContact(name, addresses, list);
    EXPECT_NE(contact, nullptr);
    return contact;
  }

  test_support::TempDir dir_;
  store::AddressListTable lists_{dir_.path() + "/"};
  ScriptedDialogs dialogs_;
};

TEST_F(ContactPropertiesTest, AnEnteredAddressPassesEveryRuleOrIsRefusedWithItsMessage) {
  const std::string long_address = std::string(250, 'a') + "@b.org";  // 256 bytes
  const struct {
    const char* name;
    std::vector<std::string> already;  // in the window's list before
    std::string typed;
    std::deque<DialogAnswer> answers;
    std::vector<std::string> want_list;
    std::vector<std::string> want_boxes;
  } rows[] = {
      {"lower_cased", {}, "Ann@Example.ORG", {}, {"ann@example.org"}, {}},
      {"trimmed", {}, "  bob@example.org ", {}, {"bob@example.org"}, {}},
      {"odd_address_declined", {}, "not an address", {DialogAnswer::kNo}, {}, {kQuestion}},
      {"odd_address_taken",
       {},
       "Not An Address",
       {DialogAnswer::kYes},
       {"not an address"},
       {kQuestion}},
      {"repeat_in_own_list",
       {"ann@example.org"},
       "ANN@example.org",
       {},
       {"ann@example.org"},
       {"The 'ann@example.org' Address is already in the list."}},
      {"too_long",
       {},
       long_address,
       {DialogAnswer::kYes},
       {},
       {"'New Address:' holds at most 255 bytes; the text entered has 256."}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.boxes.clear();
    dialogs_.answers = row.answers;
    ContactProperties window(lists_, nullptr, store::kTrustedContactsList);
    for (const std::string& address : row.already) {
      window.new_address_field()->setText(QString::fromStdString(address));
      ASSERT_TRUE(window.AddAddress());
    }
    window.new_address_field()->setText(QString::fromStdString(row.typed));
    const bool added = window.AddAddress();
    EXPECT_EQ(window.Addresses(), row.want_list);
    EXPECT_EQ(added, row.want_list.size() > row.already.size());
    EXPECT_EQ(dialogs_.Texts(), row.want_boxes);
    for (const auto& box : dialogs_.boxes) {
      EXPECT_EQ(box.caption, "Address Lists");
      // The doubtful address is kept only by a deliberate Yes: No is the default answer.
      if (box.text == kQuestion) {
        EXPECT_EQ(box.buttons, platform::DialogButtons::kYesNoDefaultNo);
      }
    }
    // A refused address stays in the field for the user to correct.
    EXPECT_EQ(window.new_address_field()->text().isEmpty(), added);
  }
}

TEST_F(ContactPropertiesTest, ModifyAppliesTheSameRulesButMayKeepTheAddressItReplaces) {
  ContactProperties window(lists_, nullptr, store::kTrustedContactsList);
  for (const char* address : {"ann@example.org", "bob@example.org"}) {
    window.new_address_field()->setText(address);
    ASSERT_TRUE(window.AddAddress());
  }
  window.address_list()->setCurrentRow(0);
  EXPECT_EQ(window.address_field()->text(), "ann@example.org");

  window.address_field()->setText("BOB@example.org");
  EXPECT_FALSE(window.ModifyAddress());
  EXPECT_EQ(dialogs_.Texts(),
            std::vector<std::string>{"The 'bob@example.org' Address is already in the list."});

  window.address_field()->setText("ANN@Example.org");
  EXPECT_TRUE(window.ModifyAddress());
  window.address_field()->setText("Cy@Example.org");
  EXPECT_TRUE(window.ModifyAddress());
  EXPECT_EQ(window.Addresses(), (std::vector<std::string>{"cy@example.org", "bob@example.org"}));

  window.RemoveAddress();
  EXPECT_EQ(window.Addresses(), std::vector<std::string>{"bob@example.org"});
}

TEST_F(ContactPropertiesTest, OkRefusesAnAddressOfAnotherContactNamingItsList) {
  Add("Spammer", {"spam@example.net"}, store::kBlackList);
  Add("Friend", {"friend@example.org"}, store::kTrustedContactsList);
  const struct {
    const char* name;
    std::string typed;
    std::string want;
  } rows[] = {
      {"black_list", "Spam@Example.net",
       "The 'spam@example.net' Address is already in 'Black List'."},
      {"trusted", "friend@example.org",
       "The 'friend@example.org' Address is already in 'Trusted Contacts'."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.boxes.clear();
    ContactProperties window(lists_, nullptr, store::kTrustedContactsList);
    window.show();
    window.name_field()->setText("Someone");
    window.new_address_field()->setText("own@example.org");
    ASSERT_TRUE(window.AddAddress());
    window.new_address_field()->setText(QString::fromStdString(row.typed));
    ASSERT_TRUE(window.AddAddress());  // the window's own list does not hold it
    window.accept();
    EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{row.want});
    EXPECT_EQ(dialogs_.boxes.back().caption, "Address Lists");
    EXPECT_NE(window.result(), QDialog::Accepted);
    EXPECT_EQ(window.saved_contact(), nullptr);
    EXPECT_EQ(lists_.size(), 2u);
    EXPECT_EQ(lists_.FindByAddress("own@example.org"), nullptr);
  }
}

TEST_F(ContactPropertiesTest, OkAddsANewContactWithTheTrimmedNameInTheChosenList) {
  ContactProperties window(lists_, nullptr, store::kTrustedContactsList);
  EXPECT_FALSE(window.ok_button()->isEnabled()) << "a contact needs an address";
  window.name_field()->setText("   Ann Example  ");
  window.new_address_field()->setText("Ann@Example.org");
  ASSERT_TRUE(window.AddAddress());
  EXPECT_TRUE(window.ok_button()->isEnabled());
  window.list_choice()->setCurrentIndex(store::kBlackList);
  window.accept();
  ASSERT_EQ(window.result(), QDialog::Accepted);
  store::Contact* saved = window.saved_contact();
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->blob.name, "Ann Example");
  EXPECT_EQ(saved->blob.addresses, std::vector<std::string>{"ann@example.org"});
  EXPECT_EQ(lists_.LookupAddress("ann@example.org", 3), store::ListBit(store::kBlackList));
}

TEST_F(ContactPropertiesTest, OkReplacesTheEditedContactKeepingItsOwnAddresses) {
  store::Contact* old = Add("Ann", {"ann@example.org", "ann@work.example"}, store::kBlackList);
  const std::uint32_t old_id = old->id;
  ContactProperties window(lists_, old, store::kTrustedContactsList);
  EXPECT_EQ(window.name_field()->text(), "Ann");
  EXPECT_EQ(window.list_choice()->currentIndex(), store::kBlackList) << "the contact's own list";
  EXPECT_EQ(window.Addresses(), old->blob.addresses);
  window.new_address_field()->setText("ann@home.example");
  ASSERT_TRUE(window.AddAddress());
  window.list_choice()->setCurrentIndex(store::kTrustedContactsList);
  window.accept();
  ASSERT_EQ(window.result(), QDialog::Accepted);
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_EQ(lists_.Find(old_id), nullptr);
  ASSERT_EQ(lists_.size(), 1u);
  const store::Contact& now = *lists_.records().front();
  EXPECT_EQ(now.blob.addresses,
            (std::vector<std::string>{"ann@example.org", "ann@work.example", "ann@home.example"}));
  EXPECT_EQ(lists_.LookupAddress("ann@work.example", 3),
            store::ListBit(store::kTrustedContactsList));
}

TEST_F(ContactPropertiesTest, ANameLongerThanItsFieldIsRefusedWhole) {
  ContactProperties window(lists_, nullptr, store::kTrustedContactsList);
  window.show();
  const QString name = QString(128, QChar(0x00e9));  // 128 characters, 256 bytes
  window.name_field()->setText(name);
  window.new_address_field()->setText("ann@example.org");
  ASSERT_TRUE(window.AddAddress());
  window.accept();
  EXPECT_EQ(dialogs_.Texts(),
            std::vector<std::string>{"'Name:' holds at most 255 bytes; the text entered has 256."});
  EXPECT_EQ(window.name_field()->text(), name);
  EXPECT_EQ(lists_.size(), 0u);
}

TEST_F(ContactPropertiesTest, EveryFieldAndButtonHasItsOwnAccessKey) {
  ContactProperties window(lists_, nullptr, store::kTrustedContactsList);
  EXPECT_EQ(testing_support::AccessKeys(window).size(), 8u);
  EXPECT_EQ(testing_support::SharedAccessKeys(window), "");
}

TEST_F(ContactPropertiesTest, Screenshot) {
  store::Contact* contact =
      Add("Ann Example", {"ann@example.org", "ann.example@work.example.com"}, 0);
  ContactProperties window(lists_, contact, store::kTrustedContactsList);
  window.address_list()->setCurrentRow(1);
  window.new_address_field()->setText("ann@home.example.net");
  EXPECT_TRUE(testing_support::SaveScreenshot(window, "contact_properties"));
}

}  // namespace
}  // namespace pelrion::ui
