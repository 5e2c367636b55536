// What the sending worker reported, and which requests it counted as delivered or refused,
// recorded for the tests in place of the mail cycle and the quarantine.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transport/tls_policy.h"
#include "transport/worker_reports.h"
#include "validation/send_work.h"
#include "validation/request_outcomes.h"

namespace pelrion::transport::testing {

struct RecordedSend : WorkerReports, validation::RequestOutcomes {
  void ActivityState(int state) override { activities.push_back(state); }
  void StatusChanged(const StatusRecord& status, int) override { last_status = status; }
  void NetworkErrorReport(const std::string&, std::uint32_t, MailProtocol,
                          const std::string& text, const std::string& certificate) override {
    errors.push_back(text);
    certificates.push_back(certificate);
  }
  void SuccessNotice(const std::string&, std::uint32_t, MailProtocol) override { ++successes; }
  void Finished() override { ++finished; }
  void RequestDelivered(const std::string& address) override { delivered.push_back(address); }
  void RequestRefused(const std::string& address) override { refused.push_back(address); }

  std::vector<int> activities;
  StatusRecord last_status;
  std::vector<std::string> errors;
  std::vector<std::string> certificates;  // each report's refused certificate
  int successes = 0;
  int finished = 0;
  std::vector<std::string> delivered;
  std::vector<std::string> refused;
};

// The test account's group for the SMTP server on 127.0.0.1:port, without requests.
inline validation::SendGroupWork TestAccountGroup(std::uint16_t port, bool authentication,
                                                  TlsMode mode) {
  validation::SendGroupWork group;
  group.account_id = 3;
  group.account_name = "Home";
  group.smtp_authentication = authentication;
  group.smtp_user_name = "jo";
  group.smtp_password = "pass";
  group.email_address = "me@example.test";
  group.server_host = "127.0.0.1";
  group.server_port = port;
  group.tls_mode = static_cast<std::uint32_t>(mode);
  return group;
}

}  // namespace pelrion::transport::testing
