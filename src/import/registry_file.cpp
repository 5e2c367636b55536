#include "import/registry_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <unordered_set>

#include "mailformat/ascii.h"

namespace pelrion::import {

RegistryCode RegistryFile::Open(const std::string& path, std::unique_ptr<RegistryFile>* file) {
  std::unique_ptr<RegistryFile> opened(new RegistryFile());
  // Non-blocking so that a FIFO planted under the registry's name cannot hang the caller;
  // Load refuses anything but a regular file.
  opened->fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (opened->fd_ < 0) {
    return errno == ENOENT || errno == ENOTDIR ? RegistryCode::kFileNotFound
                                               : RegistryCode::kFailure;
  }
  const RegistryCode code = opened->Load();
  if (code != RegistryCode::kOk) return code;
  *file = std::move(opened);
  return RegistryCode::kOk;
}

RegistryFile::~RegistryFile() {
  if (fd_ >= 0) ::close(fd_);
}

RegistryCode RegistryFile::Load() {
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return RegistryCode::kFailure;
  file_size_ = static_cast<std::uint64_t>(info.st_size);
  std::string bytes;
  if (const RegistryCode code = ReadBytes(0, kRegistryHeaderSize, &bytes);
      code != RegistryCode::kOk) {
    return code;
  }
  header_ = *DecodeRegistryHeader(bytes);
  if (header_.magic != kRegistryMagic) return RegistryCode::kBadMagic;
  if (header_.major_version > kRegistryMajorVersion) return RegistryCode::kBadVersion;
  // A file whose writer stopped before it updated the header: its real end is its length.
  header_.used_end = static_cast<std::uint32_t>(file_size_);
  RegistryDescriptor root;
  if (const RegistryCode code = ReadDescriptor(header_.root, &root); code != RegistryCode::kOk) {
    return code;
  }
  if (header_.major_version == kRegistryMajorVersion &&
      header_.minor_version < kRegistryMinorVersion) {
    if (const RegistryCode code = RenameOldStandardKeys(); code != RegistryCode::kOk) {
      return code;
    }
    header_.minor_version = kRegistryMinorVersion;
  }
  return FindStandardKeys();
}

RegistryCode RegistryFile::RenameOldStandardKeys() {
  static constexpr std::pair<std::string_view, std::string_view> kRenames[] = {
      {"ROOTKEY_VERSIONS", "Version Registry"},
      {"ROOTKEY_USERS", "Users"},
      {"ROOTKEY_COMMON", "Common"},
  };
  RegistryDescriptor root;
  if (const RegistryCode code = ReadDescriptor(header_.root, &root); code != RegistryCode::kOk) {
    return code;
  }
  for (const auto& [old_name, new_name] : kRenames) {
    std::uint32_t offset = root.first_subkey;
    for (std::uint64_t steps = 0; offset != 0; ++steps) {
      if (steps > MaxChainSteps()) return RegistryCode::kFailure;
      RegistryDescriptor subkey;
      std::string name;
      if (RegistryCode code = ReadDescriptor(offset, &subkey); code != RegistryCode::kOk) {
        return code;
      }
      if (RegistryCode code = ReadName(subkey, &name); code != RegistryCode::kOk) return code;
      if (name == old_name) {
        renamed_[offset] = std::string(new_name);
        break;
      }
      offset = subkey.next_sibling;
    }
  }
  return RegistryCode::kOk;
}

RegistryCode RegistryFile::FindStandardKeys() {
  RegistryDescriptor root;
  if (const RegistryCode code = ReadDescriptor(header_.root, &root); code != RegistryCode::kOk) {
    return code;
  }
  const std::pair<std::string_view, std::uint32_t*> keys[] = {
      {"Users", &users_},
      {"Common", &common_},
      {"Version Registry", &versions_},
      {"Private Arenas", &private_arenas_},
  };
  for (const auto& [name, offset] : keys) {
    const RegistryCode code = FindInChain(root.first_subkey, name, offset);
    if (code == RegistryCode::kNotFound)
      *offset = 0;
    else if (code != RegistryCode::kOk)
      return code;
  }
  return RegistryCode::kOk;
}

RegistryCode RegistryFile::ReadBytes(std::uint32_t offset, std::uint32_t length,
                                     std::string* bytes) const {
  if (static_cast<std::uint64_t>(offset) + length > file_size_) return RegistryCode::kShortRead;
  bytes->assign(length, '\0');
  std::size_t done = 0;
  while (done < length) {
    const ssize_t got =
        ::pread(fd_, bytes->data() + done, length - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return RegistryCode::kShortRead;  // the file shrank since it was opened
    done += static_cast<std::size_t>(got);
  }
  return RegistryCode::kOk;
}

RegistryCode RegistryFile::ReadDescriptor(std::uint32_t offset, RegistryDescriptor* descriptor,
                                          bool allow_deleted) const {
  std::string bytes;
  if (const RegistryCode code = ReadBytes(offset, kRegistryDescriptorSize, &bytes);
      code != RegistryCode::kOk) {
    return code;
  }
  *descriptor = *DecodeRegistryDescriptor(bytes);
  if (descriptor->location != offset) return RegistryCode::kBadLocation;
  if (descriptor->deleted() && !allow_deleted) return RegistryCode::kDeleted;
  return RegistryCode::kOk;
}

RegistryCode RegistryFile::ReadName(const RegistryDescriptor& descriptor, std::string* name) const {
  if (const auto renamed = renamed_.find(descriptor.location); renamed != renamed_.end()) {
    *name = renamed->second;
    return RegistryCode::kOk;
  }
  if (const RegistryCode code = ReadBytes(descriptor.name_offset, descriptor.name_length, name);
      code != RegistryCode::kOk) {
    return code;
  }
  name->resize(name->find('\0') == std::string::npos ? name->size() : name->find('\0'));
  return RegistryCode::kOk;
}

RegistryCode RegistryFile::FindInChain(std::uint32_t first, std::string_view name,
                                       std::uint32_t* found) const {
  std::uint32_t offset = first;
  for (std::uint64_t steps = 0; offset != 0; ++steps) {
    if (steps > MaxChainSteps()) return RegistryCode::kFailure;
    RegistryDescriptor descriptor;
    std::string text;
    if (RegistryCode code = ReadDescriptor(offset, &descriptor); code != RegistryCode::kOk) {
      return code;
    }
    if (RegistryCode code = ReadName(descriptor, &text); code != RegistryCode::kOk) return code;
    if (mailformat::ascii::EqualsIgnoreCase(text, name)) {
      *found = offset;
      return RegistryCode::kOk;
    }
    offset = descriptor.next_sibling;
  }
  return RegistryCode::kNotFound;
}

RegistryCode RegistryFile::NextSubkey(const RegistryDescriptor& key, std::uint32_t state,
                                      std::uint32_t* next) const {
  std::uint32_t candidate = key.first_subkey;
  if (state != 0) {
    // The subkeys passed so far are those from the first up to state: a sibling link back
    // to any of them would hand the caller the same names for ever.
    std::unordered_set<std::uint32_t> passed;
    std::uint32_t offset = key.first_subkey;
    RegistryDescriptor descriptor;
    while (offset != 0 && offset != state) {
      if (passed.size() > MaxChainSteps() || !passed.insert(offset).second) {
        return RegistryCode::kFailure;
      }
      if (RegistryCode code = ReadDescriptor(offset, &descriptor); code != RegistryCode::kOk) {
        return code;
      }
      offset = descriptor.next_sibling;
    }
    const bool on_chain = offset == state;
    // A state no longer on the chain (deleted since) is still followed, but only back onto
    // the chain: anything else could lead round and round outside it.
    if (RegistryCode code = ReadDescriptor(state, &descriptor, /*allow_deleted=*/true);
        code != RegistryCode::kOk) {
      return code;
    }
    candidate = descriptor.next_sibling;
    const bool passed_before = candidate == state || passed.contains(candidate);
    if (on_chain ? passed_before : candidate != 0 && !passed.contains(candidate)) {
      return RegistryCode::kFailure;
    }
  }
  if (candidate == 0) return RegistryCode::kNoMoreItems;
  *next = candidate;
  return RegistryCode::kOk;
}

}  // namespace pelrion::import
