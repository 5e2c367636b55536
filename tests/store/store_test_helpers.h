// Shared test scaffolding for the store tests: a private temporary folder, whole-file reads
// and writes, and hand-built little-endian fields for expected layouts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/main_thread.h"
#include "platform/registry.h"
#include "store/folders_view.h"
#include "store/held_messages.h"
#include "store/listener_control.h"
#include "store/status_notices.h"
#include "support/files.h"
#include "support/temp_dir.h"

namespace pelrion::store::testing {

// A fresh directory under $TMPDIR, removed with everything in it on destruction.
class TempDir {
 public:
  const std::string& path() const { return dir_.path(); }
  std::string File(std::string_view name) const { return dir_.path() + "/" + std::string(name); }

 private:
  test_support::TempDir dir_;
};

// Neighbours of the tables that a test does not watch: the constructing thread as main
// thread, and ports that start nothing, show nothing and hold nothing. Declare it before
// the tables so that it outlives them.
struct QuietPorts {
  platform::PlainMainThread main_thread;
  NoListenerControl listener_control;
  NoStatusNotices notices;
  HeldMessages held;
  NoFoldersView view;
  platform::MemoryRegistry registry;
};

using test_support::FileExists;
using test_support::ReadFile;
using test_support::WriteFile;

// Four bytes, least significant first (built independently of the code under test).
std::string Le32(std::uint32_t value);
// The 16 raw MD5 bytes of data.
std::string Md5Raw(std::string_view data);
// A text[size] field: text then zero fill.
std::string TextField(std::string_view text, std::size_t size);

}  // namespace pelrion::store::testing
