#include "ui/setup_wizard.h"

#include <QLineEdit>

#include "platform/dialogs.h"
#include "ui/account_texts.h"

namespace pelrion::ui {
namespace {

void Tell(std::string_view text, platform::DialogIcon icon) {
  platform::CurrentDialogs().MessageBox(text, kMailAccountsCaption, icon,
                                        platform::DialogButtons::kOk);
}

}  // namespace

SetupWizard::SetupWizard(store::AccountTable& accounts, store::ListenerTable& listeners,
                         MailClientImport& mail_clients, QWidget* parent)
    : QWizard(parent), accounts_(accounts), listeners_(listeners) {
  setWindowTitle(tr("Mail Account Setup Wizard"));
  setWizardStyle(QWizard::ModernStyle);
  setOption(QWizard::NoBackButtonOnStartPage);
  store::NewAccount& account = data_.account;

  setPage(kStartPage, new WizardStartPage(this));
  setPage(kSelectClientPage, new WizardClientPage(data_, mail_clients, this));
  setPage(kSelectAccountPage, new WizardCandidatePage(data_, mail_clients, this));
  setPage(kImportPasswordPage, new WizardImportPasswordPage(data_, this));
  setPage(kImportDonePage,
          new WizardDonePage(tr("You have successfully entered all of the information required "
                                "to import your mail account.\n\nTo save these settings, click "
                                "Finish."),
                             this));

  auto* name = new WizardTextPage(
      tr("Your Name"),
      tr("When you send e-mail, your name appears in the From field of the outgoing message. "
         "Type your name as you would like it to appear."),
      kEmailPage, this);
  name->AddField(tr("&Display name:"), &account.display_name, store::kDisplayNameText,
                 store::kMaxNameBytes)
      ->setObjectName("display_name");
  setPage(kNamePage, name);

  auto* email = new WizardTextPage(
      tr("Internet E-mail Address"),
      tr("Your e-mail address is the address other people use to send e-mail messages to you. "
         "Pelrion's authorization requests are sent from it."),
      kServersPage, this);
  email
      ->AddField(tr("&E-mail address:"), &account.email_address, store::kEmailAddressText,
                 store::kMaxNameBytes)
      ->setObjectName("email");
  setPage(kEmailPage, email);

  auto* servers = new WizardTextPage(
      tr("E-mail Server Names"),
      tr("Type the names of your real mail servers, as your e-mail program uses them now."),
      kLogonPage, this);
  servers
      ->AddField(tr("&Incoming mail (POP3) server:"), &account.pop3_host, store::kPop3ServerText,
                 store::kMaxHostBytes)
      ->setObjectName("pop3_host");
  servers
      ->AddField(tr("&Outgoing mail (SMTP) server:"), &account.smtp_host, store::kSmtpServerText,
                 store::kMaxHostBytes)
      ->setObjectName("smtp_host");
  setPage(kServersPage, servers);

  auto* logon = new WizardTextPage(
      tr("Internet Mail Logon"),
      tr("Type the account name and password your mail provider gave you."), kManualDonePage, this);
  logon
      ->AddField(tr("&Account name:"), &account.pop3_user, store::kLoginNameText,
                 store::kMaxNameBytes)
      ->setObjectName("pop3_user");
  logon
      ->AddField(tr("&Password:"), &account.pop3_password, store::kPasswordText,
                 store::kMaxPasswordBytes, /*password=*/true)
      ->setObjectName("pop3_password");
  setPage(kLogonPage, logon);

  setPage(kManualDonePage,
          new WizardDonePage(tr("You have successfully entered all of the information required "
                                "to set up your account.\n\nTo save these settings, click "
                                "Finish."),
                             this));
  // The manual path starts afresh, also after a look at an imported account: its pages
  // fill every field, and the ports are the usual ones.
  connect(this, &QWizard::currentIdChanged, this, [this](int id) {
    if (id != kNamePage) return;
    data_.account = store::NewAccount{};
    data_.imported = false;
  });
  setStartId(kStartPage);
  resize(560, 420);
}

QLineEdit* SetupWizard::Field(const char* name) const {
  return findChild<QLineEdit*>(QString::fromLatin1(name));
}

void SetupWizard::reject() {
  if (platform::CurrentDialogs().MessageBox(
          kExitWizardText, kMailAccountsCaption, platform::DialogIcon::kQuestion,
          platform::DialogButtons::kYesNoDefaultNo) == platform::DialogAnswer::kYes) {
    QWizard::reject();
  }
}

void SetupWizard::accept() {
  store::NewAccount account = data_.account;
  // A typed account is named after its incoming server, the way mail programs name theirs;
  // an imported one keeps the name it had in its program.
  if (!data_.imported || account.friendly_name.empty()) account.friendly_name = account.pop3_host;
  // The pages asked for each field; the address is taken as the user typed it.
  if (const auto refusal = store::CheckAccountFields(account, {.doubtful_address_kept = true})) {
    Tell(refusal->message, platform::DialogIcon::kWarning);
    return;
  }
  const store::CreatedAccount created = store::CreateAccount(accounts_, listeners_, account);
  created_ = created.id;
  Tell(store::AccountCreatedText(created.pop3, created.smtp), platform::DialogIcon::kInformation);
  QWizard::accept();
}

}  // namespace pelrion::ui
