// Loads a whole database folder made of fuzzed bytes through the real tables, in the
// program's start-up order, then loads it a second time. The input starts with eight 16-bit
// little-endian lengths for "db1.dat" ... "db8.dat"; the bytes after them are cut into the
// files in that order and "db9.dat" takes the rest. Damaged content must be dropped (or
// freed) quietly: only a real file error may reach FatalStop, and none can happen here, so
// any exit is a finding. The summary and address-blob decoders also get the raw bytes.
#include <dirent.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "store/account_table.h"
#include "store/address_list_table.h"
#include "store/duplicate_digest_table.h"
#include "store/installation_id.h"
#include "store/list_blob.h"
#include "store/listener_table.h"
#include "store/message_summary.h"
#include "store/message_table.h"
#include "store/trusted_domains.h"

namespace {

using namespace pelrion::store;

constexpr std::size_t kSplitFiles = 8;

const std::string& TempFolder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/pelrion-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern + "/";
  }();
  return folder;
}

// Empties the folder: message files a previous input made must not leak into this one.
void ClearFolder(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) std::abort();
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") ::unlink((folder + name).c_str());
  }
  ::closedir(dir);
}

void Write(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Sizes {
  std::size_t listeners = 0, accounts = 0, contacts = 0, domains = 0, messages = 0,
              digests = 0;
  std::string id;
  bool operator==(const Sizes&) const = default;
};

// One start-up: every table loaded in order over the folder.
Sizes LoadAll(const std::string& folder) {
  Sizes sizes;
  sizes.id = LoadInstallationId(folder + "db6.dat");
  // Nothing runs beside the loads: no listener starts, no notice or message list is told.
  pelrion::platform::PlainMainThread main_thread;
  NoListenerControl no_control;
  NoStatusNotices no_notices;
  HeldMessages no_quarantine;
  NoFoldersView no_view;
  pelrion::platform::MemoryRegistry registry;
  ListenerTable listeners(folder, main_thread, no_control, no_notices, registry,
                          [](std::uint32_t) { return true; });
  listeners.Load();
  AccountTable accounts(folder, listeners, main_thread, no_notices);
  accounts.Load();
  AddressListTable contacts(folder);
  contacts.Load();
  TrustedDomainList domains(folder);
  domains.Load();
  MessageTable messages(folder, accounts, no_quarantine, no_view);
  messages.Load();
  DuplicateDigestTable digests(folder, accounts);
  digests.Load();
  sizes.listeners = listeners.size();
  sizes.accounts = accounts.size();
  sizes.contacts = contacts.size();
  sizes.domains = domains.Domains().size();
  sizes.messages = messages.size();
  sizes.digests = digests.size();
  return sizes;
}

void DecodeRaw(std::string_view bytes) {
  if (auto summary = DecodeMessageSummary(bytes)) {
    // A decoded summary survives its own encoding.
    auto again = DecodeMessageSummary(EncodeMessageSummary(*summary));
    if (!again || !(*again == *summary)) std::abort();
  }
  if (auto blob = ParseListBlob(bytes)) {
    auto again = ParseListBlob(EncodeListBlob(*blob));
    if (!again || !(*again == *blob)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  DecodeRaw(input);
  if (input.size() < 2 * kSplitFiles) return 0;

  const std::string& folder = TempFolder();
  ClearFolder(folder);
  std::string_view rest = input.substr(2 * kSplitFiles);
  for (std::size_t i = 0; i <= kSplitFiles; ++i) {
    std::size_t length = rest.size();
    if (i < kSplitFiles) {
      length = static_cast<unsigned char>(input[2 * i]) |
               (static_cast<std::size_t>(static_cast<unsigned char>(input[2 * i + 1])) << 8);
      if (length > rest.size()) length = rest.size();
    }
    Write(folder + "db" + std::to_string(i + 1) + ".dat", rest.substr(0, length));
    DecodeRaw(rest.substr(0, length));
    rest.remove_prefix(length);
  }

  const Sizes first = LoadAll(folder);
  // The first load freed or rewrote whatever it dropped: the next start keeps the same.
  if (!(LoadAll(folder) == first)) std::abort();
  return 0;
}
