// One account's conversation with its POP3 server: greeting (TLS first or STLS where due),
// USER and PASS, STAT, RETR of every message into the store, then DELE of every message
// that is safe to delete and QUIT. Nothing is deleted before every message was retrieved
// and everything kept is on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "transport/check_work.h"
#include "transport/net_connection.h"
#include "transport/pop3_upstream.h"
#include "transport/progress_publisher.h"
#include "transport/tls_policy.h"
#include "transport/worker_reports.h"
#include "validation/message_fate.h"

namespace pelrion::transport {

// A refusal or a local failure that ends the conversation: the server's reply line (CR LF
// kept) or the text the user sees.
struct Pop3Refusal {
  std::string line;
};

// What the conversation needs besides its account; everything must outlive the session.
struct CheckServices {
  const validation::FateServices& fate;
  std::string database_folder;  // ends in '/'
  PlainConversationPolicy policy = DecidePlainConversation;
};

enum class CheckOutcome {
  kComplete,     // every message retrieved; the safe ones deleted; QUIT answered
  kAccountGone,  // the account was removed meanwhile: nothing deleted, no report is due
};

class MailCheckSession {
 public:
  MailCheckSession(NetConnection& connection, const CheckAccountWork& work,
                   const CheckServices& services, ProgressPublisher& progress,
                   WorkerReports& reports);

  // Throws NetError, or Pop3Refusal (also after QUIT when a RETR was refused: the other
  // messages were still retrieved and deleted).
  CheckOutcome Run();

 private:
  CheckOutcome Converse();
  void Connect();
  void LogIn();
  std::uint32_t Stat();
  void ReceiveAll(std::uint32_t count);
  void SendRetr(std::uint32_t n);
  // False when the server refused to send it.
  bool ReceiveMessage(std::uint32_t n, std::uint32_t count);
  std::string AskUidl(std::uint32_t n);
  void MakeDurable();
  void DeleteSafeOnes(std::uint32_t count);
  void Quit();

  std::string_view ReadReply();
  // Sends the command; its reply must be positive, else it is the refusal.
  std::string_view Expect(std::string_view command);

  NetConnection& connection_;
  const CheckAccountWork& work_;
  const CheckServices& services_;
  ProgressPublisher& progress_;
  WorkerReports& reports_;
  std::string account_name_;
  TlsMode mode_;
  std::unique_ptr<ReceiveProgress> receive_progress_;  // once STAT gave a count
  std::vector<bool> deletable_;  // by message number - 1
  std::string first_retr_refusal_;
};

}  // namespace pelrion::transport
