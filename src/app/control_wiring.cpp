#include "app/control_wiring.h"

#include <iostream>
#include <utility>

#include "app/command_context.h"
#include "app/command_dispatch.h"

namespace pelrion::app {

void StartControlServer(Application& app) {
  if (!app.cycle || !app.listeners) return;
  CommandContext context{.stores = app.stores,
                         .preferences = app.preferences,
                         .registry = app.registry,
                         .cycle = *app.cycle,
                         .listeners = app.listeners->threads(),
                         .database_folder = app.folders.database,
                         .request_stop = app.request_quit};
  app.control = std::make_unique<platform::ControlServer>(
      app.main_thread,
      [context](platform::ControlRequest request, platform::ControlResponder respond) mutable {
        HandleControlRequest(context, std::move(request), std::move(respond));
      });
  switch (app.control->Start(app.folders.temp)) {
    case platform::ControlStartOutcome::kListening:
      return;
    case platform::ControlStartOutcome::kAnotherInstance:
      std::cerr << "Another copy of Pelrion answers commands at "
                << platform::ControlSocketPath(app.folders.temp) << "; this copy takes none."
                << std::endl;
      break;
    case platform::ControlStartOutcome::kFailed:
      std::cerr << "Pelrion cannot take commands: " << app.control->error() << std::endl;
      break;
  }
  app.control.reset();
}

}  // namespace pelrion::app
