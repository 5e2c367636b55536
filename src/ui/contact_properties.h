// The "Contact Properties" window: a contact's display name, its list ("Select Address List:")
// and its addresses, edited with "New Address:" / "Add", "Address:" / "Modify" and "Remove".
// Every entered address is lower-cased; one that fails the e-mail syntax check needs the
// user's Yes; one already in the window's own list is refused. OK trims the name and refuses
// an address held by another contact (naming its list); otherwise the contact is added, or
// replaced under a new id, in the chosen list.
#pragma once

#include <QDialog>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/address_list_table.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace pelrion::ui {

// Caption of every box of the address-list windows but the delete question.
inline constexpr std::string_view kAddressListsCaption = "Address Lists";

// "The '%s' Address is already in the list."
std::string AddressInOwnListText(std::string_view address);

class ContactProperties : public QDialog {
  Q_OBJECT

 public:
  // contact is the one edited, or null for a new contact in list_index. lists must outlive
  // the window; the contact may go while it is open (it is found again by id on OK).
  ContactProperties(store::AddressListTable& lists, const store::Contact* contact, int list_index,
                    QWidget* parent = nullptr);

  // "Add": the "New Address:" text joins the list (and the field is cleared). False when
  // refused or when the user declines an address that does not look valid.
  bool AddAddress();
  // "Modify": the "Address:" text replaces the selected address. False as above.
  bool ModifyAddress();
  // "Remove": the selected address leaves the list.
  void RemoveAddress();
  // OK: see the header comment. The window stays open when refused.
  void accept() override;

  // The addresses as the list box holds them.
  std::vector<std::string> Addresses() const;
  // The contact stored by OK, or null.
  store::Contact* saved_contact() const { return saved_; }

  QLineEdit* name_field() const { return name_; }
  QComboBox* list_choice() const { return list_choice_; }
  QListWidget* address_list() const { return addresses_; }
  QLineEdit* new_address_field() const { return new_address_; }
  QLineEdit* address_field() const { return address_; }
  QPushButton* ok_button() const { return ok_; }

 private:
  // The lower-cased address of the field's text once every rule lets it in; nullopt after
  // telling the user why not. skip_row is the row being modified (-1: none).
  std::optional<std::string> EnteredAddress(const QLineEdit& field, const QString& label,
                                            int skip_row);
  void UpdateButtons();

  store::AddressListTable& lists_;
  std::uint32_t contact_id_ = 0;  // 0 for a new contact
  store::Contact* saved_ = nullptr;
  QLineEdit* name_ = nullptr;
  QComboBox* list_choice_ = nullptr;
  QListWidget* addresses_ = nullptr;
  QLineEdit* new_address_ = nullptr;
  QLineEdit* address_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* modify_ = nullptr;
  QPushButton* remove_ = nullptr;
  QPushButton* ok_ = nullptr;
};

}  // namespace pelrion::ui
