// Ends the Qt event loop on SIGINT or SIGTERM, so that the program shuts down in order.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace pelrion::app {

class QuitOnSignal : public QObject {
 public:
  // Installs the handlers; only one instance may exist.
  QuitOnSignal();
  ~QuitOnSignal() override;

 private:
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace pelrion::app
