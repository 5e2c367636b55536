// The "Listeners" window and a listener's properties sheet over real stores. The listener
// threads are stood in for by a control that records starts and stops: the restart itself
// runs real threads in the transport tests.
#include "ui/listeners_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "app/stores_fixture.h"
#include "store/recording_listener_control.h"
#include "support/temp_dir.h"
#include "transport/listener_properties.h"
#include "ui/listener_properties_sheet.h"
#include "ui/scripted_dialogs.h"
#include "ui/ui_test_app.h"

namespace pelrion::ui {
namespace {

using store::testing::RecordingControl;
using testing_support::ScriptedDialogs;
using testing_support::SaveScreenshot;
using testing_support::TestApp;

const std::vector<std::string> kChoices = {"all (unassigned)", "127.0.0.1", "192.0.2.7"};

struct ListenerWorld {
  ListenerWorld() : fixture(dir.path()) {
    TestApp();
    account = apptest::AddAccount(fixture.stores, 1110);
    const auto fields = fixture.stores.accounts->CopyOf(account);
    pop3 = fields->pop3_listener_id;
    smtp = fields->smtp_listener_id;
  }
  store::ListenerTable& table() { return *fixture.stores.listeners; }

  test_support::TempDir dir;
  apptest::StoresFixture fixture;
  RecordingControl control;
  ScriptedDialogs dialogs;
  std::uint32_t account = 0, pop3 = 0, smtp = 0;
};

struct EndpointCase {
  const char* name;
  const char* address;
  const char* port;
  const char* message;        // nullptr: accepted
  bool focus_on_address;
};

TEST(ListenerPropertiesSheetTest, RefusesTheAddressFirstThenThePortAndFocusesTheField) {
  const EndpointCase cases[] = {
      {"part above 255", "10.0.0.256", "110", "Please enter a valid IP address.", true},
      {"name instead of address", "localhost", "110", "Please enter a valid IP address.", true},
      {"both wrong: address first", "1.2.3", "0", "Please enter a valid IP address.", true},
      {"port zero", "127.0.0.1", "0", "Please enter a valid port number.", false},
      {"port above 65535", "all (unassigned)", "70000", "Please enter a valid port number.",
       false},
      {"port not a number", "127.0.0.1", "pop", "Please enter a valid port number.", false},
  };
  for (const EndpointCase& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerWorld world;
    const store::Listener before = *world.table().CopyOf(world.pop3);
    ListenerPropertiesSheet sheet(world.table(), world.control, world.dialogs, world.pop3,
                                  kChoices);
    sheet.address_field()->setEditText(c.address);
    sheet.port_field()->setText(c.port);
    // The focus starts on the other field, so the sheet must move it.
    QWidget* other = c.focus_on_address ? static_cast<QWidget*>(sheet.port_field())
                                        : static_cast<QWidget*>(sheet.address_field());
    other->setFocus();

    EXPECT_FALSE(sheet.Apply());

    ASSERT_EQ(world.dialogs.boxes.size(), 1u);
    EXPECT_EQ(world.dialogs.boxes[0].text, c.message);
    EXPECT_EQ(world.dialogs.boxes[0].caption, "Listeners");
    EXPECT_EQ(world.dialogs.boxes[0].icon, platform::DialogIcon::kWarning);
    QWidget* want = c.focus_on_address ? static_cast<QWidget*>(sheet.address_field())
                                       : static_cast<QWidget*>(sheet.port_field());
    EXPECT_EQ(sheet.focusWidget(), want);
    const store::Listener after = *world.table().CopyOf(world.pop3);
    EXPECT_TRUE(store::SameStoredListener(before, after)) << "nothing stored";
    EXPECT_TRUE(world.control.started.empty());
  }
}

TEST(ListenerPropertiesSheetTest, ShowsTheServerAndTheStoredEndpoint) {
  ListenerWorld world;
  world.table().SetLocalEndpoint(world.smtp, 0, 2525);
  ListenerPropertiesSheet sheet(world.table(), world.control, world.dialogs, world.smtp,
                                kChoices);
  EXPECT_EQ(sheet.windowTitle(), "smtp.example.org (SMTP) Properties");
  EXPECT_EQ(sheet.address_field()->currentText(), "all (unassigned)");
  EXPECT_EQ(sheet.port_field()->text(), "2525");
  ASSERT_EQ(sheet.address_field()->count(), 3);
  EXPECT_EQ(sheet.address_field()->itemText(2), "192.0.2.7");
  EXPECT_TRUE(SaveScreenshot(sheet, "listener_properties"));
}

// A moved endpoint of a running listener stops and starts it again; of a stopped one, or an
// unchanged endpoint, only stores. "all (unassigned)" is stored as 0.
TEST(ListenerPropertiesSheetTest, ApplyStoresTheEndpointAndRestartsARunningListener) {
  struct Case {
    const char* name;
    bool running;
    const char* address;
    const char* port;
    std::uint32_t want_address;
    bool want_restart;
  };
  const Case cases[] = {
      {"running, port moved", true, "127.0.0.1", "5110", 0x7F000001, true},
      {"running, every interface", true, "all (unassigned)", "1110", 0, true},
      {"running, unchanged", true, "127.0.0.1", "1110", 0x7F000001, false},
      {"stopped, port moved", false, "127.0.0.1", "5110", 0x7F000001, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ListenerWorld world;
    world.table().SetLocalEndpoint(world.pop3, 0x7F000001, 1110);
    if (c.running) world.control.StartListener(world.pop3);
    world.control.started.clear();
    ListenerPropertiesSheet sheet(world.table(), world.control, world.dialogs, world.pop3,
                                  kChoices);
    sheet.address_field()->setEditText(c.address);
    sheet.port_field()->setText(c.port);

    sheet.accept();

    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(world.dialogs.boxes.empty());
    const store::Listener stored = *world.table().CopyOf(world.pop3);
    EXPECT_EQ(stored.local_address, c.want_address);
    EXPECT_EQ(stored.local_port, static_cast<std::uint32_t>(std::stoul(c.port)));
    const std::vector<std::uint32_t> want =
        c.want_restart ? std::vector<std::uint32_t>{world.pop3} : std::vector<std::uint32_t>{};
    EXPECT_EQ(world.control.started, want);
    EXPECT_EQ(world.control.stopped, want);
    EXPECT_EQ(world.control.IsRunning(world.pop3), c.running);
  }
}

TEST(ListenersWindowTest, ListsEveryListenerWithItsStateAndStartsTheSelectedOne) {
  ListenerWorld world;
  const std::uint32_t second_account = apptest::AddAccount(world.fixture.stores, 2110);
  ASSERT_NE(second_account, 0u);
  world.control.StartListener(world.smtp);
  ListenersWindow window(world.table(), world.control, world.dialogs, [] { return kChoices; });

  EXPECT_EQ(window.windowTitle(), "Listeners");
  EXPECT_EQ(window.list()->headerItem()->text(0), "Listener");
  EXPECT_EQ(window.start_button()->text(), "&Start");
  EXPECT_EQ(window.properties_button()->text(), "&Properties");
  QStringList names;
  for (int row = 0; row < window.list()->topLevelItemCount(); ++row) {
    names << window.list()->topLevelItem(row)->text(0);
  }
  EXPECT_EQ(names, QStringList({"pop.example.org (POP3)", "smtp.example.org (SMTP)",
                                "pop.example.org (POP3)", "smtp.example.org (SMTP)"}));

  // The running SMTP listener: Start is off, and pressing it anyway starts nothing.
  window.Select(world.smtp);
  EXPECT_FALSE(window.start_button()->isEnabled());
  world.control.started.clear();
  window.StartSelected();
  EXPECT_TRUE(world.control.started.empty());

  window.Select(world.pop3);
  EXPECT_TRUE(window.start_button()->isEnabled());
  window.start_button()->click();
  EXPECT_EQ(world.control.started, std::vector<std::uint32_t>{world.pop3});
  EXPECT_FALSE(window.start_button()->isEnabled());
  EXPECT_TRUE(SaveScreenshot(window, "listeners_window"));
}

// A listener that stops by itself (a failed bind) or leaves the table shows within a refresh,
// and the selection stays on the same listener.
TEST(ListenersWindowTest, FollowsTheListenersWithoutBeingAsked) {
  ListenerWorld world;
  world.control.StartListener(world.pop3);
  ListenersWindow window(world.table(), world.control, world.dialogs, [] { return kChoices; });
  window.Select(world.smtp);
  EXPECT_TRUE(window.start_button()->isEnabled());

  world.control.StartListener(world.smtp);
  const std::uint32_t third = apptest::AddAccount(world.fixture.stores, 3110);
  ASSERT_NE(third, 0u);
  QTimer::singleShot(250, [] { QCoreApplication::exit(0); });
  QCoreApplication::exec();

  EXPECT_EQ(window.list()->topLevelItemCount(), 4);
  EXPECT_EQ(window.Selected(), world.smtp);
  EXPECT_FALSE(window.start_button()->isEnabled());
}

TEST(ListenersWindowTest, PropertiesOpensTheSelectedListenersSheet) {
  ListenerWorld world;
  ListenersWindow window(world.table(), world.control, world.dialogs, [] { return kChoices; });
  window.Select(world.smtp);
  QString title;
  QTimer::singleShot(0, [&title] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* sheet = qobject_cast<ListenerPropertiesSheet*>(top);
      if (sheet == nullptr || !sheet->isVisible()) continue;
      title = sheet->windowTitle();
      sheet->port_field()->setText("2626");
      sheet->accept();
    }
  });
  window.properties_button()->click();
  EXPECT_EQ(title, "smtp.example.org (SMTP) Properties");
  EXPECT_EQ(world.table().CopyOf(world.smtp)->local_port, 2626u);
}

}  // namespace
}  // namespace pelrion::ui
