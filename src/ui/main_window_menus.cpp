// The main window's menus, toolbar and context menus: their labels, access keys and order,
// and which command each entry runs.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <string>

#include "ui/folder_bar.h"
#include "ui/list_icons.h"
#include "ui/main_window.h"
#include "ui/message_list_view.h"

namespace pelrion::ui {
namespace {

// At most this many accounts get an entry of their own under Check Mail.
constexpr int kCheckMailAccountLimit = 16;

QString Latin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// An icon of the desktop's theme, or the style's own drawing on a bare system.
QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(name), QApplication::style()->standardIcon(fallback));
}

struct ToolbarEntry {
  const char* text;
  Command command;
  const char* theme_icon;
  QStyle::StandardPixmap fallback;
};

}  // namespace

QAction* MainWindow::AddCommand(QMenu* menu, const char* label, Command command) {
  QAction* added = menu->addAction(QString::fromLatin1(label));
  connect(added, &QAction::triggered, this, [this, command] { Run(command); });
  actions_.emplace(command, added);
  return added;
}

QAction* MainWindow::action(Command command) const {
  const auto found = actions_.find(command);
  return found == actions_.end() ? nullptr : found->second;
}

void MainWindow::BuildMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  AddCommand(file, "&Open", Command::kOpen);
  file->addSeparator();
  AddCommand(file, "&Import Addresses", Command::kImportAddresses);
  AddCommand(file, "&Add Mail Account...", Command::kAddMailAccount);
  file->addSeparator();
  AddCommand(file, "P&roperties", Command::kProperties);
  file->addSeparator();
  AddCommand(file, "&Work Offline", Command::kWorkOffline)->setCheckable(true);
  AddCommand(file, "&Close", Command::kClose)->setStatusTip(QStringLiteral("Minimize to tray"));

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  AddCommand(edit, "Select &All", Command::kSelectAll)->setShortcut(QKeySequence::SelectAll);
  edit->addSeparator();
  AddCommand(edit, "&Move to Folder...", Command::kMoveToFolder);
  AddCommand(edit, "&Delete", Command::kDelete)->setShortcut(QKeySequence::Delete);
  AddCommand(edit, "Empt&y 'Trash' Folder", Command::kEmptyTrash);
  edit->addSeparator();
  AddCommand(edit, "Mar&k as Read", Command::kMarkRead);
  AddCommand(edit, "Mark as U&nread", Command::kMarkUnread);
  AddCommand(edit, "Mark All R&ead", Command::kMarkAllRead);

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  AddCommand(view, "&Folders Bar", Command::kFoldersBar)->setCheckable(true);
  AddCommand(view, "Folder &Caption", Command::kFolderCaption)->setCheckable(true);
  AddCommand(view, "&Status Bar", Command::kStatusBar)->setCheckable(true);
  view->addSeparator();
  sort_menu_ = view->addMenu(QStringLiteral("Sort &By"));
  FillSortMenu(sort_menu_);

  QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
  AddCommand(tools, "Chec&k Mail", Command::kCheckMail);
  tools->addSeparator();
  AddCommand(tools, "&Address Lists...", Command::kAddressLists);
  AddCommand(tools, "Appro&ve", Command::kApprove);
  AddCommand(tools, "&Blacklist Sender", Command::kBlacklist);
  AddCommand(tools, "Trusted &Domains...", Command::kTrustedDomains);
  tools->addSeparator();
  AddCommand(tools, "A&ccounts...", Command::kAccounts);
  AddCommand(tools, "&Listeners...", Command::kListeners);
  tools->addSeparator();
  AddCommand(tools, "&Options...", Command::kOptions);

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  AddCommand(help, "&Contents", Command::kHelpContents);
  help->addSeparator();
  AddCommand(help, "&About Pelrion...", Command::kAbout);

  for (QMenu* menu : {file, edit, view, tools, help}) {
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
  }
}

// The ten columns, then the direction; the checks show the list's order.
void MainWindow::FillSortMenu(QMenu* menu) {
  auto* columns = new QActionGroup(menu);
  for (int column = 0; column < kListColumnCount; ++column) {
    QAction* entry = menu->addAction(Latin1(kListColumnHeadings[static_cast<std::size_t>(column)]));
    entry->setCheckable(true);
    columns->addAction(entry);
    connect(entry, &QAction::triggered, this,
            [this, column] { SortBy(column, list_->header()->sortIndicatorOrder()); });
    sort_column_actions_.emplace_back(column, entry);
  }
  menu->addSeparator();
  auto* directions = new QActionGroup(menu);
  directions->addAction(AddCommand(menu, "Sort &Ascending", Command::kSortAscending))
      ->setCheckable(true);
  directions->addAction(AddCommand(menu, "Sort &Descending", Command::kSortDescending))
      ->setCheckable(true);
  connect(menu, &QMenu::aboutToShow, this, [this] { UpdateSortChecks(); });
}

void MainWindow::UpdateSortChecks() {
  const int column = list_->header()->sortIndicatorSection();
  for (auto& [entry_column, entry] : sort_column_actions_)
    entry->setChecked(entry_column == column);
  const bool ascending = list_->header()->sortIndicatorOrder() == Qt::AscendingOrder;
  for (auto [it, end] = actions_.equal_range(Command::kSortAscending); it != end; ++it) {
    it->second->setChecked(ascending);
  }
  for (auto [it, end] = actions_.equal_range(Command::kSortDescending); it != end; ++it) {
    it->second->setChecked(!ascending);
  }
}

void MainWindow::BuildToolbar() {
  toolbar_ = addToolBar(QStringLiteral("Standard"));
  toolbar_->setObjectName(QStringLiteral("StandardToolbar"));
  toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  toolbar_->setIconSize(QSize(24, 24));

  // "Folders": the button shows or hides the folder bar; its arrow lists the folders.
  auto* folders = new QToolButton(toolbar_);
  folders->setText(QStringLiteral("Folders"));
  folders->setIcon(ThemeIcon("folder", QStyle::SP_DirIcon));
  folders->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  folders->setPopupMode(QToolButton::MenuButtonPopup);
  auto* folder_list = new QMenu(folders);
  for (int i = 0; i < store::kFolderCount; ++i) {
    const auto folder = static_cast<store::Folder>(i);
    QAction* entry = folder_list->addAction(FolderIcon(i), Latin1(store::FolderName(folder)));
    connect(entry, &QAction::triggered, this, [this, folder] { ShowFolder(folder); });
  }
  folders->setMenu(folder_list);
  connect(folders, &QToolButton::clicked, this, [this] { Run(Command::kFoldersBar); });
  toolbar_->addWidget(folders);

  // "Check Mail": all included accounts; its arrow offers Receive All and each account.
  check_mail_button_ = new QToolButton(toolbar_);
  check_mail_button_->setText(QStringLiteral("Check Mail"));
  check_mail_button_->setIcon(ThemeIcon("mail-send-receive", QStyle::SP_BrowserReload));
  check_mail_button_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  check_mail_button_->setPopupMode(QToolButton::MenuButtonPopup);
  check_mail_menu_ = new QMenu(check_mail_button_);
  connect(check_mail_menu_, &QMenu::aboutToShow, this, [this] { FillCheckMailMenu(); });
  check_mail_button_->setMenu(check_mail_menu_);
  connect(check_mail_button_, &QToolButton::clicked, this, [this] { Run(Command::kCheckMail); });
  toolbar_->addWidget(check_mail_button_);
  FillCheckMailMenu();

  const ToolbarEntry entries[] = {
      {"Move To", Command::kMoveToFolder, "mail-move", QStyle::SP_ArrowForward},
      {"Delete", Command::kDelete, "edit-delete", QStyle::SP_TrashIcon},
      {"Mark Read", Command::kMarkRead, "mail-mark-read", QStyle::SP_DialogApplyButton},
      {"Properties", Command::kProperties, "document-properties", QStyle::SP_FileDialogInfoView},
      {"Approve", Command::kApprove, "mail-mark-notjunk", QStyle::SP_DialogYesButton},
      {"Blacklist", Command::kBlacklist, "mail-mark-junk", QStyle::SP_DialogNoButton},
      {"Addresses", Command::kAddressLists, "x-office-address-book",
       QStyle::SP_FileDialogContentsView},
  };
  toolbar_->addSeparator();
  for (const ToolbarEntry& entry : entries) {
    QAction* button = toolbar_->addAction(ThemeIcon(entry.theme_icon, entry.fallback),
                                          QString::fromLatin1(entry.text));
    connect(button, &QAction::triggered, this, [this, command = entry.command] { Run(command); });
    actions_.emplace(entry.command, button);
  }
  // The last button carries only an icon: the program's own About box.
  toolbar_->addSeparator();
  QAction* about =
      toolbar_->addAction(ThemeIcon("help-about", QStyle::SP_MessageBoxQuestion), QString());
  about->setToolTip(QStringLiteral("About Pelrion"));
  connect(about, &QAction::triggered, this, [this] { Run(Command::kAbout); });
  actions_.emplace(Command::kAbout, about);
}

void MainWindow::FillCheckMailMenu() {
  check_mail_menu_->clear();
  QAction* all = check_mail_menu_->addAction(QStringLiteral("Receive All"));
  connect(all, &QAction::triggered, this, [this] { CheckMail(std::nullopt); });
  if (services_.accounts == nullptr) return;
  const std::vector<std::uint32_t> ids = services_.accounts->Ids();
  const std::size_t shown = std::min<std::size_t>(ids.size(), kCheckMailAccountLimit);
  if (shown > 0) check_mail_menu_->addSeparator();
  for (std::size_t i = 0; i < shown; ++i) {
    const auto account = services_.accounts->CopyOf(ids[i]);
    if (!account) continue;
    QAction* entry = check_mail_menu_->addAction(
        QString::fromLatin1(account->friendly_name.Text().data(),
                            static_cast<qsizetype>(account->friendly_name.Text().size())));
    connect(entry, &QAction::triggered, this, [this, id = ids[i]] { CheckMail(id); });
  }
}

void MainWindow::BuildContextMenus() {
  message_menu_ = new QMenu(this);
  AddCommand(message_menu_, "&Open", Command::kOpen);
  message_menu_->addSeparator();
  AddCommand(message_menu_, "&Approve", Command::kApprove);
  AddCommand(message_menu_, "&Blacklist Sender", Command::kBlacklist);
  message_menu_->addSeparator();
  AddCommand(message_menu_, "&Move to Folder...", Command::kMoveToFolder);
  AddCommand(message_menu_, "&Delete", Command::kDelete);
  message_menu_->addSeparator();
  AddCommand(message_menu_, "Mark as U&nread", Command::kMarkUnread);
  AddCommand(message_menu_, "Mar&k as Read", Command::kMarkRead);
  message_menu_->addSeparator();
  AddCommand(message_menu_, "P&roperties", Command::kProperties);

  background_menu_ = new QMenu(this);
  FillSortMenu(background_menu_->addMenu(QStringLiteral("Sort &By")));
  AddCommand(background_menu_, "Select &All", Command::kSelectAll);

  folder_menu_ = new QMenu(this);
  AddCommand(folder_menu_, "&Open Folder", Command::kOpenFolder);
  AddCommand(folder_menu_, "&Empt&y 'Trash' Folder", Command::kEmptyTrash);
  folder_menu_->addSeparator();
  AddCommand(folder_menu_, "P&roperties", Command::kFolderProperties);

  folder_bar_menu_ = new QMenu(this);
  AddCommand(folder_bar_menu_, "&Hide Folders Bar", Command::kHideFoldersBar);

  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    const QModelIndex index = list_->indexAt(at);
    QMenu* menu = background_menu_;
    if (index.isValid()) {
      // The entries act on the selection, which must hold the row under the mouse.
      if (!list_->selectionModel()->isRowSelected(index.row(), {})) {
        list_->selectionModel()->select(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
      }
      menu = message_menu_;
    }
    UpdateCommandStates();
    menu->popup(list_->viewport()->mapToGlobal(at));
  });

  folder_bar_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(folder_bar_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QListWidgetItem* item = folder_bar_->itemAt(at);
    if (item == nullptr) {
      folder_bar_menu_->popup(folder_bar_->viewport()->mapToGlobal(at));
      return;
    }
    // The folder entries act on the folder under the mouse, which becomes current.
    ShowFolder(static_cast<store::Folder>(folder_bar_->row(item)));
    UpdateCommandStates();
    folder_menu_->popup(folder_bar_->viewport()->mapToGlobal(at));
  });
}

void MainWindow::UpdateCommandStates() {
  const bool has_selection = list_->selectionModel()->hasSelection();
  const bool stores = services_.messages != nullptr;
  for (const Command command : kSelectionCommands) {
    for (auto [it, end] = actions_.equal_range(command); it != end; ++it) {
      it->second->setEnabled(stores && has_selection);
    }
  }
  const bool trash_has_mail =
      stores && services_.messages->Counter(store::Folder::kTrash).messages > 0;
  for (auto [it, end] = actions_.equal_range(Command::kEmptyTrash); it != end; ++it) {
    it->second->setEnabled(trash_has_mail);
  }
  const bool cycle = services_.cycle != nullptr;
  for (const Command command : {Command::kCheckMail, Command::kWorkOffline}) {
    for (auto [it, end] = actions_.equal_range(command); it != end; ++it)
      it->second->setEnabled(cycle);
  }
  check_mail_button_->setEnabled(cycle);
  for (const Command command : kProgramWindowCommands) {
    const bool supplied = services_.windows.count(command) != 0;
    for (auto [it, end] = actions_.equal_range(command); it != end; ++it)
      it->second->setEnabled(supplied);
  }
}

}  // namespace pelrion::ui
