// get / set of the preferences, and the listeners' list and settings, through the running
// program's command handler.
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_fixture.h"
#include "core/templates.h"
#include "stores_fixture.h"
#include "transport/listener_tls_settings.h"

namespace pelrion::apptest {
namespace {

struct RangeCase {
  std::string name;
  std::string value;
  std::string message;  // empty: accepted
};

class PreferenceRangeTest : public testing::TestWithParam<RangeCase> {};

TEST_P(PreferenceRangeTest, AcceptedWithinItsRangeAndRefusedWithTheOptionsMessage) {
  const RangeCase& c = GetParam();
  CommandWorld world;
  const std::string before = world.Run({"get", c.name}).output;
  const platform::ControlReply reply = world.Run({"set", c.name, c.value});
  if (c.message.empty()) {
    ASSERT_EQ(reply.exit_code, 0) << reply.errors;
    EXPECT_EQ(world.Run({"get", c.name}).output, c.value + "\n");
    // Saved where the next start reads it.
    bool found = false;
    for (const core::NumberPreference& key : core::NumberPreferences()) {
      if (key.name != c.name) continue;
      found = true;
      const std::string page = key.page == core::PreferencePage::kGeneral
                                   ? core::PreferencesGeneralKey()
                                   : core::PreferencesSenderValidationKey();
      EXPECT_EQ(world.registry.GetNumber(page, key.name), std::stoul(c.value));
    }
    EXPECT_TRUE(found);
  } else {
    EXPECT_EQ(reply.exit_code, 1);
    EXPECT_EQ(reply.errors, c.message + "\n");
    EXPECT_EQ(world.Run({"get", c.name}).output, before);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PreferenceRangeTest,
    testing::Values(
        RangeCase{"checkmail_delay", "1", ""}, RangeCase{"checkmail_delay", "999", ""},
        RangeCase{"checkmail_delay", "0",
                  "Please enter a valid check mail delay (a value between 1 and 999)."},
        RangeCase{"checkmail_delay", "1000",
                  "Please enter a valid check mail delay (a value between 1 and 999)."},
        RangeCase{"expire", "365", ""},
        RangeCase{"expire", "366",
                  "Please enter a valid expiration limit (a value between 1 and 365)."},
        RangeCase{"from", "2", ""},
        RangeCase{"from", "3", "Please enter a valid from (a value between 0 and 2)."},
        RangeCase{"charsetR", "21", ""},
        RangeCase{"charsetC", "22",
                  "Please enter a valid charsetC (a value between 0 and 21)."},
        RangeCase{"junk", "0", ""}, RangeCase{"warnproxy", "4294967295", ""}),
    [](const testing::TestParamInfo<RangeCase>& info) {
      return info.param.name + "_" + info.param.value;
    });

TEST(PreferenceCommandTest, TemplateFileIsReadAndANonRegularFileRefusedWithoutWaiting) {
  CommandWorld world;
  const std::string path = world.temp / "reply.txt";
  std::ofstream(path, std::ios::binary) << "Hello [REMOTE_EMAIL]\r\nBye\r\n";
  ASSERT_EQ(world.Run({"set", "fn_txtR", path}).exit_code, 0);
  EXPECT_EQ(world.Run({"get", "fn_txtR"}).output, path + "\n");
  EXPECT_EQ(core::TemplateText(world.preferences, core::ValidationMethod::kReply,
                               core::TemplateKind::kPlainText),
            "Hello [REMOTE_EMAIL]\nBye\n");

  // A FIFO nobody writes to would block an ordinary open; it is refused at once and the
  // template stays.
  const std::string fifo = world.temp / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& bad : {fifo, world.temp / "missing.txt", world.temp.path()}) {
    const platform::ControlReply reply = world.Run({"set", "fn_txtR", bad});
    EXPECT_EQ(reply.exit_code, 1) << bad;
    EXPECT_EQ(reply.errors.rfind("Failed to load template from file " + bad + ":\n", 0), 0u)
        << reply.errors;
  }
  EXPECT_EQ(world.Run({"get", "fn_txtR"}).output, path + "\n");
}

TEST(ListenerCommandThreadTest, ListShowsEveryListenerAndSetMovesAndRestartsIt) {
  CommandWorld world;
  const std::uint32_t account = world.AddAccount("Home", 110);
  const auto fields = world.stores.accounts->CopyOf(account);
  ASSERT_TRUE(fields);
  const std::uint32_t pop3 = fields->pop3_listener_id;

  nlohmann::json list = world.Json({"listener", "list"});
  ASSERT_EQ(list.size(), 2u);
  const nlohmann::json& first = list[0];
  for (const char* key : {"id", "host", "port", "protocol", "local_address", "local_port",
                          "running", "tls"}) {
    EXPECT_TRUE(first.contains(key)) << key;
  }
  EXPECT_EQ(first.size(), 8u);
  EXPECT_EQ(first["id"], pop3);
  EXPECT_EQ(first["protocol"], "pop3");
  EXPECT_EQ(first["host"], "pop.example.org");
  EXPECT_EQ(first["local_address"], "127.0.0.1");
  EXPECT_EQ(first["running"], true);
  EXPECT_EQ(first["tls"], "auto");
  EXPECT_EQ(list[1]["protocol"], "smtp");

  const std::string port = std::to_string(UnusedPort());
  ASSERT_EQ(world.Run({"listener", "set", std::to_string(pop3), "--address", "all", "--port",
                       port, "--tls", "implicit", "--fingerprint", std::string(64, 'a')})
                .exit_code,
            0);
  list = world.Json({"listener", "list"});
  EXPECT_EQ(list[0]["local_address"], "0.0.0.0");
  EXPECT_EQ(list[0]["local_port"].get<std::uint32_t>(), std::stoul(port));
  EXPECT_EQ(list[0]["tls"], "implicit");
  EXPECT_EQ(list[0]["running"], true);
  EXPECT_EQ(transport::ReadListenerTlsSettings(world.registry, pop3).fingerprint,
            std::string(64, 'a'));

  struct Refusal {
    std::vector<std::string> options;
    int exit_code;
    std::string message;
  };
  for (const Refusal& r : {Refusal{{"--address", "1.2.3"}, 1, "Please enter a valid IP address."},
                           Refusal{{"--port", "0"}, 1, "Please enter a valid port number."},
                           Refusal{{"--fingerprint", "abc"}, 2, ""}}) {
    std::vector<std::string> words = {"listener", "set", std::to_string(pop3)};
    words.insert(words.end(), r.options.begin(), r.options.end());
    const platform::ControlReply reply = world.Run(words);
    EXPECT_EQ(reply.exit_code, r.exit_code) << r.options[0];
    if (!r.message.empty()) {
      EXPECT_EQ(reply.errors, r.message + "\n");
    }
  }
  EXPECT_EQ(world.Json({"listener", "list"})[0]["local_port"].get<std::uint32_t>(),
            std::stoul(port));

  world.listeners.StopListener(pop3);
  EXPECT_EQ(world.Json({"listener", "list"})[0]["running"], false);
  ASSERT_EQ(world.Run({"listener", "start", std::to_string(pop3)}).exit_code, 0);
  EXPECT_TRUE(world.listeners.IsRunning(pop3));
}

}  // namespace
}  // namespace pelrion::apptest
