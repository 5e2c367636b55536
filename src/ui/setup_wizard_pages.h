// The pages of the Mail Account Setup Wizard. Each page writes what it collected into the
// wizard's WizardData when the user leaves it with Next.
#pragma once

#include <QWizardPage>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "store/account_creation.h"
#include "ui/wizard_mail_clients.h"

class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace pelrion::ui {

enum WizardPageId {
  kStartPage,
  kSelectClientPage,
  kSelectAccountPage,
  kImportPasswordPage,
  kImportDonePage,
  kNamePage,
  kEmailPage,
  kServersPage,
  kLogonPage,
  kManualDonePage,
};

// What the pages collected so far.
struct WizardData {
  store::NewAccount account;
  bool imported = false;  // the account came from another program (it has its own name)
  std::vector<std::string> clients;
  std::size_t client = 0;
  std::vector<store::NewAccount> candidates;
};

// The first page: import or type the settings.
class WizardStartPage : public QWizardPage {
  Q_OBJECT
 public:
  explicit WizardStartPage(QWidget* parent = nullptr);
  int nextId() const override;
  QRadioButton* import_choice() const { return import_; }
  QRadioButton* manual_choice() const { return manual_; }

 private:
  QRadioButton* import_ = nullptr;
  QRadioButton* manual_ = nullptr;
};

// A page of text fields that Next leaves only while every field holds more than white
// space; leaving stores the trimmed texts (passwords as typed). A text too long for its
// stored field is refused with the field's message rather than cut.
class WizardTextPage : public QWizardPage {
  Q_OBJECT
 public:
  WizardTextPage(const QString& heading, const QString& explanation, int next_id,
                 QWidget* parent = nullptr);

  // Adds a labelled field that fills target; message is shown when the text is too long.
  QLineEdit* AddField(const QString& label, std::string* target, std::string_view message,
                      std::size_t max_bytes, bool password = false);

  bool isComplete() const override;
  bool validatePage() override;
  int nextId() const override { return next_id_; }

 protected:
  QFormLayout* form() const { return form_; }

 private:
  struct Field {
    QLineEdit* edit;
    std::string* target;
    std::string_view message;
    std::size_t max_bytes;
    bool password;
  };
  QFormLayout* form_ = nullptr;
  std::vector<Field> fields_;
  int next_id_;
};

// "Select Mail Client": the e-mail programs found; with none, the manual path comes next.
class WizardClientPage : public QWizardPage {
  Q_OBJECT
 public:
  WizardClientPage(WizardData& data, MailClientImport& import, QWidget* parent = nullptr);
  void initializePage() override;
  bool isComplete() const override;
  bool validatePage() override;
  int nextId() const override;
  QLabel* notice() const { return notice_; }

 private:
  WizardData& data_;
  MailClientImport& import_;
  QListWidget* list_ = nullptr;
  QLabel* notice_ = nullptr;
};

// "Select Mail Account": the accounts read from the chosen program; with none, the manual
// path comes next.
class WizardCandidatePage : public QWizardPage {
  Q_OBJECT
 public:
  WizardCandidatePage(WizardData& data, MailClientImport& import, QWidget* parent = nullptr);
  void initializePage() override;
  bool isComplete() const override;
  bool validatePage() override;
  int nextId() const override;
  QLabel* notice() const { return notice_; }

 private:
  WizardData& data_;
  MailClientImport& import_;
  QListWidget* list_ = nullptr;
  QLabel* notice_ = nullptr;
};

// "Enter Account Password": the chosen account's name and its password.
class WizardImportPasswordPage : public WizardTextPage {
  Q_OBJECT
 public:
  WizardImportPasswordPage(WizardData& data, QWidget* parent = nullptr);
  void initializePage() override;

 private:
  WizardData& data_;
  QLabel* account_name_ = nullptr;
};

// The last page of either path.
class WizardDonePage : public QWizardPage {
  Q_OBJECT
 public:
  WizardDonePage(const QString& text, QWidget* parent = nullptr);
  int nextId() const override { return -1; }
};

}  // namespace pelrion::ui
