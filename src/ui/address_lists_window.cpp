#include "ui/address_lists_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QTreeView>
#include <algorithm>

#include "platform/dialogs.h"
#include "ui/address_lists_model.h"
#include "ui/address_lists_move_dialog.h"
#include "ui/contact_properties.h"

namespace pelrion::ui {
namespace {

constexpr std::string_view kDeleteQuestion = "Are you sure you want to delete these contact(s)?";
constexpr std::string_view kDeleteCaption = "Pelrion";

// The wait cursor for one long step, when it is long enough to be noticed.
class WaitCursor {
 public:
  explicit WaitCursor(bool on) : on_(on) {
    if (on_) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  ~WaitCursor() {
    if (on_) QApplication::restoreOverrideCursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool on_;
};

bool IsListIndex(int index) {
  return index >= 0 && index < store::kAddressListCount;
}

QString Text(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

AddressListsWindow::AddressListsWindow(store::AddressListTable& lists, platform::Registry& registry,
                                       QWidget* parent)
    : QMainWindow(parent), lists_(lists), registry_(registry) {
  model_ = new AddressListsModel(this);
  view_ = new QTreeView(this);
  view_->setModel(model_);
  view_->setRootIsDecorated(false);
  view_->setUniformRowHeights(true);
  view_->setAllColumnsShowFocus(true);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setContextMenuPolicy(Qt::CustomContextMenu);
  view_->header()->setSectionsMovable(true);
  view_->header()->setStretchLastSection(false);
  view_->setSortingEnabled(true);
  setCentralWidget(view_);

  auto* bar = new QToolBar(tr("Address List"), this);
  bar->setMovable(false);
  auto* chooser = new QWidget(bar);
  auto* row = new QHBoxLayout(chooser);
  row->setContentsMargins(4, 2, 4, 2);
  auto* label = new QLabel(tr("Address &List:"), chooser);
  list_choice_ = new QComboBox(chooser);
  for (int index = 0; index < store::kAddressListCount; ++index) {
    list_choice_->addItem(Text(store::AddressListName(index)));
  }
  label->setBuddy(list_choice_);
  row->addWidget(label);
  row->addWidget(list_choice_);
  bar->addWidget(chooser);
  addToolBar(bar);

  BuildMenus();
  ApplyState(store::ReadAddressListsWindowState(registry_));

  connect(list_choice_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (IsListIndex(index) && index != model_->list_index()) ShowList(index);
  });
  connect(view_, &QTreeView::doubleClicked, this, &AddressListsWindow::OpenProperties);
  connect(view_, &QTreeView::customContextMenuRequested, this,
          &AddressListsWindow::ShowContextMenu);
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddressListsWindow::UpdateActions);
  connect(model_, &QAbstractItemModel::modelReset, this, &AddressListsWindow::UpdateActions);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &AddressListsWindow::UpdateActions);
  UpdateActions();
  lists_.SetView(this);
}

// Still open when the program ends: the place it had is kept as if it had been closed.
AddressListsWindow::~AddressListsWindow() {
  if (isVisible()) SaveState();
  lists_.SetView(nullptr);
}

void AddressListsWindow::BuildMenus() {
  QMenu* contact = menuBar()->addMenu(tr("&Contact"));
  new_contact_ = contact->addAction(tr("&New Contact"), this, &AddressListsWindow::NewContact);
  new_contact_->setShortcut(QKeySequence::New);
  properties_ = contact->addAction(tr("&Properties"), this, &AddressListsWindow::OpenProperties);
  properties_->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Return));
  move_ = contact->addAction(tr("&Move..."), this, &AddressListsWindow::AskAndMove);
  delete_ = contact->addAction(tr("&Delete"), this, &AddressListsWindow::DeleteSelected);
  delete_->setShortcut(QKeySequence::Delete);
  contact->addSeparator();
  contact->addAction(tr("&Close"), this, &QWidget::close);

  QMenu* view = menuBar()->addMenu(tr("&View"));
  QMenu* sort_by = view->addMenu(tr("Sort &By"));
  sort_by->addAction(tr("&Name"), this, [this] {
    view_->sortByColumn(AddressListsModel::kName, model_->sort_order());
  });
  sort_by->addAction(tr("&E-Mail"), this, [this] {
    view_->sortByColumn(AddressListsModel::kEmail, model_->sort_order());
  });
  sort_by->addSeparator();
  sort_by->addAction(tr("Sort &Ascending"), this,
                     [this] { view_->sortByColumn(model_->sort_column(), Qt::AscendingOrder); });
  sort_by->addAction(tr("Sort &Descending"), this,
                     [this] { view_->sortByColumn(model_->sort_column(), Qt::DescendingOrder); });
}

void AddressListsWindow::ApplyState(const store::AddressListsWindowState& state) {
  QHeaderView* header = view_->header();
  for (int column = 0; column < AddressListsModel::kColumnCount; ++column) {
    const int width = state.column_widths[static_cast<std::size_t>(column)];
    if (width > 0) header->resizeSection(column, width);
  }
  // The stored order lists the columns as they appear; anything but a permutation is ignored.
  const auto& order = state.column_order;
  if (std::is_permutation(order.begin(), order.end(), std::array<std::int32_t, 2>{0, 1}.begin())) {
    for (int visual = 0; visual < AddressListsModel::kColumnCount; ++visual) {
      const int logical = order[static_cast<std::size_t>(visual)];
      header->moveSection(header->visualIndex(logical), visual);
    }
  }
  const int sort_column = state.sort_column == AddressListsModel::kEmail ? AddressListsModel::kEmail
                                                                         : AddressListsModel::kName;
  view_->sortByColumn(sort_column, state.ascending != 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
  if (state.right > state.left && state.bottom > state.top) {
    setGeometry(state.left, state.top, state.right - state.left, state.bottom - state.top);
  }
  ShowList(IsListIndex(state.list_shown) ? state.list_shown : store::kTrustedContactsList);
}

store::AddressListsWindowState AddressListsWindow::CurrentState() const {
  store::AddressListsWindowState state;
  const QHeaderView* header = view_->header();
  for (int column = 0; column < AddressListsModel::kColumnCount; ++column) {
    state.column_widths[static_cast<std::size_t>(column)] = header->sectionSize(column);
    state.column_order[static_cast<std::size_t>(column)] = header->logicalIndex(column);
  }
  state.sort_column = model_->sort_column();
  state.ascending = model_->sort_order() == Qt::AscendingOrder ? 1 : 0;
  state.list_shown = model_->list_index();
  // The normal rectangle, whatever the window looks like now (maximized, say).
  const QRect place = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
  state.left = place.left();
  state.top = place.top();
  state.right = place.left() + place.width();
  state.bottom = place.top() + place.height();
  return state;
}

void AddressListsWindow::SaveState() {
  store::WriteAddressListsWindowState(registry_, CurrentState());
}

void AddressListsWindow::closeEvent(QCloseEvent* event) {
  SaveState();
  QMainWindow::closeEvent(event);
}

void AddressListsWindow::ShowList(int list_index) {
  if (!IsListIndex(list_index)) return;
  {
    const WaitCursor wait(lists_.size() > kWaitCursorContacts);
    model_->SetContacts(lists_.records(), list_index);
  }
  const QSignalBlocker quiet(list_choice_);
  list_choice_->setCurrentIndex(list_index);
  setWindowTitle(QString::fromStdString(store::AddressListsWindowTitle(list_index)));
}

int AddressListsWindow::ShownList() const {
  return model_->list_index();
}

std::vector<store::Contact*> AddressListsWindow::SelectedContacts() const {
  QModelIndexList rows = view_->selectionModel()->selectedRows();
  std::sort(rows.begin(), rows.end(),
            [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
  std::vector<store::Contact*> contacts;
  for (const QModelIndex& index : rows) {
    if (store::Contact* contact = model_->ContactAt(index.row())) contacts.push_back(contact);
  }
  return contacts;
}

void AddressListsWindow::SelectContacts(const std::vector<store::Contact*>& contacts) {
  QItemSelection selection;
  for (const store::Contact* contact : contacts) {
    const int row = model_->RowOf(*contact);
    if (row >= 0) selection.select(model_->index(row, 0), model_->index(row, 1));
  }
  view_->selectionModel()->select(selection,
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  if (!selection.isEmpty()) {
    view_->selectionModel()->setCurrentIndex(selection.first().topLeft(),
                                             QItemSelectionModel::NoUpdate);
    view_->scrollTo(selection.first().topLeft());
  }
}

void AddressListsWindow::MoveSelected(int list_index) {
  if (!IsListIndex(list_index) || list_index == ShownList()) return;
  const std::vector<store::Contact*> contacts = SelectedContacts();
  if (contacts.empty()) return;
  RunBulkChange(contacts.size(), [&] { lists_.MoveContacts(contacts, list_index); });
}

void AddressListsWindow::RunBulkChange(std::size_t rows, const std::function<void()>& change) {
  const WaitCursor wait(rows > kWaitCursorRows);
  change();
}

void AddressListsWindow::DeleteSelected() {
  const std::vector<store::Contact*> contacts = SelectedContacts();
  if (contacts.empty()) return;
  if (platform::CurrentDialogs().MessageBox(
          kDeleteQuestion, kDeleteCaption, platform::DialogIcon::kWarning,
          platform::DialogButtons::kYesNo) != platform::DialogAnswer::kYes) {
    return;
  }
  const WaitCursor wait(contacts.size() > kWaitCursorRows);
  lists_.DeleteContacts(contacts);
}

void AddressListsWindow::NewContact() {
  ContactProperties properties(lists_, nullptr, ShownList(), this);
  if (properties.exec() == QDialog::Accepted && properties.saved_contact() != nullptr) {
    SelectContacts({properties.saved_contact()});
  }
}

void AddressListsWindow::OpenProperties() {
  const std::vector<store::Contact*> contacts = SelectedContacts();
  if (contacts.empty()) return;
  ContactProperties properties(lists_, contacts.front(), ShownList(), this);
  if (properties.exec() == QDialog::Accepted && properties.saved_contact() != nullptr) {
    SelectContacts({properties.saved_contact()});
  }
}

void AddressListsWindow::AskAndMove() {
  if (SelectedContacts().empty()) return;
  AddressListsMoveDialog dialog(ShownList(), this);
  if (dialog.exec() == QDialog::Accepted) MoveSelected(dialog.ChosenList());
}

void AddressListsWindow::ShowContextMenu(const QPoint& at) {
  QMenu menu(this);
  menu.addAction(new_contact_);
  menu.addSeparator();
  menu.addAction(properties_);
  menu.addAction(move_);
  menu.addAction(delete_);
  menu.exec(view_->viewport()->mapToGlobal(at));
}

void AddressListsWindow::UpdateActions() {
  const bool any = view_->selectionModel()->hasSelection();
  properties_->setEnabled(any);
  move_->setEnabled(any);
  delete_->setEnabled(any);
}

void AddressListsWindow::ContactAdded(store::Contact& contact) {
  if (store::ListIndexOf(contact) == ShownList()) model_->Insert(contact);
}

void AddressListsWindow::ContactMoved(store::Contact& contact) {
  if (store::ListIndexOf(contact) == ShownList()) {
    model_->Insert(contact);
  } else {
    model_->Remove(contact);
  }
}

void AddressListsWindow::ContactRemoved(store::Contact& contact) {
  model_->Remove(contact);
}

}  // namespace pelrion::ui
