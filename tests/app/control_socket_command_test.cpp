// One request over the real control socket, from the client's prepared words to the running
// program's handler and back: the passwords travel on the input, the reply keeps its exit code.
#include <atomic>
#include <sstream>
#include <string>
#include <thread>
#include <variant>

#include <gtest/gtest.h>

#include "app/command_dispatch.h"
#include "app/command_line.h"
#include "command_fixture.h"
#include "platform/control_client.h"
#include "platform/control_server.h"
#include "support/scoped_env.h"

namespace pelrion::apptest {
namespace {

struct ClientOutcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

TEST(ControlSocketCommandThreadTest, ClientAndProgramAgreeOverTheSocket) {
  CommandWorld world;
  test_support::TempDir runtime;
  const test_support::ScopedEnv env("XDG_RUNTIME_DIR", runtime.path());
  platform::ControlServer server(world.main_thread,
                                 [&world](platform::ControlRequest request,
                                          platform::ControlResponder respond) {
                                   app::HandleControlRequest(world.context, std::move(request),
                                                             std::move(respond));
                                 });
  ASSERT_EQ(server.Start(world.temp.path()), platform::ControlStartOutcome::kListening)
      << server.error();

  auto run = [&](const std::vector<std::string>& words, const std::string& typed) {
    const auto prepared = app::PrepareClientCommand(words, "/");
    EXPECT_TRUE(std::holds_alternative<app::ClientCommand>(prepared));
    const auto& client_command = std::get<app::ClientCommand>(prepared);
    std::istringstream stdin_text(typed);
    const platform::ControlRequest request{
        client_command.words, app::ReadCommandInput(stdin_text, client_command.input_lines)};
    std::atomic<bool> done{false};
    ClientOutcome outcome;
    std::thread client([&] {
      std::ostringstream out, err;
      outcome.exit_code = platform::RunControlCommand(server.socket_path(), request, out, err);
      outcome.out = out.str();
      outcome.err = err.str();
      done = true;
    });
    world.main_thread.RunUntil([&] { return done.load(); });
    client.join();
    return outcome;
  };

  const ClientOutcome added =
      run({"account", "add", "--name", "Home", "--display-name", "Jane", "--email",
           "jane@example.org", "--pop3", "pop.example.org", "--pop3-user", "jane", "--smtp",
           "smtp.example.org"},
          "secret\nnot read\n");
  EXPECT_EQ(added.exit_code, 0) << added.err;
  EXPECT_NE(added.out.find("The account has been successfully created."), std::string::npos);
  const auto stored = world.stores.accounts->CopyOf(world.stores.accounts->Ids().front());
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->pop3_password.Text(), "secret");

  const ClientOutcome unknown = run({"approve", "77"}, "");
  EXPECT_EQ(unknown.exit_code, 1);
  EXPECT_NE(unknown.err.find("77"), std::string::npos);

  const ClientOutcome stop = run({"stop"}, "");
  EXPECT_EQ(stop.exit_code, 0);
  EXPECT_TRUE(world.stop_requested);
  server.Stop();
}

}  // namespace
}  // namespace pelrion::apptest
