// One open profile registry file: the record every handle of that file shares. The file is
// opened for reading only and never written: the programs that own it may be running, and a
// header rewritten under them could cost the user the list of their profiles. What the
// format's own readers would repair or upgrade in the file is done here in memory only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "import/registry_layout.h"

namespace pelrion::import {

class RegistryFile {
 public:
  // Opens and checks path: kFileNotFound when it is missing, kShortRead when it is shorter
  // than the header, kBadMagic, kBadVersion (major version above 1), or the code of a root
  // descriptor or standard-key search that fails. An old file's "ROOTKEY_VERSIONS",
  // "ROOTKEY_USERS" and "ROOTKEY_COMMON" are known as "Version Registry", "Users" and
  // "Common" from then on, and the header's end of the used area is taken to be the file's
  // length, both in memory only.
  static RegistryCode Open(const std::string& path, std::unique_ptr<RegistryFile>* file);
  ~RegistryFile();
  RegistryFile(const RegistryFile&) = delete;
  RegistryFile& operator=(const RegistryFile&) = delete;

  // The descriptor at offset: kShortRead past the end, kBadLocation when its location field
  // differs from offset, kDeleted for a deleted one unless allow_deleted.
  RegistryCode ReadDescriptor(std::uint32_t offset, RegistryDescriptor* descriptor,
                              bool allow_deleted = false) const;
  // The descriptor's name (up to its first zero byte), as renamed in memory.
  RegistryCode ReadName(const RegistryDescriptor& descriptor, std::string* name) const;
  // length bytes at offset; kShortRead when the file does not hold them all.
  RegistryCode ReadBytes(std::uint32_t offset, std::uint32_t length, std::string* bytes) const;

  // Walks the sibling chain that starts at first for the descriptor named name (letter case
  // ignored): kNotFound at the chain's end, kFailure when the chain is longer than the file
  // can hold distinct descriptors (it loops).
  RegistryCode FindInChain(std::uint32_t first, std::string_view name, std::uint32_t* found) const;
  // The subkey of key that follows state (0: the first one): kNoMoreItems at the end,
  // kFailure when the chain loops back to a subkey it has passed.
  RegistryCode NextSubkey(const RegistryDescriptor& key, std::uint32_t state,
                          std::uint32_t* next) const;

  const RegistryHeader& header() const { return header_; }
  std::uint32_t users() const { return users_; }
  std::uint32_t common() const { return common_; }
  std::uint32_t versions() const { return versions_; }
  std::uint32_t private_arenas() const { return private_arenas_; }

 private:
  RegistryFile() = default;
  RegistryCode Load();
  RegistryCode RenameOldStandardKeys();
  RegistryCode FindStandardKeys();
  // More steps than this on one chain means it has come round again.
  std::uint64_t MaxChainSteps() const { return file_size_ / kRegistryDescriptorSize + 1; }

  int fd_ = -1;
  std::uint64_t file_size_ = 0;
  RegistryHeader header_;
  std::map<std::uint32_t, std::string> renamed_;  // descriptor offset -> name in memory
  std::uint32_t users_ = 0, common_ = 0, versions_ = 0, private_arenas_ = 0;
};

}  // namespace pelrion::import
