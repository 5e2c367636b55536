#include "ui/account_properties.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "mailformat/ascii.h"
#include "platform/dialogs.h"
#include "transport/listener_properties.h"
#include "transport/listener_tls_settings.h"
#include "ui/account_listener_tls.h"
#include "ui/account_texts.h"

namespace pelrion::ui {
namespace {

using store::AccountField;

QLineEdit* ReadOnlyField(QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setFocusPolicy(Qt::ClickFocus);
  return field;
}

// A label whose access key moves to field.
QLabel* Label(const QString& text, QWidget* field, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(field);
  return label;
}

void Warn(std::string_view text) {
  platform::CurrentDialogs().MessageBox(text, kMailAccountsCaption, platform::DialogIcon::kWarning,
                                        platform::DialogButtons::kOk);
}

std::uint32_t PortOf(const QLineEdit* field) {
  // Anything but 1-65535 is 0, which the check refuses with the port's message.
  return transport::ParsePortNumber(AccountBytes(field->text().trimmed())).value_or(0);
}

// A SHA-256 fingerprint is 32 hexadecimal pairs: shown as two lines of 16 so it is read
// whole in a window of common width.
QString PinnedText(const std::string& fingerprint) {
  if (fingerprint.empty()) return QCoreApplication::translate("AccountProperties", "(none)");
  QStringList pairs = AccountText(fingerprint).split(':');
  QStringList lines;
  for (qsizetype first = 0; first < pairs.size(); first += 16) {
    lines.push_back(pairs.mid(first, 16).join(':'));
  }
  return lines.join('\n');
}

QLabel* PinnedField(QWidget* parent) {
  auto* field = new QLabel(parent);
  field->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  field->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return field;
}

}  // namespace

AccountProperties::AccountProperties(AccountWindowPorts ports, std::uint32_t account_id,
                                     QWidget* parent)
    : QDialog(parent), ports_(std::move(ports)), id_(account_id) {
  if (auto stored = ports_.accounts.CopyOf(account_id)) original_ = *stored;
  const bool same_login = original_.smtp_user_name == original_.pop3_user_name &&
                          original_.smtp_password == original_.pop3_password;
  logon_ = {.same_as_incoming = same_login,
            .user = same_login ? std::string() : std::string(original_.smtp_user_name.Text()),
            .password = same_login ? std::string() : std::string(original_.smtp_password.Text())};
  setWindowTitle(tr("Mail Account Properties"));

  pages_ = new QTabWidget(this);
  pages_->addTab(GeneralPage(), tr("General"));
  pages_->addTab(ServersPage(), tr("Servers"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);
  resize(520, sizeHint().height());
}

QWidget* AccountProperties::GeneralPage() {
  auto* page = new QWidget(pages_);
  auto* account = new QGroupBox(tr("Mail Account"), page);
  friendly_ = new QLineEdit(AccountText(original_.friendly_name.Text()), account);
  auto* account_layout = new QGridLayout(account);
  account_layout->addWidget(
      new QLabel(tr("The name by which Pelrion shows this account in its lists."), account), 0, 0,
      1, 2);
  account_layout->addWidget(Label(tr("&Friendly name:"), friendly_, account), 1, 0);
  account_layout->addWidget(friendly_, 1, 1);

  auto* user = new QGroupBox(tr("User Information"), page);
  display_ = new QLineEdit(AccountText(original_.display_name.Text()), user);
  email_ = new QLineEdit(AccountText(original_.email_address.Text()), user);
  auto* user_layout = new QGridLayout(user);
  user_layout->addWidget(Label(tr("&Name:"), display_, user), 0, 0);
  user_layout->addWidget(display_, 0, 1);
  user_layout->addWidget(Label(tr("&E-mail address:"), email_, user), 1, 0);
  user_layout->addWidget(email_, 1, 1);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(account);
  layout->addWidget(user);
  layout->addStretch();
  return page;
}

QWidget* AccountProperties::ServerGroup(bool smtp, QWidget* parent) {
  ServerWidgets& server = server_[smtp];
  const std::uint32_t listener_id = smtp ? original_.smtp_listener_id : original_.pop3_listener_id;
  const std::optional<store::Listener> listener = ports_.listeners.CopyOf(listener_id);
  auto* group =
      new QGroupBox(smtp ? tr("Outgoing Mail (SMTP)") : tr("Incoming Mail (POP3)"), parent);
  server.host =
      new QLineEdit(listener ? AccountText(listener->server_host.Text()) : QString(), group);
  server.port = new QLineEdit(listener ? QString::number(listener->server_port) : QString(), group);
  server.port->setMaximumWidth(80);
  server.listener_address = ReadOnlyField(group);
  server.listener_port = ReadOnlyField(group);
  server.listener_port->setMaximumWidth(80);
  server.tls_mode = new QComboBox(group);
  for (const transport::TlsMode mode : kTlsModes) server.tls_mode->addItem(TlsModeText(mode));
  server.pinned = PinnedField(group);
  server.forget = new QPushButton(smtp ? tr("For&get") : tr("&Forget"), group);
  connect(server.forget, &QPushButton::clicked, this, [this, smtp] {
    server_[smtp].forget_pin = true;
    server_[smtp].pinned->setText(PinnedText({}));
    server_[smtp].forget->setEnabled(false);
  });

  auto* grid = new QGridLayout(group);
  grid->setColumnStretch(1, 1);
  int row = 0;
  grid->addWidget(
      Label(smtp ? tr("&Outgoing mail (SMTP):") : tr("&Incoming mail (POP3):"), server.host, group),
      row, 0);
  grid->addWidget(server.host, row, 1);
  grid->addWidget(Label(smtp ? tr("Por&t:") : tr("Po&rt:"), server.port, group), row, 2);
  grid->addWidget(server.port, row++, 3);
  if (!smtp) {
    pop3_user_ = new QLineEdit(AccountText(original_.pop3_user_name.Text()), group);
    pop3_password_ = new QLineEdit(AccountText(original_.pop3_password.Text()), group);
    pop3_password_->setEchoMode(QLineEdit::Password);
    grid->addWidget(Label(tr("&Account name:"), pop3_user_, group), row, 0);
    grid->addWidget(pop3_user_, row++, 1, 1, 3);
    grid->addWidget(Label(tr("&Password:"), pop3_password_, group), row, 0);
    grid->addWidget(pop3_password_, row++, 1, 1, 3);
  } else {
    authentication_ = new QCheckBox(tr("My ser&ver requires authentication"), group);
    authentication_->setChecked(original_.smtp_authentication == 1);
    settings_ = new QPushButton(tr("S&ettings..."), group);
    settings_->setEnabled(authentication_->isChecked());
    connect(authentication_, &QCheckBox::toggled, settings_, &QPushButton::setEnabled);
    connect(settings_, &QPushButton::clicked, this, &AccountProperties::EditOutgoingLogon);
    grid->addWidget(authentication_, row, 0, 1, 2);
    grid->addWidget(settings_, row++, 2, 1, 2);
  }
  grid->addWidget(new QLabel(tr("Listener:"), group), row, 0);
  grid->addWidget(server.listener_address, row, 1);
  grid->addWidget(new QLabel(tr("Port:"), group), row, 2);
  grid->addWidget(server.listener_port, row++, 3);
  grid->addWidget(Label(smtp ? tr("Securit&y:") : tr("Se&curity:"), server.tls_mode, group), row,
                  0);
  grid->addWidget(server.tls_mode, row++, 1, 1, 3);
  grid->addWidget(new QLabel(tr("Pinned certificate:"), group), row, 0);
  auto* pin_row = new QHBoxLayout;
  pin_row->addWidget(server.pinned, 1);
  pin_row->addWidget(server.forget);
  grid->addLayout(pin_row, row++, 1, 1, 3);
  ShowListener(smtp, listener_id);
  return group;
}

QWidget* AccountProperties::ServersPage() {
  auto* page = new QWidget(pages_);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(ServerGroup(false, page));
  layout->addWidget(ServerGroup(true, page));
  include_ = new QCheckBox(tr("Include this account when receiving mail"), page);
  include_->setChecked(original_.included != 0);
  layout->addWidget(include_);
  layout->addStretch();
  // Down the POP3 group, then the SMTP group, each server before its port.
  const ServerWidgets& pop3 = server_[0];
  const ServerWidgets& smtp = server_[1];
  for (auto [first, second] : {std::pair<QWidget*, QWidget*>{pop3.host, pop3.port},
                               {pop3.port, pop3_user_},
                               {pop3_user_, pop3_password_},
                               {pop3_password_, pop3.tls_mode},
                               {pop3.tls_mode, pop3.forget},
                               {pop3.forget, smtp.host},
                               {smtp.host, smtp.port},
                               {smtp.port, authentication_},
                               {authentication_, settings_},
                               {settings_, smtp.tls_mode},
                               {smtp.tls_mode, smtp.forget},
                               {smtp.forget, include_}}) {
    setTabOrder(first, second);
  }
  return page;
}

void AccountProperties::ShowListener(bool smtp, std::uint32_t listener_id) {
  ServerWidgets& server = server_[smtp];
  const std::optional<store::Listener> listener = ports_.listeners.CopyOf(listener_id);
  server.listener_address->setText(
      listener ? AccountText(transport::LocalAddressText(listener->local_address)) : QString());
  server.listener_port->setText(listener ? QString::number(listener->local_port) : QString());
  const transport::ListenerTlsSettings tls =
      transport::ReadListenerTlsSettings(ports_.registry, listener_id);
  server.tls_mode->setCurrentIndex(static_cast<int>(tls.mode));
  server.pinned->setText(PinnedText(tls.fingerprint));
  server.forget->setEnabled(!tls.fingerprint.empty());
  server.forget_pin = false;
}

void AccountProperties::EditOutgoingLogon() {
  OutgoingServerDialog dialog(logon_, this);
  if (dialog.exec() == QDialog::Accepted) logon_ = dialog.logon();
}

QWidget* AccountProperties::FieldWidget(AccountField field) const {
  switch (field) {
    case AccountField::kFriendlyName:
      return friendly_;
    case AccountField::kDisplayName:
      return display_;
    case AccountField::kEmailAddress:
      return email_;
    case AccountField::kPop3Host:
      return server_[0].host;
    case AccountField::kPop3Port:
      return server_[0].port;
    case AccountField::kPop3User:
      return pop3_user_;
    case AccountField::kPop3Password:
      return pop3_password_;
    case AccountField::kSmtpHost:
      return server_[1].host;
    case AccountField::kSmtpPort:
      return server_[1].port;
    case AccountField::kSmtpUser:
    case AccountField::kSmtpPassword:
      return settings_;
  }
  return nullptr;
}

std::optional<store::NewAccount> AccountProperties::CheckedFields() {
  store::NewAccount fields;
  fields.friendly_name = AccountBytes(friendly_->text());
  fields.display_name = AccountBytes(display_->text());
  fields.email_address = AccountBytes(email_->text());
  fields.pop3_host = AccountBytes(server_[0].host->text());
  fields.pop3_port = PortOf(server_[0].port);
  fields.pop3_user = AccountBytes(pop3_user_->text());
  fields.pop3_password = AccountBytes(pop3_password_->text());
  fields.smtp_host = AccountBytes(server_[1].host->text());
  fields.smtp_port = PortOf(server_[1].port);
  fields.smtp_authentication = authentication_->isChecked();
  // The same login for both servers is kept as equal pairs: that is how the choice is
  // recognised when the sheet opens again.
  fields.smtp_user = logon_.same_as_incoming ? fields.pop3_user : logon_.user;
  fields.smtp_password = logon_.same_as_incoming ? fields.pop3_password : logon_.password;
  fields.included = include_->isChecked();

  store::AccountCheck check{.unique_among = &ports_.accounts, .except_id = id_};
  for (;;) {
    store::NewAccount checked = fields;
    const std::optional<store::AccountRefusal> refusal = store::CheckAccountFields(checked, check);
    if (!refusal) return checked;
    QWidget* widget = FieldWidget(refusal->field);
    if (refusal->message == store::kDoubtfulAddressText &&
        platform::CurrentDialogs().MessageBox(
            refusal->message, kMailAccountsCaption, platform::DialogIcon::kQuestion,
            platform::DialogButtons::kYesNo) == platform::DialogAnswer::kYes) {
      check.doubtful_address_kept = true;
      continue;
    }
    if (refusal->message != store::kDoubtfulAddressText) Warn(refusal->message);
    for (int page = 0; page < pages_->count(); ++page) {
      if (pages_->widget(page)->isAncestorOf(widget)) pages_->setCurrentIndex(page);
    }
    widget->setFocus();
    return std::nullopt;
  }
}

std::uint32_t AccountProperties::ListenerFor(std::uint32_t current, const std::string& host,
                                             std::uint32_t port, store::ListenerProtocol protocol) {
  const std::optional<store::Listener> listener = ports_.listeners.CopyOf(current);
  if (listener && listener->server_port == port &&
      mailformat::ascii::EqualsIgnoreCase(listener->server_host.Text(), host)) {
    return current;
  }
  return ports_.listeners.FindOrCreateListener(host, port, protocol, /*start=*/true);
}

bool AccountProperties::Apply() {
  const std::optional<store::MailAccount> stored = ports_.accounts.CopyOf(id_);
  if (!stored) return false;
  const std::optional<store::NewAccount> fields = CheckedFields();
  if (!fields) return false;

  store::MailAccount updated = *stored;
  updated.friendly_name.Set(fields->friendly_name);
  updated.display_name.Set(fields->display_name);
  updated.email_address.Set(fields->email_address);
  updated.pop3_user_name.Set(fields->pop3_user);
  updated.pop3_password.Set(fields->pop3_password);
  updated.smtp_user_name.Set(fields->smtp_user);
  updated.smtp_password.Set(fields->smtp_password);
  updated.smtp_authentication = fields->smtp_authentication ? 1 : 0;
  updated.included = fields->included ? 1 : 0;
  updated.pop3_listener_id = ListenerFor(stored->pop3_listener_id, fields->pop3_host,
                                         fields->pop3_port, store::ListenerProtocol::kPop3);
  updated.smtp_listener_id = ListenerFor(stored->smtp_listener_id, fields->smtp_host,
                                         fields->smtp_port, store::ListenerProtocol::kSmtp);
  ports_.accounts.UpdateAccount(updated);
  // Only once the account points elsewhere can the old listeners be orphaned.
  if (updated.pop3_listener_id != stored->pop3_listener_id) {
    ports_.accounts.DropListenerIfOrphaned(stored->pop3_listener_id);
  }
  if (updated.smtp_listener_id != stored->smtp_listener_id) {
    ports_.accounts.DropListenerIfOrphaned(stored->smtp_listener_id);
  }
  const std::uint32_t listener_ids[2] = {updated.pop3_listener_id, updated.smtp_listener_id};
  const std::uint32_t old_ids[2] = {stored->pop3_listener_id, stored->smtp_listener_id};
  for (const bool smtp : {false, true}) {
    const ServerWidgets& server = server_[smtp];
    // The pin shown belonged to the old listener; a new server keeps whatever it has.
    const bool same_listener = listener_ids[smtp] == old_ids[smtp];
    ApplyListenerTls(ports_.registry, ports_.listener_threads, listener_ids[smtp],
                     {.mode = kTlsModes[server.tls_mode->currentIndex()],
                      .forget_pin = server.forget_pin && same_listener});
  }
  original_ = updated;
  for (const bool smtp : {false, true}) ShowListener(smtp, listener_ids[smtp]);
  return true;
}

void AccountProperties::accept() {
  // An account removed meanwhile has nothing left to edit.
  if (!ports_.accounts.CopyOf(id_)) {
    QDialog::reject();
    return;
  }
  if (Apply()) QDialog::accept();
}

}  // namespace pelrion::ui
