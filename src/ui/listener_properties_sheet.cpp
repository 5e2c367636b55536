#include "ui/listener_properties_sheet.h"

#include <variant>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>

#include "transport/listener_properties.h"
#include "transport/listener_work.h"

namespace pelrion::ui {
namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QLabel* ReadOnlyText(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace

ListenerPropertiesSheet::ListenerPropertiesSheet(store::ListenerTable& table,
                                                 store::ListenerControl& listeners,
                                                 platform::Dialogs& dialogs,
                                                 std::uint32_t listener_id,
                                                 const std::vector<std::string>& address_choices,
                                                 QWidget* parent)
    : QDialog(parent),
      table_(table),
      listeners_(listeners),
      dialogs_(dialogs),
      listener_id_(listener_id) {
  const store::Listener listener = table.CopyOf(listener_id).value_or(store::Listener{});
  setWindowTitle(tr("%1 Properties").arg(FromUtf8(transport::ListenerDisplayName(listener))));

  auto* pages = new QTabWidget(this);
  auto* page = new QWidget(pages);
  auto* form = new QFormLayout(page);
  const bool smtp = listener.protocol == store::ListenerProtocol::kSmtp;
  form->addRow(tr("Server type:"), ReadOnlyText(smtp ? "SMTP" : "POP3", page));
  form->addRow(tr("Server name:"), ReadOnlyText(FromUtf8(listener.server_host.Text()), page));
  form->addRow(tr("Server port:"), ReadOnlyText(QString::number(listener.server_port), page));

  address_ = new QComboBox(page);
  address_->setEditable(true);
  address_->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& choice : address_choices) address_->addItem(FromUtf8(choice));
  address_->setEditText(FromUtf8(transport::LocalAddressText(listener.local_address)));
  form->addRow(tr("Listener &address:"), address_);
  port_ = new QLineEdit(QString::number(listener.local_port), page);
  form->addRow(tr("Listener &port:"), port_);
  pages->addTab(page, tr("General"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* outer = new QVBoxLayout(this);
  outer->addWidget(pages);
  outer->addWidget(buttons);
  address_->setFocus();
  resize(340, sizeHint().height());
}

bool ListenerPropertiesSheet::Apply() {
  const auto parsed = transport::ParseLocalEndpoint(address_->currentText().toStdString(),
                                                    port_->text().toStdString());
  if (const auto* refusal = std::get_if<transport::EndpointRefusal>(&parsed)) {
    dialogs_.MessageBox(refusal->message, "Listeners", platform::DialogIcon::kWarning,
                        platform::DialogButtons::kOk);
    QWidget* field = refusal->field == transport::EndpointField::kAddress
                         ? static_cast<QWidget*>(address_)
                         : static_cast<QWidget*>(port_);
    field->setFocus();
    return false;
  }
  // A listener removed meanwhile (with its account) has nothing left to change.
  transport::ApplyLocalEndpoint(table_, listeners_, listener_id_,
                                std::get<transport::LocalEndpoint>(parsed));
  return true;
}

void ListenerPropertiesSheet::accept() {
  if (Apply()) QDialog::accept();
}

}  // namespace pelrion::ui
