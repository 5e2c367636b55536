#include "app/tool_stores.h"

#include <sys/stat.h>

namespace pelrion::app {

ToolStores::ToolStores(const std::string& database_folder) {
  ::mkdir(database_folder.c_str(), 0700);
  OpenStores(stores, {.database_folder = database_folder,
                      .preferences = preferences,
                      .main_thread = main_thread,
                      .listener_control = listener_control_,
                      .status_notices = notices_,
                      .folders_view = view_,
                      .registry = registry});
}

}  // namespace pelrion::app
