// pelrion-serve-pop3: files every message of a corpus folder (CR LF line ends, in name order)
// into the Inbox of one account of a fresh database folder, then serves that Inbox with the
// local POP3 server on 127.0.0.1, one session thread per connection, as the program's POP3
// listener does. Prints "ready PORT" once it accepts; runs until its standard input ends.
//   pelrion-serve-pop3 --data DIR --corpus DIR --user U --password P
// Exit status: 0 after standard input ended, 1 on a failure, 2 usage.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/stores.h"
#include "app/tool_stores.h"
#include "core/preferences.h"
#include "crypto/md5.h"
#include "mailformat/mime_scanner.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/content_digest.h"
#include "store/message_record.h"
#include "transport/pop3_server_session.h"
#include "transport/process_setup.h"

namespace pelrion::servetool {
namespace {

struct Options {
  std::string data, corpus, user, password;
};

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The record of one message as the mail check would file it into the Inbox.
void FileInbox(app::Stores& stores, std::uint32_t account, const std::string& text) {
  auto record = std::make_unique<store::MessageRecord>();
  const std::string path = stores.message_calls->CreateMessageFile(*record);
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
  mailformat::MimeScanner scanner;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t lf = text.find('\n', start);
    const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
    scanner.FeedLine(std::string_view(text).substr(start, end - start),
                     static_cast<std::uint32_t>(end));
    start = end;
  }
  record->account_id = account;
  record->flags = store::kFlagDecided | store::kFlagInbox;
  record->summary.header_length =
      static_cast<std::int32_t>(scanner.headers_ended() ? scanner.header_length() : text.size());
  record->summary.body_line_count = scanner.body_line_count();
  record->summary.file_size = static_cast<std::uint32_t>(text.size());
  record->summary.content_digest =
      crypto::Md5Of(std::string_view(text).substr(0, store::kContentDigestSpan));
  stores.message_calls->RegisterMessage(std::move(record));
}

std::uint32_t AddAccount(app::Stores& stores, const Options& options) {
  store::MailAccount fields;
  fields.pop3_listener_id = stores.listeners->FindOrCreateListener(
      "127.0.0.1", 110, store::ListenerProtocol::kPop3, /*start=*/false);
  fields.smtp_listener_id = stores.listeners->FindOrCreateListener(
      "127.0.0.1", 25, store::ListenerProtocol::kSmtp, /*start=*/false);
  fields.pop3_user_name.Set(options.user);
  fields.pop3_password.Set(options.password);
  fields.email_address.Set(options.user + "@localhost");
  fields.friendly_name.Set(options.user);
  return stores.accounts->AddAccount(fields);
}

// One session thread per accepted connection, each with its own job, as a listener runs them.
void AcceptLoop(transport::NetConnection& listening, transport::ListenerWork listener,
                transport::Pop3SessionPorts& ports) {
  for (;;) {
    int fd = -1;
    try {
      fd = listening.Accept();  // waits; the socket itself does not block
    } catch (transport::NetError) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    std::thread([fd, listener, &ports] {
      transport::WorkerJob record;
      transport::NetConnection client(200, 200, &record);
      client.Adopt(fd);
      record.SetSocket(fd, 0);
      try {
        transport::RunPop3Session(client, record, listener, ports);
      } catch (transport::NetError) {
      }
    }).detach();
  }
}

int Run(const Options& options) {
  transport::PrepareProcessForNetwork();
  app::ToolStores tool(options.data);
  platform::PlainMainThread& main_thread = tool.main_thread;
  app::Stores& stores = tool.stores;
  const std::uint32_t account = AddAccount(stores, options);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(options.corpus)) {
    if (entry.is_regular_file()) names.push_back(entry.path().string());
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) FileInbox(stores, account, ReadWhole(name));

  transport::ListenerWork listener;
  listener.id = stores.accounts->CopyOf(account)->pop3_listener_id;
  transport::Pop3SessionPorts ports = transport::DefaultPop3SessionPorts(
      *stores.accounts, *stores.message_calls, options.data);

  transport::WorkerJob job;
  transport::NetConnection listening(-1, -1, &job);
  listening.Create();
  listening.Bind(0x7F000001, 0);
  listening.Listen();
  sockaddr_in at{};
  socklen_t size = sizeof at;
  ::getsockname(listening.handle(), reinterpret_cast<sockaddr*>(&at), &size);
  std::thread(AcceptLoop, std::ref(listening), listener, std::ref(ports)).detach();
  std::cout << "ready " << ntohs(at.sin_port) << std::endl;

  std::atomic<bool> input_ended{false};
  std::thread([&input_ended] {
    char ignored;
    while (::read(0, &ignored, 1) > 0) {
    }
    input_ended = true;
  }).detach();
  main_thread.WaitServing([&] { return input_ended.load(); });
  // Sessions still running are cut off with the process.
  std::cout.flush();
  ::_exit(0);
}

}  // namespace
}  // namespace pelrion::servetool

int main(int argc, char** argv) {
  pelrion::servetool::Options options;
  std::map<std::string, std::string*> fields{{"--data", &options.data},
                                             {"--corpus", &options.corpus},
                                             {"--user", &options.user},
                                             {"--password", &options.password}};
  for (int i = 1; i + 1 < argc; i += 2) {
    const auto field = fields.find(argv[i]);
    if (field == fields.end()) break;
    *field->second = argv[i + 1];
  }
  if (options.data.empty() || options.corpus.empty() || options.user.empty()) {
    std::cerr << "usage: pelrion-serve-pop3 --data DIR --corpus DIR --user U --password P\n";
    return 2;
  }
  if (!options.data.ends_with('/')) options.data += '/';
  try {
    return pelrion::servetool::Run(options);
  } catch (pelrion::transport::NetError error) {
    std::cerr << "pelrion-serve-pop3: " << pelrion::transport::ErrorText(error) << "\n";
    return 1;
  }
}
