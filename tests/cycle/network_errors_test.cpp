#include "cycle/network_errors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "support/scoped_env.h"

namespace pelrion::cycle {
namespace {

using transport::MailProtocol;

// Time stamps are local time: pin both the clock and the zone.
class NetworkErrorsTest : public testing::Test {
 protected:
  void TearDown() override { platform::SetNowForTesting(std::nullopt); }

  void AddAt(std::int64_t when, const ReportKey& key, const std::string& text) {
    platform::SetNowForTesting(when);
    list_.Add(key, text);
  }

  NetworkErrorList list_;
  test_support::ScopedUtcZone utc_;
};

TEST_F(NetworkErrorsTest, TimeHasNoLeadingZerosExceptInMinutesAndYear) {
  struct Case {
    std::int64_t seconds;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {0, "1/1/70 0:00"},                   // midnight: hour 0, minutes padded
      {1'772'875'080, "3/7/26 9:18"},       // single-digit month, day and hour
      {1'796'129'970, "12/1/26 12:59"},     // two-digit month and hour
      {946'684'799, "12/31/99 23:59"},      // last minute of a century's year 99
      {947'034'060, "1/5/00 1:01"},         // year 2000 prints as 00
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatReportTime(c.seconds), c.expected) << c.seconds;
  }
}

TEST_F(NetworkErrorsTest, OneReportPerKeyNewestLastAndReplacingTheOlder) {
  struct Step {
    ReportKey key;
    const char* text;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<const char*> expected;  // texts in list order
  };
  const std::vector<Case> cases = {
      {"same account and protocol replaces, moving to the end",
       {{MailServerKey(1, MailProtocol::kPop3), "a"},
        {MailServerKey(2, MailProtocol::kPop3), "b"},
        {MailServerKey(1, MailProtocol::kPop3), "a2"}},
       {"b", "a2"}},
      {"the protocol is part of an account's key",
       {{MailServerKey(1, MailProtocol::kPop3), "in"},
        {MailServerKey(1, MailProtocol::kSmtp), "out"}},
       {"in", "out"}},
      {"an account and a listener with the same id are different sources",
       {{MailServerKey(4, MailProtocol::kPop3), "account"}, {ListenerKey(4), "listener"}},
       {"account", "listener"}},
      {"a listener's key ignores the protocol",
       {{ListenerKey(3), "first"},
        {ReportKey{ReportOrigin::kListener, 3, MailProtocol::kSmtp}, "second"}},
       {"second"}},
  };
  for (const Case& c : cases) {
    NetworkErrorList list;
    for (const Step& step : c.steps) list.Add(step.key, step.text);
    std::vector<std::string> texts;
    for (const NetworkErrorReport& report : list.reports()) texts.push_back(report.text);
    EXPECT_EQ(texts, std::vector<std::string>(c.expected.begin(), c.expected.end())) << c.name;
  }
}

TEST_F(NetworkErrorsTest, ASuccessRemovesOnlyItsOwnSourcesReport) {
  AddAt(100, MailServerKey(1, MailProtocol::kPop3), "pop");
  AddAt(200, MailServerKey(1, MailProtocol::kSmtp), "smtp");
  AddAt(300, ListenerKey(1), "listener");

  EXPECT_FALSE(list_.Clear(MailServerKey(2, MailProtocol::kPop3)));
  EXPECT_TRUE(list_.Clear(MailServerKey(1, MailProtocol::kSmtp)));
  EXPECT_FALSE(list_.Clear(MailServerKey(1, MailProtocol::kSmtp)));  // gone already
  ASSERT_EQ(list_.reports().size(), 2u);
  EXPECT_EQ(list_.reports()[0].text, "pop");
  EXPECT_EQ(list_.reports()[0].time, 100);
  EXPECT_EQ(list_.reports()[1].text, "listener");

  EXPECT_TRUE(list_.Clear(ListenerKey(1)));
  EXPECT_TRUE(list_.Clear(MailServerKey(1, MailProtocol::kPop3)));
  EXPECT_TRUE(list_.empty());
}

TEST_F(NetworkErrorsTest, ADeletedAccountTakesBothItsReportsButNotAListenersWithItsId) {
  AddAt(1, MailServerKey(7, MailProtocol::kPop3), "pop");
  AddAt(2, ListenerKey(7), "listener");
  AddAt(3, MailServerKey(7, MailProtocol::kSmtp), "smtp");
  AddAt(4, MailServerKey(8, MailProtocol::kSmtp), "other");
  list_.ClearAccount(7);
  ASSERT_EQ(list_.reports().size(), 2u);
  EXPECT_EQ(list_.reports()[0].text, "listener");
  EXPECT_EQ(list_.reports()[1].text, "other");
}

TEST_F(NetworkErrorsTest, TakeTextListsEveryReportWithItsOwnTimeAndEmptiesTheList) {
  AddAt(1'772'875'080, MailServerKey(1, MailProtocol::kPop3),
        "Incoming mail (POP3) server 'pop.example.org': Authentication failed.");
  AddAt(1'796'129'970, MailServerKey(2, MailProtocol::kSmtp),
        "Outgoing mail (SMTP) server 'smtp.example.org': Connection refused.");
  platform::SetNowForTesting(2'000'000'000);  // showing the list does not restamp it

  EXPECT_EQ(list_.TakeText(),
            "3/7/26 9:18   Incoming mail (POP3) server 'pop.example.org': "
            "Authentication failed.\n"
            "12/1/26 12:59   Outgoing mail (SMTP) server 'smtp.example.org': "
            "Connection refused.\n");
  EXPECT_TRUE(list_.empty());
  EXPECT_EQ(list_.TakeText(), "");
}

TEST_F(NetworkErrorsTest, TrayTooltipShowsOfflineFirstThenErrors) {
  struct Case {
    bool has_errors;
    bool offline;
    std::string_view expected;
  };
  const std::vector<Case> cases = {
      {false, false, "Pelrion"},
      {true, false, "A network error has occured. Please, double-click the icon."},
      {true, true, "Pelrion - Working Offline"},
      {false, true, "Pelrion - Working Offline"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrayTooltip(c.has_errors, c.offline), c.expected)
        << c.has_errors << " " << c.offline;
  }
}

}  // namespace
}  // namespace pelrion::cycle
