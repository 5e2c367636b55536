#include "platform/viewer.h"

#include <optional>
#include <vector>

#include "platform/desktop_entry.h"
#include "platform/launch.h"

namespace pelrion::platform {

ViewerCommand ViewerCommandForExtension(std::string_view extension,
                                        const std::string& mime_types_path) {
  const std::optional<std::string> type = MimeTypeForExtension(extension, mime_types_path);
  if (!type) return {};
  return DefaultApplicationFor(*type, XdgDirsFromEnvironment());
}

std::vector<DesktopApplication> ApplicationsForExtension(std::string_view extension,
                                                         const std::string& mime_types_path) {
  const std::optional<std::string> type = MimeTypeForExtension(extension, mime_types_path);
  if (!type) return {};
  return ApplicationsFor(*type, XdgDirsFromEnvironment());
}

ViewerCommands LookUpViewerCommands(const std::string& mime_types_path) {
  return {ViewerCommandForExtension(".txt", mime_types_path),
          ViewerCommandForExtension(".eml", mime_types_path)};
}

bool OpenWithViewer(const std::string& file_path, const ViewerCommand& command) {
  if (command.empty()) return false;
  const std::optional<std::vector<std::string>> argv = SplitExecLine(command.exec, file_path);
  return argv && LaunchDetached(*argv) == 0;
}

}  // namespace pelrion::platform
