// The "Import Addresses" window: fills an address list in one go from the user's Thunderbird
// address books, a vCard file or a text file with one address per line. Addresses any
// contact already holds are skipped, so an import never moves an address between the lists.
// The first run offers the same address-book import into Trusted Contacts.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "import/address_sources.h"
#include "store/address_calls.h"

class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace pelrion::ui {

inline constexpr std::string_view kImportAddressesCaption = "Import Addresses";
// The address-book entry of the sources when the user has no Thunderbird profile.
inline constexpr std::string_view kNoAddressBookText = "No Thunderbird address book was found";
inline constexpr std::string_view kTextFileFilters = "Text Files (*.txt);;All Files (*)";
inline constexpr std::string_view kVCardFileFilters = "vCard Files (*.vcf *.vcard);;All Files (*)";

// Asks for the file to import with these filters; the local path (in the file system's
// encoding), or nullopt when the user cancels.
using ChooseImportFile =
    std::function<std::optional<std::string>(QWidget* parent, const QString& filters)>;

// The platform's "open file" dialog, starting in the home folder.
std::optional<std::string> ChooseImportFileWithDialog(QWidget* parent, const QString& filters);

// Whether the user has a Thunderbird profile under home whose address books can be offered.
bool HasThunderbirdProfile(std::string_view home);

// Runs one import of source into list_index: path is the file of the file sources; home is
// the folder whose Thunderbird profiles the address-book source reads. The count of contacts
// added, or -1 when the source could not be read.
int RunAddressImport(import::AddressSource source, const std::string& path, std::string_view home,
                     int list_index, store::AddressCalls& calls);

// Tells the result of an import of source in a box with this caption: a warning for a source
// that could not be read, information otherwise.
void ShowImportResult(import::AddressSource source, int result, std::string_view caption);

// The first run's address-book step: imports every Thunderbird address book under home into
// Trusted Contacts and shows the result. Empty when home holds no Thunderbird profile, so
// that nothing is offered. calls must outlive the step.
std::function<void()> AddressBookFirstRunStep(store::AddressCalls& calls, std::string home);

class ImportAddressesWindow : public QDialog {
  Q_OBJECT

 public:
  // calls must outlive the window. home is read once, for the sources the window offers.
  explicit ImportAddressesWindow(store::AddressCalls& calls, std::string home,
                                 ChooseImportFile choose_file = ChooseImportFileWithDialog,
                                 QWidget* parent = nullptr);

  // What "Import" does: a file source first asks for its file (a cancelled choice imports
  // nothing); the result is shown in a box. The import's result, or nullopt when nothing was
  // run (no source selected, or no file chosen).
  std::optional<int> Import();

  // The source selected in the tree; nullopt when none (or the "not found" entry) is.
  std::optional<import::AddressSource> SelectedSource() const;
  // Selects the source's entry; false when the tree does not offer it.
  bool SelectSource(import::AddressSource source);

  // The list the import fills: store::kTrustedContactsList (the default) or store::kBlackList.
  int DestinationList() const { return destination_; }
  void SetDestinationList(int list_index);

  QTreeWidget* sources() const { return sources_; }
  QLineEdit* destination() const { return destination_field_; }
  QToolButton* choose_list_button() const { return choose_list_; }
  QPushButton* import_button() const { return import_; }

 private:
  void AddSources(bool has_address_book);
  QTreeWidgetItem* ItemOf(import::AddressSource source) const;

  store::AddressCalls& calls_;
  const std::string home_;
  ChooseImportFile choose_file_;
  int destination_ = 0;
  QTreeWidget* sources_ = nullptr;
  QLineEdit* destination_field_ = nullptr;
  QToolButton* choose_list_ = nullptr;
  QPushButton* import_ = nullptr;
};

}  // namespace pelrion::ui
