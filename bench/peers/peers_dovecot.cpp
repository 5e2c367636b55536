// The private Dovecot POP3 server of the tests, for bench/peers/run: starts it with one user,
// prints "ready PORT PID", then answers commands read from standard input, one a line:
//   fill DIR   adds every file of DIR (in name order) to the mailbox; answers "filled N"
//   count      answers "count N", the messages left in the mailbox
// The end of input (or "stop") stops the server and waits until it is gone.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/dovecot_server.h"

namespace {

using pelrion::test_support::DovecotServer;

std::size_t Fill(DovecotServer& server, const std::string& user, const std::string& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) throw std::runtime_error("cannot read " + file.string());
    server.AddMessage(user, bytes);
  }
  return files.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: peers_dovecot USER PASSWORD\n";
    return 2;
  }
  try {
    DovecotServer server;
    server.AddUser(argv[1], argv[2]);
    std::cout << "ready " << server.pop3_port() << ' ' << server.pid() << std::endl;
    for (std::string line; std::getline(std::cin, line) && line != "stop";) {
      if (line.rfind("fill ", 0) == 0) {
        std::cout << "filled " << Fill(server, argv[1], line.substr(5)) << std::endl;
      } else if (line == "count") {
        std::cout << "count " << server.MessageCount(argv[1]) << std::endl;
      } else {
        std::cout << "unknown command: " << line << std::endl;
      }
    }
  } catch (const std::exception& error) {
    std::cerr << "peers_dovecot: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
