#include "platform/dialogs.h"

#include <atomic>
#include <cstdio>

namespace pelrion::platform {
namespace {

// One fwrite per line so that lines written by different threads do not interleave.
void WriteLine(std::string_view prefix, std::string_view text) {
  std::string line;
  line.reserve(prefix.size() + text.size() + 3);
  if (!prefix.empty()) {
    line.append(prefix);
    line.append(": ");
  }
  line.append(text);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

std::atomic<Dialogs*> g_dialogs{nullptr};

}  // namespace

DialogAnswer HeadlessDialogs::MessageBox(std::string_view text, std::string_view caption,
                                         DialogIcon, DialogButtons buttons) {
  WriteLine(caption, text);
  switch (buttons) {
    case DialogButtons::kOk:
    case DialogButtons::kOkCancel:
      return DialogAnswer::kOk;
    case DialogButtons::kYesNo:
    case DialogButtons::kYesNoDefaultNo:
    case DialogButtons::kYesNoCancel:
      return DialogAnswer::kNo;
  }
  return DialogAnswer::kOk;
}

std::optional<std::string> HeadlessDialogs::ChooseFolder(std::string_view title) {
  std::string line(title);
  line.append(" [no folder can be chosen without a display: cancelled]");
  WriteLine({}, line);
  return std::nullopt;
}

void HeadlessDialogs::ShowStatus(std::string_view text) {
  if (!text.empty()) WriteLine({}, text);
}

void HeadlessDialogs::ShowStartupStage(std::string_view text) {
  if (!text.empty()) WriteLine({}, text);
}

Dialogs& CurrentDialogs() {
  static HeadlessDialogs headless;
  Dialogs* dialogs = g_dialogs.load(std::memory_order_acquire);
  return dialogs != nullptr ? *dialogs : headless;
}

void SetDialogs(Dialogs* dialogs) { g_dialogs.store(dialogs, std::memory_order_release); }

}  // namespace pelrion::platform
