#include "ui/main_window.h"

#include <QAction>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <utility>

#include "transport/listener_threads.h"
#include "ui/folder_bar.h"
#include "ui/list_icons.h"
#include "ui/main_frame_layout.h"
#include "ui/message_list_view.h"
#include "ui/move_to_folder_dialog.h"
#include "ui/proxy_pane_icons.h"
#include "ui/status_panes.h"
#include "ui/transfer_status_window.h"
#include "ui/tray_icon.h"
#include "ui/window_cycle_view.h"

namespace pelrion::ui {
namespace {

QString FolderTitle(store::Folder folder) {
  return QString::fromStdString(std::string(store::FolderName(folder)));
}

}  // namespace

MainWindow::MainWindow(const MainWindowPorts& ports, QWidget* parent)
    : QMainWindow(parent), ports_(ports) {
  setObjectName(QStringLiteral("CMainFrame"));
  setWindowIcon(FolderIcon(0));
  run_dialog = [](QDialog& dialog) { return dialog.exec(); };
  choose_folder = [this](store::Folder current) -> std::optional<store::Folder> {
    MoveToFolderDialog dialog(current, this);
    if (run_dialog(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
  };

  folder_bar_ = new FolderBar(this);
  list_ = new MessageListView(ports_.model, this);
  caption_ = new QLabel(this);
  QFont caption_font = caption_->font();
  caption_font.setBold(true);
  caption_font.setPointSizeF(caption_font.pointSizeF() * 1.3);
  caption_->setFont(caption_font);
  caption_->setContentsMargins(6, 4, 6, 4);
  auto* right = new QWidget(this);
  auto* right_layout = new QVBoxLayout(right);
  right_layout->setContentsMargins(0, 0, 0, 0);
  right_layout->setSpacing(0);
  right_layout->addWidget(caption_);
  right_layout->addWidget(list_, 1);
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->addWidget(folder_bar_);
  splitter_->addWidget(right);
  splitter_->setStretchFactor(1, 1);
  splitter_->setCollapsible(1, false);
  setCentralWidget(splitter_);

  panes_ = std::make_unique<StatusPanes>(*statusBar());
  tray_ = std::make_unique<TrayIcon>([this] { OnTrayActivated(); }, [this] { RequestExit(); });
  transfer_ = new TransferStatusWindow(
      [this] {
        if (services_.cycle) services_.cycle->StopCommand();
      },
      this);
  cycle_view_ = std::make_unique<WindowCycleView>(
      *panes_, *tray_, *transfer_, [this](bool offline) { IndicatorsShown(offline); });
  UpdateProxyPane();

  BuildMenus();
  BuildToolbar();
  BuildContextMenus();

  connect(folder_bar_, &FolderBar::FolderChosen, this,
          [this](store::Folder folder) { ShowFolder(folder); });
  connect(&ports_.model, &MessageListModel::CountsChanged, this, [this] {
    UpdateCounts();
    UpdateCommandStates();
  });
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { UpdateCommandStates(); });
  connect(list_, &QAbstractItemView::doubleClicked, this, [this] { Run(Command::kOpen); });
  statusBar()->installEventFilter(this);
  // The model sorts on header clicks too; the Sort By checks follow.
  connect(list_->header(), &QHeaderView::sortIndicatorChanged, this,
          [this] { UpdateSortChecks(); });

  resize(900, 560);
  ShowFolder(store::Folder::kInbox);
  RestoreLayout();
  if (tray_available()) tray_->SetVisible(true);
  UpdateCommandStates();
}

MainWindow::~MainWindow() {
  Detach();
}

cycle::CycleView& MainWindow::cycle_view() {
  return *cycle_view_;
}

bool MainWindow::tray_available() const {
  return QSystemTrayIcon::isSystemTrayAvailable();
}

void MainWindow::Attach(MainWindowServices services) {
  services_ = std::move(services);
  attached_ = true;
  if (services_.cycle) {
    cycle_view_->IndicatorsChanged(!services_.cycle->errors().empty(), services_.cycle->offline());
  }
  ports_.main_thread.SetTimer(kProxyPaneTimer, kProxyPaneMs, [this] { UpdateProxyPane(); });
  UpdateProxyPane();
  ShowFolder(current_folder());
}

void MainWindow::Detach() {
  if (!attached_) return;
  attached_ = false;
  ports_.main_thread.KillTimer(kProxyPaneTimer);
  ports_.main_thread.KillTimer(kTrayUpkeepTimer);
  services_ = {};
}

void MainWindow::ShowFolder(store::Folder folder) {
  folder_bar_->SetCurrentFolder(folder);
  list_->ShowFolder(folder);
  UpdateTitle();
  UpdateCounts();
  UpdateCommandStates();
}

store::Folder MainWindow::current_folder() const {
  return ports_.model.folder();
}

std::vector<store::MessageRecord*> MainWindow::Selection() const {
  std::vector<store::MessageRecord*> records;
  QModelIndexList rows = list_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  for (const QModelIndex& row : rows) {
    if (store::MessageRecord* record = ports_.model.RecordAt(row.row())) records.push_back(record);
  }
  return records;
}

void MainWindow::UpdateTitle() {
  const QString name = FolderTitle(current_folder());
  setWindowTitle(QStringLiteral("%1 - Pelrion").arg(name));
  caption_->setText(name);
}

void MainWindow::UpdateCounts() {
  if (services_.messages == nullptr) {
    panes_->SetCounts(ports_.model.rowCount(), 0);
    return;
  }
  const auto counts = FolderCounts(*services_.messages);
  folder_bar_->ShowCounts(counts);
  panes_->SetCounts(ports_.model.rowCount(),
                    counts[static_cast<std::size_t>(current_folder())].unread);
}

void MainWindow::IndicatorsShown(bool offline) {
  if (QAction* work_offline = action(Command::kWorkOffline)) work_offline->setChecked(offline);
}

void MainWindow::UpdateProxyPane() {
  const std::string state =
      services_.proxy_state ? services_.proxy_state() : std::string(transport::kProxyDown);
  // While a mail client is served the icon turns one step every second update.
  if (state == transport::kProxyServing) {
    ++proxy_updates_;
  } else {
    proxy_updates_ = 0;
  }
  panes_->SetProxyState(ProxyStateIcon(state, proxy_updates_ / 2), QString::fromStdString(state));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == statusBar() && event->type() == QEvent::MouseButtonDblClick) {
    const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
    if (statusBar()->childAt(at) == &panes_->error_pane()) {
      ShowNetworkErrors();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::RedrawMessages() {
  // The rows read their colours when painted, so painting the visible ones again is enough;
  // telling the view that every row changed would cost a pass over all of them.
  list_->viewport()->update();
}

void MainWindow::changeEvent(QEvent* event) {
  // Messages highlighted by a refused account removal change without the store telling the
  // list; coming back to the window is when the user looks again.
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) RedrawMessages();
  QMainWindow::changeEvent(event);
}

void MainWindow::RestoreLayout() {
  const MainFrameLayout frame = LoadMainFrame(ports_.registry);
  folder_bar_width_ = frame.folder_bar_width;
  // The default width was chosen for a smaller font than desktops use today; it grows to fit
  // the longest folder name with a large unread count, so nothing is cut off at first sight.
  // A width the user chose is kept as it is.
  if (folder_bar_width_ == kDefaultFolderBarWidth) {
    QFont bold = folder_bar_->font();
    bold.setBold(true);
    const int text = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Quarantine (99999)"));
    const int needed = text + folder_bar_->iconSize().width() + 4 * folder_bar_->frameWidth() + 24;
    folder_bar_width_ = std::max(folder_bar_width_, needed);
  }
  folder_bar_->setVisible(frame.folder_bar_shown);
  statusBar()->setVisible(frame.status_bar_shown);
  splitter_->setSizes({folder_bar_width_, std::max(width() - folder_bar_width_, 200)});
  if (const auto state = LoadCoolBarState(ports_.registry)) {
    restoreGeometry(state->geometry);
    restoreState(state->window_state);
    list_->header()->restoreState(state->header_state);
    for (int column = 0; column < kListColumnCount; ++column) {
      list_->SetColumnChosen(static_cast<ListColumn>(column),
                             (state->chosen_columns >> column) & 1);
    }
    caption_->setVisible(state->folder_caption_shown);
    // The header's saved state knows nothing of the Request Sent rule.
    list_->ShowFolder(current_folder());
    splitter_->setSizes({folder_bar_width_, std::max(width() - folder_bar_width_, 200)});
  }
  action(Command::kFoldersBar)->setChecked(frame.folder_bar_shown);
  action(Command::kStatusBar)->setChecked(frame.status_bar_shown);
  action(Command::kFolderCaption)->setChecked(!caption_->isHidden());
  UpdateSortChecks();
}

void MainWindow::SaveLayout() const {
  MainFrameLayout frame;
  frame.folder_bar_width =
      folder_bar_->isHidden() ? folder_bar_width_ : splitter_->sizes().value(0);
  frame.folder_bar_shown = !folder_bar_->isHidden();
  frame.status_bar_shown = !statusBar()->isHidden();
  SaveMainFrame(ports_.registry, frame);

  CoolBarState state;
  state.geometry = saveGeometry();
  state.window_state = saveState();
  state.header_state = list_->header()->saveState();
  state.chosen_columns = 0;
  for (int column = 0; column < kListColumnCount; ++column) {
    if (list_->column_chosen(static_cast<ListColumn>(column))) state.chosen_columns |= 1u << column;
  }
  state.folder_caption_shown = !caption_->isHidden();
  SaveCoolBarState(ports_.registry, state);
}

}  // namespace pelrion::ui
