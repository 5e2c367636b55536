// A small POP3 server on 127.0.0.1 for the mail-check tests. It keeps a mailbox and answers
// like a real server (messages dot-stuffed, DELE marks applied only at QUIT, a connection
// that drops keeps every message), except where the test's script says otherwise for one
// command. It serves connection after connection and records every command it received.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "transport/peer_stream_helpers.h"
#include "transport/socket_helpers.h"

namespace pelrion::transport::testing {

inline constexpr const char* kStall = "<stall>";   // no answer: wait until the client leaves
// Closes the connection; at the end of an answer, after sending what comes before it.
inline constexpr const char* kHangUp = "<hang up>";

struct Pop3Script {
  std::string greeting = "+OK POP3 ready\r\n";
  std::string user = "jo";
  std::string password = "secret";
  std::vector<std::string> messages;  // as stored, CR LF line ends
  // UIDL n answers "+OK n uid-<hash of the message>": a message keeps its uid.
  bool uidl = true;
  // Replaces the answer to one command, given as sent ("STAT", "RETR 2"): the exact bytes to
  // send, kStall, or ending in kHangUp. Applies to the first connection only unless `every_connection`.
  std::map<std::string, std::string> answers;
  bool every_connection = false;
  std::string certificate;  // STLS offered when set
  std::string key;
  // Runs before the command is answered (the kill tests end the client there).
  std::function<void(const std::string& command)> before_answer;
};

class ScriptedPop3Peer {
 public:
  explicit ScriptedPop3Peer(Pop3Script script);
  ~ScriptedPop3Peer();
  ScriptedPop3Peer(const ScriptedPop3Peer&) = delete;
  ScriptedPop3Peer& operator=(const ScriptedPop3Peer&) = delete;

  std::uint16_t port() const { return listener_.port(); }
  // Every command received so far, without CR LF, connections one after another.
  std::vector<std::string> Commands();
  // The messages still in the mailbox.
  std::vector<std::string> Mailbox();
  // Blocks until at least `count` connections have ended.
  void WaitForConnections(int count);

 private:
  void Serve();
  void Converse(int fd, bool first);
  bool ReadLine(std::string& line);
  void Write(std::string_view text);
  std::string Answer(const std::string& command, std::vector<bool>& marked, bool& quit);

  Pop3Script script_;
  RawListener listener_;
  PeerStream stream_;
  std::mutex mutex_;
  std::vector<std::string> commands_;
  std::vector<std::string> mailbox_;
  int ended_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

// A test name for a row named by a command ("RETR 2" gives "RETR2").
std::string CommandTestName(const ::testing::TestParamInfo<const char*>& info);

// A message with these header fields (each "Name: value") and body lines, CR LF line ends.
std::string MailText(const std::vector<std::string>& fields, const std::vector<std::string>& body);

}  // namespace pelrion::transport::testing
