// The Trusted Domains window over a real list in a temporary folder: adding as typed into
// "New Domain:" (trimmed, lower-cased, a repeat or an over-long text refused with its
// message), the input window's OK, and removing the selected domain, each change on disk at
// once. Saves the window's picture.
#include "ui/trusted_domains_window.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ui/scripted_dialogs.h"
#include "support/temp_dir.h"
#include "ui/trusted_domains_add_dialog.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using testing_support::ScriptedDialogs;
using testing_support::TestApp;

class TrustedDomainsWindowTest : public testing::Test {
 protected:
  TrustedDomainsWindowTest() {
    TestApp();
    domains_.Load();
  }

  // The list as the next start reads it from disk.
  std::vector<std::string> Stored() const {
    store::TrustedDomainList reloaded(dir_.path() + "/");
    reloaded.Load();
    return reloaded.Domains();
  }

  static std::vector<std::string> Shown(const TrustedDomainsWindow& window) {
    std::vector<std::string> shown;
    for (int row = 0; row < window.list()->count(); ++row) {
      shown.push_back(window.list()->item(row)->text().toStdString());
    }
    return shown;
  }

  test_support::TempDir dir_;
  store::TrustedDomainList domains_{dir_.path() + "/"};
  ScriptedDialogs dialogs_;
};

TEST_F(TrustedDomainsWindowTest, AddsWhatIsTypedOrRefusesItWithTheFieldsMessage) {
  ASSERT_EQ(domains_.AddTrustedDomain("example.com"), store::AddDomainResult::kAdded);
  const std::string exact_limit = std::string(251, 'a') + ".org";  // 255 bytes
  const struct {
    const char* name;
    QString typed;
    bool added;
    std::string listed;   // what the list holds afterwards
    std::string message;  // empty: none
  } rows[] = {
      {"lower_cased", "Example.ORG", true, "example.org", ""},
      {"trimmed", "  work.example.net \t", true, "work.example.net", ""},
      {"repeat_in_other_case", "EXAMPLE.com", false, "example.com",
       "The 'example.com' Trusted Domain is already in the list."},
      {"at_the_limit", QString::fromStdString(exact_limit), true, exact_limit, ""},
      {"over_the_limit", QString::fromStdString("b" + exact_limit), false, "",
       "'New Domain:' holds at most 255 bytes; the text entered has 256."},
  };
  TrustedDomainsWindow window(domains_);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    dialogs_.boxes.clear();
    const std::vector<std::string> before = domains_.Domains();
    EXPECT_EQ(window.AddDomain(row.typed), row.added);
    if (row.message.empty()) {
      EXPECT_TRUE(dialogs_.boxes.empty());
    } else {
      ASSERT_EQ(dialogs_.boxes.size(), 1u);
      EXPECT_EQ(dialogs_.boxes[0].text, row.message);
      EXPECT_EQ(dialogs_.boxes[0].caption, "Trusted Domains");
      EXPECT_EQ(dialogs_.boxes[0].icon, platform::DialogIcon::kWarning);
      EXPECT_EQ(domains_.Domains(), before);
    }
    if (row.added) {
      ASSERT_NE(window.list()->currentItem(), nullptr);
      EXPECT_EQ(window.list()->currentItem()->text().toStdString(), row.listed);
    }
    EXPECT_EQ(Shown(window), domains_.Domains());
    EXPECT_EQ(Stored(), domains_.Domains());
  }
}

TEST_F(TrustedDomainsWindowTest, TheInputWindowOffersOkOnlyForSomeText) {
  TrustedDomainsAddDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), "Add");
  for (const auto& [typed, enabled] :
       {std::pair<QString, bool>{"", false}, {"   ", false}, {" a ", true}, {"\t", false}}) {
    dialog.field()->setText(typed);
    EXPECT_EQ(dialog.ok_button()->isEnabled(), enabled) << typed.toStdString();
  }
  dialog.field()->setText("  Example.org ");
  EXPECT_EQ(dialog.Domain(), "Example.org");
}

TEST_F(TrustedDomainsWindowTest, RemovesTheSelectedDomain) {
  for (const char* domain : {"a.example", "b.example", "c.example"}) {
    ASSERT_EQ(domains_.AddTrustedDomain(domain), store::AddDomainResult::kAdded);
  }
  TrustedDomainsWindow window(domains_);
  EXPECT_FALSE(window.remove_button()->isEnabled()) << "nothing selected yet";
  window.RemoveSelected();
  EXPECT_EQ(domains_.Domains().size(), 3u);

  window.list()->setCurrentRow(1);
  EXPECT_TRUE(window.remove_button()->isEnabled());
  window.remove_button()->click();
  const std::vector<std::string> want = {"a.example", "c.example"};
  EXPECT_EQ(domains_.Domains(), want);
  EXPECT_EQ(Shown(window), want);
  EXPECT_EQ(Stored(), want);
  EXPECT_FALSE(domains_.IsTrustedDomain("b.example"));
}

TEST_F(TrustedDomainsWindowTest, Screenshot) {
  for (const char* domain : {"example.com", "example.org", "mail.example.net", "partner.example"}) {
    domains_.AddTrustedDomain(domain);
  }
  TrustedDomainsWindow window(domains_);
  window.list()->setCurrentRow(1);
  EXPECT_TRUE(testing_support::SaveScreenshot(window, "trusted_domains"));
  TrustedDomainsAddDialog dialog;
  dialog.field()->setText("newdomain.example");
  EXPECT_TRUE(testing_support::SaveScreenshot(dialog, "trusted_domains_add"));
}

}  // namespace
}  // namespace pelrion::ui
