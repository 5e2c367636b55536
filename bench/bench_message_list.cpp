// Opening the Quarantine with 100,000 messages: the store's load (every store opened the way
// start-up opens them) against building the message list model and showing the list with its
// first screen of rows, and sorting the shown list by each column.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <QApplication>

#include "app/stores.h"
#include "core/preferences.h"
#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/folders_view.h"
#include "store/listener_control.h"
#include "store/status_notices.h"
#include "platform/dialogs.h"
#include "ui/main_window.h"
#include "ui/message_list_model.h"
#include "ui/message_list_view.h"

namespace {

namespace fs = std::filesystem;
using pelrion::store::Folder;
using pelrion::ui::ListColumn;
using pelrion::ui::MessageListModel;
using pelrion::ui::MessageListView;

constexpr std::size_t kMessages = 100'000;
constexpr std::size_t kSenders = 20'000;  // five held messages per sender

// What OpenStores needs besides the folder, all doing nothing.
struct Ports {
  pelrion::core::Preferences preferences;
  pelrion::platform::PlainMainThread main_thread;
  pelrion::platform::MemoryRegistry registry;
  pelrion::store::NoListenerControl listener_control;
  pelrion::store::NoStatusNotices status_notices;
  pelrion::store::NoFoldersView no_view;

  pelrion::app::StoreSetup Setup(const std::string& folder,
                                 pelrion::store::FoldersView& view) {
    return {.database_folder = folder,
            .preferences = preferences,
            .main_thread = main_thread,
            .listener_control = listener_control,
            .status_notices = status_notices,
            .folders_view = view,
            .registry = registry,
            .port_probe = [](std::uint32_t) { return true; }};
  }
};

Ports& ThePorts() {
  static Ports ports;
  return ports;
}

std::unique_ptr<pelrion::store::MessageRecord> HeldMessage(std::size_t n, std::uint32_t account) {
  auto record = std::make_unique<pelrion::store::MessageRecord>();
  record->id = static_cast<std::uint32_t>(0x10000 + n * 7);
  record->account_id = account;
  record->status = n % 3 == 0 ? 2 : 1;
  record->request_sent_time = n % 3 == 0 ? static_cast<std::int32_t>(1'780'000'000 + n) : 0;
  pelrion::store::MessageSummary& s = record->summary;
  const std::string sender = "sender" + std::to_string(n % kSenders) + "@example.org";
  s.header_length = 600;
  s.body_line_count = 40;
  s.file_size = static_cast<std::uint32_t>(2000 + (n * 7919) % 90000);
  s.sent = static_cast<std::int32_t>(1'760'000'000 + (n * 104729) % 20'000'000);
  s.received = s.sent + 60;
  s.has_strings = true;
  s.set_sender_address(sender);
  s.set_from_text("Sender " + std::to_string(n % kSenders) + " <" + sender + ">");
  s.set_subject_decoded("Offer number " + std::to_string((n * 2654435761u) % 1'000'000));
  s.set_to_text("me@home.example");
  if (n % 5 == 0) {
    pelrion::mailformat::PartTable table;
    table.mime = 1;
    table.parts.resize(2);
    table.parts[1].attachment = 1;
    table.parts[1].name = "file.pdf";
    s.set_part_table(table);
  }
  return record;
}

// A database folder with one account and kMessages held messages, made once.
const std::string& QuarantineFolder() {
  static const std::string folder = [] {
    const std::string made = (fs::temp_directory_path() / "pelrion-bench-list").string() + "/";
    fs::remove_all(made);
    fs::create_directories(made);
    Ports& ports = ThePorts();
    pelrion::app::Stores stores;
    pelrion::app::OpenStores(stores, ports.Setup(made, ports.no_view));
    pelrion::store::MailAccount fields;
    fields.pop3_listener_id = stores.listeners->FindOrCreateListener(
        "pop.example.org", 110, pelrion::store::ListenerProtocol::kPop3, false);
    fields.smtp_listener_id = stores.listeners->FindOrCreateListener(
        "smtp.example.org", 25, pelrion::store::ListenerProtocol::kSmtp, false);
    fields.friendly_name.Set("Home");
    const std::uint32_t account = stores.accounts->AddAccount(fields);
    for (std::size_t n = 0; n < kMessages; ++n) {
      if (stores.messages->RegisterMessage(HeldMessage(n, account)) == nullptr) {
        std::fprintf(stderr, "building the store: message %zu refused\n", n);
        std::exit(1);
      }
    }
    return made;
  }();
  return folder;
}

// The store's load: every store of the folder opened as start-up opens them.
void BM_OpenStores(benchmark::State& state) {
  const std::string& folder = QuarantineFolder();
  Ports& ports = ThePorts();
  for (auto _ : state) {
    pelrion::app::Stores stores;
    pelrion::app::OpenStores(stores, ports.Setup(folder, ports.no_view));
    benchmark::DoNotOptimize(stores.messages->size());
    state.PauseTiming();
    stores.Close();
    state.ResumeTiming();
  }
  state.counters["messages"] = static_cast<double>(kMessages);
}
BENCHMARK(BM_OpenStores)->Unit(benchmark::kMillisecond)->Iterations(3);

// The stores once open, for the list benchmarks.
pelrion::app::Stores& OpenedStores() {
  static pelrion::app::Stores stores;
  if (!stores.messages) {
    Ports& ports = ThePorts();
    pelrion::app::OpenStores(stores, ports.Setup(QuarantineFolder(), ports.no_view));
  }
  return stores;
}

// Building the model over the loaded table and showing the Quarantine in the list view,
// sorted newest first as it opens, until its first screen of rows is painted.
void BM_ShowQuarantine(benchmark::State& state) {
  pelrion::app::Stores& stores = OpenedStores();
  for (auto _ : state) {
    MessageListModel model;
    model.Attach(stores.messages.get(), stores.accounts.get());
    MessageListView view(model);
    view.resize(1000, 700);
    view.ShowFolder(Folder::kQuarantine);
    view.show();
    // Lays out and paints the visible rows.
    view.repaint();
    QApplication::processEvents();
    benchmark::DoNotOptimize(model.rowCount());
    if (model.rowCount() != static_cast<int>(kMessages)) {
      state.SkipWithError("the Quarantine does not hold every message");
      break;
    }
    state.PauseTiming();
    model.Attach(nullptr, nullptr);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ShowQuarantine)->Unit(benchmark::kMillisecond)->Iterations(3);

// The whole main window made, attached to the loaded stores and shown on the Quarantine,
// until its first screen is painted: what a user waits for after the stores have loaded.
void BM_ShowMainWindowOnQuarantine(benchmark::State& state) {
  pelrion::app::Stores& stores = OpenedStores();
  Ports& ports = ThePorts();
  pelrion::platform::HeadlessDialogs dialogs;
  for (auto _ : state) {
    MessageListModel model;
    model.Attach(stores.messages.get(), stores.accounts.get());
    pelrion::ui::MainWindow window({.dialogs = dialogs,
                                    .main_thread = ports.main_thread,
                                    .registry = ports.registry,
                                    .preferences = ports.preferences,
                                    .model = model});
    window.Attach({.messages = stores.messages.get(),
                   .accounts = stores.accounts.get(),
                   .address_lists = stores.address_lists.get(),
                   .cycle = nullptr,
                   .proxy_state = {},
                   .active_connections = {},
                   .temp_folder = {},
                   .eml_viewer = {},
                   .launch = {},
                   .desktop = {},
                   .windows = {},
                   .pin_certificate = {}});
    window.resize(1100, 760);
    window.ShowFolder(Folder::kQuarantine);
    window.show();
    window.repaint();
    QApplication::processEvents();
    if (model.rowCount() != static_cast<int>(kMessages)) {
      state.SkipWithError("the Quarantine does not hold every message");
      break;
    }
    state.PauseTiming();
    window.Detach();
    model.Attach(nullptr, nullptr);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ShowMainWindowOnQuarantine)->Unit(benchmark::kMillisecond)->Iterations(3);

// Sorting the shown Quarantine by one column, alternating the direction, with the view
// following (its first screen repainted).
void BM_SortQuarantine(benchmark::State& state) {
  pelrion::app::Stores& stores = OpenedStores();
  MessageListModel model;
  model.Attach(stores.messages.get(), stores.accounts.get());
  MessageListView view(model);
  view.resize(1000, 700);
  view.ShowFolder(Folder::kQuarantine);
  view.show();
  QApplication::processEvents();
  const int column = static_cast<int>(state.range(0));
  bool ascending = true;
  for (auto _ : state) {
    model.sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    view.repaint();
    ascending = !ascending;
  }
  state.SetLabel(std::string(pelrion::ui::ListColumnHeading(static_cast<ListColumn>(column))));
  model.Attach(nullptr, nullptr);
}
BENCHMARK(BM_SortQuarantine)->DenseRange(0, pelrion::ui::kListColumnCount - 1)
    ->Unit(benchmark::kMillisecond)->Iterations(4);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(fs::temp_directory_path() / "pelrion-bench-list");
  return 0;
}
