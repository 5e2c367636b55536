// The "Trusted Domains" window: the list of domains whose senders are trusted, with "&Add"
// (asking for "New Domain:") and "&Remove" for the selected domain. Each change goes through
// the list's own operations, which rewrite its file at once.
#pragma once

#include <QDialog>

#include "store/trusted_domains.h"

class QListWidget;
class QPushButton;

namespace pelrion::ui {

class TrustedDomainsWindow : public QDialog {
  Q_OBJECT

 public:
  // domains must outlive the window.
  explicit TrustedDomainsWindow(store::TrustedDomainList& domains, QWidget* parent = nullptr);

  // Adds the text as typed into "New Domain:": trimmed and lower-cased by the list; a domain
  // already listed, or one longer than its field holds, is refused with a message. The new
  // domain is selected. True when added.
  bool AddDomain(const QString& text);
  // Removes the selected domain, if any.
  void RemoveSelected();
  // Reads the list again (another path, such as the control command, may have changed it).
  void Refresh();

  QListWidget* list() const { return list_; }
  QPushButton* add_button() const { return add_; }
  QPushButton* remove_button() const { return remove_; }

 private:
  void AskAndAdd();
  void Select(const QString& domain);

  store::TrustedDomainList& domains_;
  QListWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
};

}  // namespace pelrion::ui
