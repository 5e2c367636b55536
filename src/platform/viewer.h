// Showing a file with the program the desktop associates with its type: the look-up of that
// program's command and the launch of it for one file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/mime_types_file.h"
#include "platform/xdg_mime_apps.h"

namespace pelrion::platform {

// The commands looked up once at start-up: messages are shown as ".eml" files, headers, sources
// and parts "as text" as ".txt" files.
struct ViewerCommands {
  ViewerCommand txt;
  ViewerCommand eml;
};

// The application for files with this extension (with or without its dot): its MIME type from
// the mime.types table, then DefaultApplicationFor with the environment's folders. Empty when
// the extension has no type or the type no usable application.
ViewerCommand ViewerCommandForExtension(std::string_view extension,
                                        const std::string& mime_types_path = kSystemMimeTypesPath);

// Every application associated with the extension's type, the default first (see
// ApplicationsFor); empty when the extension has no type.
std::vector<DesktopApplication> ApplicationsForExtension(
    std::string_view extension, const std::string& mime_types_path = kSystemMimeTypesPath);

// The ".txt" and ".eml" commands.
ViewerCommands LookUpViewerCommands(const std::string& mime_types_path = kSystemMimeTypesPath);

// Starts the command's program for file_path (see SplitExecLine and LaunchDetached). False when
// the command is empty or cannot be split, or the program could not be started.
bool OpenWithViewer(const std::string& file_path, const ViewerCommand& command);

}  // namespace pelrion::platform
