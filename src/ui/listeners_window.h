// The "Listeners" window: every listener by its display name, with an icon saying whether it
// runs (read again every 100 ms, so a listener that fails or is restarted shows it), "&Start"
// for a stopped one and "&Properties" for its sheet.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>

#include "platform/dialogs.h"
#include "store/listener_control.h"
#include "store/listener_table.h"

class QPushButton;
class QTreeWidget;

namespace pelrion::ui {

class ListenersWindow : public QDialog {
  Q_OBJECT

 public:
  // What the properties sheet's address field offers; asked each time a sheet opens.
  using AddressChoices = std::function<std::vector<std::string>()>;

  // Everything given outlives the window.
  ListenersWindow(store::ListenerTable& table, store::ListenerControl& listeners,
                  platform::Dialogs& dialogs, AddressChoices address_choices,
                  QWidget* parent = nullptr);

  // Lists the listeners again (names, running icons), keeping the selection.
  void Refresh();
  // The selected listener, if any.
  std::optional<std::uint32_t> Selected() const;
  void Select(std::uint32_t listener_id);
  // "&Start": starts the selected listener unless it runs.
  void StartSelected();
  // "&Properties": the selected listener's sheet, modal.
  void ShowProperties();

  QTreeWidget* list() const { return list_; }
  QPushButton* start_button() const { return start_; }
  QPushButton* properties_button() const { return properties_; }

 private:
  void UpdateButtons();

  store::ListenerTable& table_;
  store::ListenerControl& listeners_;
  platform::Dialogs& dialogs_;
  AddressChoices address_choices_;
  QTreeWidget* list_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* properties_ = nullptr;
};

}  // namespace pelrion::ui
