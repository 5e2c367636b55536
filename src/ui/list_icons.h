// The message list's small icons: one per MessageStatus and the paper clip of a message with
// attachments. Each comes from the desktop's icon theme when it has one; a bare system gets
// a small drawing of our own so the list never shows an empty Status column.
#pragma once

#include <cstdint>

#include <QIcon>

namespace pelrion::ui {

// The icon for a MessageStatus code; codes outside 0..12 get the unassigned one.
QIcon StatusIcon(std::int32_t status);
QIcon AttachmentIcon();

}  // namespace pelrion::ui

namespace pelrion::ui {

// The folder bar's icon for a folder index 0..3 (Inbox, Quarantine, Junk Mail, Trash).
QIcon FolderIcon(int folder);

}  // namespace pelrion::ui
