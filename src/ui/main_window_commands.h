// The main window's commands: every menu entry, toolbar button and context-menu entry runs
// one of these, whatever its label there.
#pragma once

#include <array>

namespace pelrion::ui {

enum class Command {
  kOpen,
  kImportAddresses,
  kAddMailAccount,
  kProperties,
  kWorkOffline,
  kClose,
  kSelectAll,
  kMoveToFolder,
  kDelete,
  kEmptyTrash,
  kMarkRead,
  kMarkUnread,
  kMarkAllRead,
  kFoldersBar,
  kFolderCaption,
  kStatusBar,
  kSortAscending,
  kSortDescending,
  kCheckMail,
  kAddressLists,
  kApprove,
  kBlacklist,
  kTrustedDomains,
  kAccounts,
  kListeners,
  kOptions,
  kHelpContents,
  kAbout,
  kOpenFolder,
  kFolderProperties,
  kHideFoldersBar,
};

// The entries that open a window the program supplies (MainWindowServices::windows): the
// window only knows the command, the program knows what the window needs. An entry whose
// window is not supplied (help, until there are help pages) is shown disabled.
inline constexpr std::array kProgramWindowCommands = {
    Command::kImportAddresses, Command::kAddMailAccount, Command::kAddressLists,
    Command::kTrustedDomains,  Command::kAccounts,       Command::kListeners,
    Command::kOptions,         Command::kHelpContents,
};

// Commands that act on the selected messages and do nothing without one.
inline constexpr std::array kSelectionCommands = {
    Command::kOpen,       Command::kMoveToFolder, Command::kDelete,    Command::kMarkRead,
    Command::kMarkUnread, Command::kApprove,      Command::kBlacklist,
};

}  // namespace pelrion::ui
