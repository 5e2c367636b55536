// Evolution's sources and the accountrc of Claws Mail and Sylpheed.
#include "import/linux_mail_accounts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pelrion::importtest {
namespace {

using import::EvolutionSource;

std::vector<EvolutionSource> EvolutionSources(const std::string& transport_backend) {
  return {
      {"acct",
       "[Data Source]\nDisplayName=Home\nEnabled=true\n\n[Mail Account]\n"
       "BackendName=pop\nIdentityUid=ident\n"
       "\n[Authentication]\nHost=pop.x.org\nPort=995\nUser=jo\n"},
      {"ident",
       "[Data Source]\nDisplayName=Jo\nParent=acct\n\n[Mail Identity]\n"
       "Address=Jo@X.org\nName=Jo Doe\n\n[Mail Submission]\nTransportUid=trans\n"},
      {"trans", "[Data Source]\nParent=acct\n\n[Mail Transport]\nBackendName=" + transport_backend +
                    "\n\n[Authentication]\nHost=smtp.x.org\nPort=587\n"},
      {"imap",
       "[Data Source]\nDisplayName=Other\n\n[Mail Account]\nBackendName=imapx\n"
       "IdentityUid=ident\n\n[Authentication]\nHost=imap.x.org\nUser=jo\n"},
  };
}

TEST(EvolutionAccountsTest, PopAccountsTakeTheirIdentityAndSmtpTransport) {
  const auto candidates = import::ReadEvolutionAccounts(EvolutionSources("smtp"));
  ASSERT_EQ(candidates.size(), 1u);
  const auto& c = candidates[0];
  EXPECT_EQ(c.friendly_name, "Home");
  EXPECT_EQ(c.display_name, "Jo Doe");
  EXPECT_EQ(c.email_address, "jo@x.org");
  EXPECT_EQ(c.pop3_host, "pop.x.org");
  EXPECT_EQ(c.pop3_port, 995u);
  EXPECT_EQ(c.pop3_user, "jo");
  EXPECT_EQ(c.smtp_host, "smtp.x.org");
  EXPECT_EQ(c.smtp_port, 587u);
  // Sending through a local program instead of SMTP leaves no server to relay to.
  EXPECT_TRUE(import::ReadEvolutionAccounts(EvolutionSources("sendmail")).empty());
  // An identity that does not exist.
  auto sources = EvolutionSources("smtp");
  sources.erase(sources.begin() + 1);
  EXPECT_TRUE(import::ReadEvolutionAccounts(sources).empty());
}

std::string Accountrc(const std::string& number, const std::string& protocol,
                      const std::string& extra) {
  // The extra lines come first: the first value of a key counts.
  return "[Account: " + number + "]\n" + extra + "account_name=Acct" + number + "\nname=Jo\n" +
         "address=Jo@X.org\nprotocol=" + protocol + "\nreceive_server=pop.x.org\n" +
         "smtp_server=smtp.x.org\nuser_id=jo\nset_popport=0\npop_port=999\n";
}

TEST(AccountrcTest, PopAccountsWithTheirChosenPorts) {
  const std::string text =
      "[Other]\nprotocol=0\n" + Accountrc("1", "0", "set_smtpport=1\nsmtp_port=587\n") +
      Accountrc("2", "3", "") + Accountrc("3", "1", "set_popport=1\npop_port=abc\n") +
      Accountrc("4", "0", "user_id=\n") + Accountrc("5", "0", "set_popport=1\npop_port=1110\n");
  const auto candidates = import::ReadAccountrcAccounts(text);
  ASSERT_EQ(candidates.size(), 3u);
  EXPECT_EQ(candidates[0].friendly_name, "Acct1");
  EXPECT_EQ(candidates[0].email_address, "jo@x.org");
  EXPECT_EQ(candidates[0].pop3_port, 110u);
  EXPECT_EQ(candidates[0].smtp_port, 587u);
  EXPECT_EQ(candidates[1].friendly_name, "Acct3");
  EXPECT_EQ(candidates[1].pop3_port, 110u);
  EXPECT_EQ(candidates[1].smtp_port, 25u);
  EXPECT_EQ(candidates[2].friendly_name, "Acct5");
  EXPECT_EQ(candidates[2].pop3_port, 1110u);
}

}  // namespace
}  // namespace pelrion::importtest
