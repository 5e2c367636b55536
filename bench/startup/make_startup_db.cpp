// make_startup_db: fills a database folder for the start-up benchmark through the program's
// own stores: two accounts, MESSAGES small but real message files (scanned, analysed and
// filed as a download files them; Inbox, Quarantine, Junk Mail and Trash mixed, the held ones
// with their request sent a day ago so that nothing expires or is sent at start) and
// CONTACTS contacts with one to three addresses each on both lists.
//   make_startup_db --db DIR [--messages N] [--contacts N]
// DIR is made when missing and must hold no database yet. Exit status 0, 1 failure, 2 usage.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/stores.h"
#include "app/tool_stores.h"
#include "mailformat/mime_scanner.h"
#include "store/content_digest.h"
#include "store/message_record.h"
#include "validation/arrival_analysis.h"
#include "validation/classification_input.h"

namespace {

namespace fs = std::filesystem;
using namespace pelrion;

struct Options {
  std::string db;
  std::size_t messages = 100'000;
  std::size_t contacts = 10'000;
};

constexpr const char* kFirst[] = {"john", "ann", "bob", "carol", "dave", "eve", "frank",
                                  "grace", "heidi", "ivan", "judy", "mallory", "oscar"};
constexpr const char* kLast[] = {"doe", "lee", "smith", "jones", "adams", "hopper", "dupont",
                                 "meyer", "rossi", "tanaka", "silva"};
constexpr const char* kDomains[] = {"example.com", "example.org", "example.net",
                                    "mail.example.de", "lists.example.fr", "corp.example.co.uk"};
constexpr const char* kSubjects[] = {
    "Re: Quarterly figures and the budget review", "Meeting notes from Tuesday",
    "=?iso-8859-1?Q?R=E9union_de_lundi?= - agenda", "Your invoice #48213 is ready",
    "Fwd: Photos from the trip", "LIMITED OFFER: 70% off this weekend only",
    "[dev-list] Patch: fix the reconnect loop", "Password reset requested"};
// Folder flags by n % 10: six in the Inbox (two of them read), one held, two in Junk Mail,
// one in the Trash.
constexpr std::uint32_t kFolderFlags[] = {0x03, 0x03, 0x0B, 0x03, 0x0B, 0x03, 0x00, 0x01, 0x01,
                                          0x05};

template <typename T, std::size_t N>
const T& Pick(const T (&table)[N], std::size_t n) {
  return table[n % N];
}

std::string Sender(std::size_t n) {
  return std::string(Pick(kFirst, n)) + "." + Pick(kLast, n / 13) + std::to_string(n % 7000) +
         "@" + Pick(kDomains, n / 3);
}

// A few hundred bytes to a few kB, CR LF line ends; every fourth one multipart/alternative.
std::string MessageText(std::size_t n, std::time_t now) {
  const std::string sender = Sender(n);
  char date[64];
  const std::time_t sent = now - 86400 * 30 + static_cast<std::time_t>(n % (86400 * 29));
  std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S +0000", std::gmtime(&sent));
  std::string text = "Received: from mx" + std::to_string(n % 9) +
                     ".example.net by pop.example.net; " + date + "\r\n" +
                     "From: \"" + Pick(kLast, n / 13) + ", " + Pick(kFirst, n) + "\" <" + sender +
                     ">\r\nTo: Ann Lee <ann.lee@example.net>\r\nSubject: " + Pick(kSubjects, n) +
                     "\r\nDate: " + date + "\r\nMessage-ID: <m" + std::to_string(n) +
                     "@example.net>\r\nMIME-Version: 1.0\r\n";
  std::string body;
  for (std::size_t line = 0; line < 4 + n % 40; ++line) {
    body += "Line " + std::to_string(line) + " of message " + std::to_string(n) +
            ": the quick brown fox jumps over the lazy dog.\r\n";
  }
  if (n % 4 != 0) {
    return text + "Content-Type: text/plain; charset=us-ascii\r\n\r\n" + body;
  }
  return text + "Content-Type: multipart/alternative; boundary=\"b" + std::to_string(n) +
         "\"\r\n\r\n--b" + std::to_string(n) + "\r\nContent-Type: text/plain\r\n\r\n" + body +
         "--b" + std::to_string(n) + "\r\nContent-Type: text/html\r\n\r\n<p>" + body + "</p>\r\n--b" +
         std::to_string(n) + "--\r\n";
}

std::uint32_t AddAccount(app::Stores& stores, int n) {
  store::MailAccount fields;
  // Real servers that are never asked: the benchmark turns the mail check off.
  fields.pop3_listener_id = stores.listeners->FindOrCreateListener(
      "pop" + std::to_string(n) + ".example.net", 110, store::ListenerProtocol::kPop3, false);
  fields.smtp_listener_id = stores.listeners->FindOrCreateListener(
      "smtp" + std::to_string(n) + ".example.net", 25, store::ListenerProtocol::kSmtp, false);
  fields.pop3_user_name.Set("user" + std::to_string(n));
  fields.pop3_password.Set("password" + std::to_string(n));
  fields.email_address.Set("user" + std::to_string(n) + "@example.net");
  fields.friendly_name.Set("Account " + std::to_string(n));
  return stores.accounts->AddAccount(fields);
}

// Files message n as the mail check does: file written, scanned, analysed, fingerprinted.
bool FileMessage(app::Stores& stores, const std::string& scratch, std::uint32_t account,
                 std::size_t n, std::time_t now) {
  auto record = std::make_unique<store::MessageRecord>();
  stores.messages->CreateMessageFile(*record);
  const std::string path = stores.messages->MessageFilePath(*record);
  const std::string text = MessageText(n, now);
  std::ofstream(path, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));

  mailformat::MimeScanner scanner;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start) + 1;
    scanner.FeedLine(std::string_view(text).substr(start, end - start),
                     static_cast<std::uint32_t>(end));
    start = end;
  }
  record->summary.header_length = static_cast<std::int32_t>(scanner.header_length());
  record->summary.body_line_count = scanner.body_line_count();
  record->summary.set_part_table(mailformat::BuildPartTable(scanner, path));
  validation::ClassificationInput input;
  std::string message_id;
  const auto fingerprint = store::ReadContentFingerprint(path);
  if (!validation::AnalyseMessage(*record, path, scratch, input, message_id) || !fingerprint) {
    return false;
  }
  record->summary.file_size = static_cast<std::uint32_t>(fingerprint->file_size);
  record->summary.content_digest = fingerprint->digest;
  record->account_id = account;
  record->flags = Pick(kFolderFlags, n);
  const bool held = record->flags == 0;
  record->status = held ? 1 : (record->flags & store::kFlagInbox) != 0 ? 7 : 5;
  store::MessageRecord* filed = stores.messages->RegisterMessage(std::move(record));
  if (filed == nullptr) return false;
  if (held) {
    // Its request went out a day ago: nothing to send and nothing expires at start.
    filed->request_sent_time = static_cast<std::int32_t>(now - 86400);
    filed->status = 2;
    stores.messages->SaveRecord(*filed);
  }
  return true;
}

std::vector<std::string> ContactAddresses(std::size_t n) {
  std::vector<std::string> addresses;
  for (std::size_t i = 0; i < 1 + n % 3; ++i) {
    addresses.push_back(std::string(Pick(kFirst, n + i)) + ".c" + std::to_string(n) + "x" +
                        std::to_string(i) + "@" + Pick(kDomains, n + 2 * i));
  }
  return addresses;
}

int Usage() {
  std::cerr << "usage: make_startup_db --db DIR [--messages N] [--contacts N]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    if (name == "--db") {
      options.db = argv[i + 1];
    } else if (name == "--messages") {
      options.messages = std::stoul(argv[i + 1]);
    } else if (name == "--contacts") {
      options.contacts = std::stoul(argv[i + 1]);
    } else {
      return Usage();
    }
  }
  if (options.db.empty() || argc % 2 == 0) return Usage();
  if (options.db.back() != '/') options.db += '/';
  std::error_code error;
  fs::create_directories(options.db, error);
  if (fs::exists(options.db + "db1.dat")) {
    std::cerr << "make_startup_db: " << options.db << " already holds a database\n";
    return 1;
  }
  const std::string scratch = options.db + "../make_startup_db.tmp/";
  fs::create_directories(scratch, error);

  {
    app::ToolStores tool(options.db);
    app::Stores& stores = tool.stores;
    const std::uint32_t accounts[] = {AddAccount(stores, 1), AddAccount(stores, 2)};
    const std::time_t now = std::time(nullptr);
    for (std::size_t n = 0; n < options.messages; ++n) {
      if (!FileMessage(stores, scratch, accounts[n % 2], n, now)) {
        std::cerr << "make_startup_db: message " << n << " was not filed\n";
        return 1;
      }
    }
    for (std::size_t n = 0; n < options.contacts; ++n) {
      const std::string name = std::string(Pick(kFirst, n)) + " " + Pick(kLast, n / 5);
      // One contact in ten on the Black List.
      if (stores.address_lists->AddContact(name, ContactAddresses(n), n % 10 == 0 ? 1 : 0) ==
          nullptr) {
        std::cerr << "make_startup_db: contact " << n << " was not added\n";
        return 1;
      }
    }
  }
  fs::remove_all(scratch, error);
  std::cout << "filed " << options.messages << " messages and " << options.contacts
            << " contacts in " << options.db << "\n";
  return 0;
}
