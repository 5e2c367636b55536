// An account made with the set-up wizard is served at once: the listener Finish creates is
// started, and a mail program that connects to it on 127.0.0.1 logs in with the account's
// name and password. Real listener threads over real stores.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "account_test_helpers.h"
#include "app/program_listeners.h"
#include "app/stores.h"
#include "support/temp_dir.h"
#include "ui/setup_wizard.h"
#include "ui_test_app.h"

namespace pelrion::ui {
namespace {

using testing_support::ScriptedDialogs;

// Stores whose listeners run as in the program: the listener table starts each new listener.
struct ListeningWorld {
  ListeningWorld() {
    app::OpenStores(stores, {.database_folder = dir.path() + "/",
                             .preferences = preferences,
                             .main_thread = main_thread,
                             .listener_control = listeners.threads(),
                             .status_notices = notices,
                             .folders_view = folders,
                             .registry = registry});
  }

  test_support::TempDir dir;
  core::Preferences preferences;
  platform::PlainMainThread main_thread;
  platform::MemoryRegistry registry;
  store::NoStatusNotices notices;
  store::NoFoldersView folders;
  testing_support::QuietReports reports;
  app::Stores stores;
  // Declared after the stores: stopped before they close.
  app::ProgramListeners listeners{main_thread, stores,
                                  registry,    preferences,
                                  reports,     {dir.path() + "/", "USR00C0FFEE", "pelrion.test"}};
};

// One POP3 conversation on 127.0.0.1:port: the greeting, then each command's first reply
// line; an empty line stands for a failure. Retries the connection while the listener's
// thread is still binding.
std::vector<std::string> Converse(std::uint16_t port, const std::vector<std::string>& commands) {
  std::vector<std::string> replies;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      fd = -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  if (fd < 0) return replies;
  timeval timeout{.tv_sec = 20, .tv_usec = 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  const auto read_line = [fd] {
    std::string line;
    char c;
    while (::recv(fd, &c, 1, 0) == 1) {
      if (c == '\n') return line;
      if (c != '\r') line += c;
    }
    return std::string();
  };
  replies.push_back(read_line());
  for (const std::string& command : commands) {
    const std::string sent = command + "\r\n";
    if (::send(fd, sent.data(), sent.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(sent.size()))
      break;
    replies.push_back(read_line());
  }
  ::close(fd);
  return replies;
}

TEST(SetupWizardListenerThreadTest, CreatedAccountsListenerServesItsLogin) {
  testing_support::TestApp();
  ScriptedDialogs dialogs;
  ListeningWorld world;
  NoMailClients no_clients;
  SetupWizard wizard(*world.stores.accounts, *world.stores.listeners, no_clients);
  wizard.show();
  wizard.Field("display_name")->setText("Jo Doe");
  wizard.Field("email")->setText("jo@example.org");
  wizard.Field("pop3_host")->setText("pop.example.org");
  wizard.Field("smtp_host")->setText("smtp.example.org");
  wizard.Field("pop3_user")->setText("jo");
  wizard.Field("pop3_password")->setText("secret");
  static_cast<WizardStartPage*>(wizard.page(kStartPage))->manual_choice()->setChecked(true);
  while (wizard.currentId() != kManualDonePage) {
    const int before = wizard.currentId();
    wizard.next();
    ASSERT_NE(wizard.currentId(), before);
  }
  wizard.button(QWizard::FinishButton)->click();
  const std::optional<store::MailAccount> account =
      world.stores.accounts->CopyOf(wizard.created_account());
  ASSERT_TRUE(account);
  const store::Listener pop3 = *world.stores.listeners->CopyOf(account->pop3_listener_id);
  EXPECT_EQ(pop3.local_address, store::kLoopbackAddress);
  EXPECT_TRUE(world.listeners.threads().IsRunning(pop3.id));
  EXPECT_TRUE(world.listeners.threads().IsRunning(account->smtp_listener_id));

  std::vector<std::string> replies;
  std::atomic<bool> done{false};
  std::thread client([&] {
    replies = Converse(static_cast<std::uint16_t>(pop3.local_port),
                       {"USER jo", "PASS secret", "STAT", "QUIT"});
    done = true;
  });
  world.main_thread.WaitServing([&] { return done.load(); });
  client.join();
  ASSERT_EQ(replies.size(), 5u) << "port " << pop3.local_port;
  for (const std::string& reply : replies) EXPECT_EQ(reply.rfind("+OK", 0), 0u) << reply;
  EXPECT_EQ(replies[3], "+OK 0 0");

  world.listeners.threads().StopAll();
}

}  // namespace
}  // namespace pelrion::ui
