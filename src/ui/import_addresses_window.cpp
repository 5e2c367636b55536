#include "ui/import_addresses_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "import/text_file_import.h"
#include "import/thunderbird_address_book.h"
#include "import/thunderbird_profiles.h"
#include "platform/dialogs.h"
#include "store/address_list_table.h"

namespace pelrion::ui {
namespace {

using import::AddressSource;

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The order of the tree: what the user keeps first, then the files.
constexpr AddressSource kSources[] = {AddressSource::kAddressBook, AddressSource::kVCardFile,
                                      AddressSource::kTextFile};

QString FiltersOf(AddressSource source) {
  return Text(source == AddressSource::kVCardFile ? kVCardFileFilters : kTextFileFilters);
}

}  // namespace

std::optional<std::string> ChooseImportFileWithDialog(QWidget* parent, const QString& filters) {
  const QString path =
      QFileDialog::getOpenFileName(parent, QObject::tr("Open"), QDir::homePath(), filters);
  if (path.isEmpty()) return std::nullopt;
  return QFile::encodeName(path).toStdString();
}

bool HasThunderbirdProfile(std::string_view home) {
  return !import::ThunderbirdProfileFolders(home).empty();
}

int RunAddressImport(AddressSource source, const std::string& path, std::string_view home,
                     int list_index, store::AddressCalls& calls) {
  // A large book takes a moment; the cursor says the program is busy, not stuck.
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
  switch (source) {
    case AddressSource::kTextFile:
      return import::ImportFromTextFile(path, list_index, calls);
    case AddressSource::kVCardFile:
      return import::ImportFromVCardFile(path, list_index, calls);
    case AddressSource::kAddressBook:
      return import::ImportFromThunderbird(home, list_index, calls);
  }
  return -1;
}

void ShowImportResult(AddressSource source, int result, std::string_view caption) {
  platform::CurrentDialogs().MessageBox(import::ImportResultText(source, result), caption,
                                        import::IsImportFailure(result)
                                            ? platform::DialogIcon::kWarning
                                            : platform::DialogIcon::kInformation,
                                        platform::DialogButtons::kOk);
}

std::function<void()> AddressBookFirstRunStep(store::AddressCalls& calls, std::string home) {
  if (!HasThunderbirdProfile(home)) return {};
  return [&calls, home = std::move(home)] {
    const int result =
        RunAddressImport(AddressSource::kAddressBook, {}, home, store::kTrustedContactsList, calls);
    ShowImportResult(AddressSource::kAddressBook, result, "Pelrion");
  };
}

ImportAddressesWindow::ImportAddressesWindow(store::AddressCalls& calls, std::string home,
                                             ChooseImportFile choose_file, QWidget* parent)
    : QDialog(parent), calls_(calls), home_(std::move(home)), choose_file_(std::move(choose_file)) {
  setWindowTitle(Text(kImportAddressesCaption));
  sources_ = new QTreeWidget(this);
  sources_->setHeaderHidden(true);
  sources_->setRootIsDecorated(false);
  sources_->setSelectionMode(QAbstractItemView::SingleSelection);
  auto* sources_label = new QLabel(tr("Select address book or file to import from:"), this);
  sources_label->setBuddy(sources_);

  destination_field_ = new QLineEdit(this);
  destination_field_->setReadOnly(true);
  // Only shows the list; the "..." button chooses it, so Tab goes there.
  destination_field_->setFocusPolicy(Qt::NoFocus);
  choose_list_ = new QToolButton(this);
  choose_list_->setText(QStringLiteral("..."));
  choose_list_->setPopupMode(QToolButton::InstantPopup);
  auto* lists_menu = new QMenu(choose_list_);
  auto* lists_group = new QActionGroup(lists_menu);
  for (int list = 0; list < store::kAddressListCount; ++list) {
    QAction* action = lists_menu->addAction(Text(store::AddressListName(list)));
    action->setCheckable(true);
    action->setData(list);
    lists_group->addAction(action);
    connect(action, &QAction::triggered, this, [this, list] { SetDestinationList(list); });
  }
  choose_list_->setMenu(lists_menu);
  auto* destination_label = new QLabel(tr("Select destination address list:"), this);
  destination_label->setBuddy(choose_list_);
  auto* destination_row = new QHBoxLayout;
  destination_row->addWidget(destination_field_, 1);
  destination_row->addWidget(choose_list_);

  import_ = new QPushButton(tr("Import"), this);
  import_->setDefault(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->addButton(import_, QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(import_, &QPushButton::clicked, this, [this] { Import(); });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(sources_label);
  layout->addWidget(sources_, 1);
  layout->addWidget(destination_label);
  layout->addLayout(destination_row);
  layout->addWidget(buttons);

  connect(sources_, &QTreeWidget::itemSelectionChanged, this,
          [this] { import_->setEnabled(SelectedSource().has_value()); });
  const bool has_address_book = HasThunderbirdProfile(home_);
  AddSources(has_address_book);
  SelectSource(has_address_book ? AddressSource::kAddressBook : AddressSource::kTextFile);
  SetDestinationList(store::kTrustedContactsList);
  resize(440, 260);
}

void ImportAddressesWindow::AddSources(bool has_address_book) {
  for (AddressSource source : kSources) {
    auto* item = new QTreeWidgetItem(sources_);
    if (source == AddressSource::kAddressBook && !has_address_book) {
      // Shown rather than left out, so the user learns why the books are not offered.
      item->setText(0, Text(kNoAddressBookText));
      item->setFlags(Qt::NoItemFlags);
      continue;
    }
    item->setText(0, Text(import::AddressSourceName(source)));
    item->setData(0, Qt::UserRole, static_cast<int>(source));
  }
}

QTreeWidgetItem* ImportAddressesWindow::ItemOf(AddressSource source) const {
  for (int row = 0; row < sources_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = sources_->topLevelItem(row);
    const QVariant data = item->data(0, Qt::UserRole);
    if (data.isValid() && data.toInt() == static_cast<int>(source)) return item;
  }
  return nullptr;
}

std::optional<AddressSource> ImportAddressesWindow::SelectedSource() const {
  const QList<QTreeWidgetItem*> selected = sources_->selectedItems();
  if (selected.isEmpty()) return std::nullopt;
  const QVariant data = selected.front()->data(0, Qt::UserRole);
  if (!data.isValid()) return std::nullopt;
  return static_cast<AddressSource>(data.toInt());
}

bool ImportAddressesWindow::SelectSource(AddressSource source) {
  QTreeWidgetItem* item = ItemOf(source);
  if (item == nullptr) return false;
  sources_->setCurrentItem(item);
  item->setSelected(true);
  return true;
}

void ImportAddressesWindow::SetDestinationList(int list_index) {
  if (store::AddressListName(list_index).empty()) return;
  destination_ = list_index;
  destination_field_->setText(Text(store::AddressListName(list_index)));
  for (QAction* action : choose_list_->menu()->actions()) {
    action->setChecked(action->data().toInt() == list_index);
  }
}

std::optional<int> ImportAddressesWindow::Import() {
  const std::optional<AddressSource> source = SelectedSource();
  if (!source) return std::nullopt;
  std::string path;
  if (*source != AddressSource::kAddressBook) {
    const std::optional<std::string> chosen = choose_file_(this, FiltersOf(*source));
    if (!chosen) return std::nullopt;
    path = *chosen;
  }
  const int result = RunAddressImport(*source, path, home_, destination_, calls_);
  ShowImportResult(*source, result, kImportAddressesCaption);
  return result;
}

}  // namespace pelrion::ui
