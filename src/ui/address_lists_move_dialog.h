// The list chooser of "Move": "Move the item(s) to the selected Address List:" over the two
// lists, the list other than the one shown chosen first.
#pragma once

#include <QDialog>

class QListWidget;

namespace pelrion::ui {

class AddressListsMoveDialog : public QDialog {
  Q_OBJECT

 public:
  AddressListsMoveDialog(int shown_list, QWidget* parent = nullptr);

  int ChosenList() const;
  QListWidget* lists() const { return lists_; }

 private:
  QListWidget* lists_ = nullptr;
};

}  // namespace pelrion::ui
