#include "ui/listeners_window.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "transport/listener_work.h"
#include "ui/listener_properties_sheet.h"

namespace pelrion::ui {
namespace {

// Often enough that a listener failing to bind, or started, shows at once.
constexpr int kRefreshMilliseconds = 100;
constexpr int kIdRole = Qt::UserRole;

QIcon RunningIcon(const QStyle& style, bool running) {
  return running ? QIcon::fromTheme("media-playback-start",
                                    style.standardIcon(QStyle::SP_MediaPlay))
                 : QIcon::fromTheme("media-playback-stop",
                                    style.standardIcon(QStyle::SP_MediaStop));
}

}  // namespace

ListenersWindow::ListenersWindow(store::ListenerTable& table, store::ListenerControl& listeners,
                                 platform::Dialogs& dialogs, AddressChoices address_choices,
                                 QWidget* parent)
    : QDialog(parent),
      table_(table),
      listeners_(listeners),
      dialogs_(dialogs),
      address_choices_(std::move(address_choices)) {
  setWindowTitle(tr("Listeners"));
  list_ = new QTreeWidget(this);
  list_->setColumnCount(1);
  list_->setHeaderLabels({tr("Listener")});
  list_->setRootIsDecorated(false);
  list_->setSortingEnabled(false);
  start_ = new QPushButton(tr("&Start"), this);
  properties_ = new QPushButton(tr("&Properties"), this);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(start_, &QPushButton::clicked, this, &ListenersWindow::StartSelected);
  connect(properties_, &QPushButton::clicked, this, &ListenersWindow::ShowProperties);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &ListenersWindow::ShowProperties);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &ListenersWindow::UpdateButtons);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start_);
  buttons->addWidget(properties_);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(list_);
  outer->addLayout(buttons);

  Refresh();
  if (list_->topLevelItemCount() > 0) list_->setCurrentItem(list_->topLevelItem(0));
  UpdateButtons();
  auto* timer = new QTimer(this);
  connect(timer, &QTimer::timeout, this, &ListenersWindow::Refresh);
  timer->start(kRefreshMilliseconds);
  resize(380, 260);
}

void ListenersWindow::Refresh() {
  const std::optional<std::uint32_t> selected = Selected();
  const std::vector<std::uint32_t> ids = table_.Ids();
  // Rows are rebuilt only when the set of listeners changed, so a refresh every 100 ms
  // neither flickers nor loses the keyboard position.
  bool same = static_cast<int>(ids.size()) == list_->topLevelItemCount();
  for (int row = 0; same && row < list_->topLevelItemCount(); ++row) {
    same = list_->topLevelItem(row)->data(0, kIdRole).toUInt() == ids[static_cast<size_t>(row)];
  }
  if (!same) {
    list_->clear();
    for (std::uint32_t id : ids) {
      auto* item = new QTreeWidgetItem(list_);
      item->setData(0, kIdRole, id);
    }
    if (selected) Select(*selected);
  }
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const std::uint32_t id = item->data(0, kIdRole).toUInt();
    const auto listener = table_.CopyOf(id);
    if (!listener) continue;
    const std::string name = transport::ListenerDisplayName(*listener);
    item->setText(0, QString::fromStdString(name));
    item->setIcon(0, RunningIcon(*style(), listeners_.IsRunning(id)));
  }
  UpdateButtons();
}

std::optional<std::uint32_t> ListenersWindow::Selected() const {
  const QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || !item->isSelected()) return std::nullopt;
  return item->data(0, kIdRole).toUInt();
}

void ListenersWindow::Select(std::uint32_t listener_id) {
  for (int row = 0; row < list_->topLevelItemCount(); ++row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (item->data(0, kIdRole).toUInt() == listener_id) list_->setCurrentItem(item);
  }
}

void ListenersWindow::StartSelected() {
  const auto id = Selected();
  if (!id || listeners_.IsRunning(*id)) return;
  listeners_.StartListener(*id);
  Refresh();
}

void ListenersWindow::ShowProperties() {
  const auto id = Selected();
  if (!id || !table_.CopyOf(*id)) return;
  ListenerPropertiesSheet sheet(table_, listeners_, dialogs_, *id, address_choices_(), this);
  sheet.exec();
  Refresh();
}

void ListenersWindow::UpdateButtons() {
  const auto id = Selected();
  start_->setEnabled(id.has_value() && !listeners_.IsRunning(*id));
  properties_->setEnabled(id.has_value());
}

}  // namespace pelrion::ui
