#include "import/profile_registry.h"

#include <cstring>
#include <new>
#include <string>

namespace pelrion::import {
namespace {

// A component is checked before any key is read for it.
RegistryCode CheckComponent(std::string_view component) {
  if (component.size() > kMaxRegistryNameLength) return RegistryCode::kNameTooLong;
  if (component.empty() || component.front() == ' ' || component.back() == ' ') {
    return RegistryCode::kBadName;
  }
  for (const char c : component) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return RegistryCode::kBadName;
  }
  return RegistryCode::kOk;
}

}  // namespace

bool ProfileRegistry::Startup(std::string_view path) {
  if (started_) return true;
  default_path_ = std::string(path);
  RegistryHandle handle = 0;
  if (Open("", &handle) != RegistryCode::kOk) {
    default_path_.clear();
    return false;
  }
  Close(handle);
  started_ = true;
  return true;
}

void ProfileRegistry::Shutdown() {
  handles_.clear();
  files_.clear();
  default_path_.clear();
  started_ = false;
}

RegistryCode ProfileRegistry::Open(std::string_view name, RegistryHandle* handle) {
  if (handle == nullptr) return RegistryCode::kBadArgument;
  const std::string path(name.empty() ? std::string_view(default_path_) : name);
  if (path.empty()) return RegistryCode::kBadArgument;
  try {
    return OpenShared(path, handle);
  } catch (const std::bad_alloc&) {
    return RegistryCode::kOutOfMemory;
  }
}

RegistryCode ProfileRegistry::OpenShared(const std::string& name, RegistryHandle* handle) {
  // Names are compared as they are: on this system two names differing in letter case are
  // two files.
  auto found = files_.find(name);
  if (found == files_.end()) {
    OpenFile opened;
    if (const RegistryCode code = RegistryFile::Open(name, &opened.file);
        code != RegistryCode::kOk) {
      return code;
    }
    found = files_.emplace(name, std::move(opened)).first;
  }
  ++found->second.handles;
  const RegistryHandle id = next_handle_++;
  handles_[id] = HandleRecord{kRegistryMagic, name};
  *handle = id;
  return RegistryCode::kOk;
}

RegistryFile* ProfileRegistry::FileOf(RegistryHandle handle) {
  const auto record = handles_.find(handle);
  if (record == handles_.end() || record->second.magic != kRegistryMagic) return nullptr;
  const auto file = files_.find(record->second.name);
  return file == files_.end() ? nullptr : file->second.file.get();
}

RegistryCode ProfileRegistry::Close(RegistryHandle handle) {
  const auto record = handles_.find(handle);
  if (record == handles_.end() || record->second.magic != kRegistryMagic) {
    return RegistryCode::kBadMagic;
  }
  const auto file = files_.find(record->second.name);
  handles_.erase(record);
  if (file != files_.end() && --file->second.handles == 0) files_.erase(file);
  return RegistryCode::kOk;
}

RegistryCode ProfileRegistry::StartKey(const RegistryFile& file, RegistryKey root,
                                       RegistryKey* key) {
  switch (root) {
    case kRootUsers:
      *key = file.users();
      break;
    case kRootCommon:
      *key = file.common();
      break;
    case kRootPrivateArenas:
      *key = file.private_arenas();
      break;
    case kRootKey:
      *key = file.header().root;
      break;
    case kRootVersions:
      *key = file.versions();
      break;
    default:
      if (root < kFirstDescriptorKey) return RegistryCode::kBadArgument;
      *key = root;
  }
  return *key == 0 ? RegistryCode::kNotFound : RegistryCode::kOk;
}

RegistryCode ProfileRegistry::StartDescriptor(const RegistryFile& file, RegistryKey root,
                                              RegistryKey* key, RegistryDescriptor* descriptor) {
  if (const RegistryCode code = StartKey(file, root, key); code != RegistryCode::kOk) return code;
  return file.ReadDescriptor(*key, descriptor);
}

RegistryCode ProfileRegistry::GetKey(RegistryHandle handle, RegistryKey root, std::string_view path,
                                     RegistryKey* key) {
  const RegistryFile* file = FileOf(handle);
  if (file == nullptr) return RegistryCode::kBadMagic;
  if (key == nullptr) return RegistryCode::kBadArgument;
  RegistryKey current = 0;
  RegistryDescriptor descriptor;
  if (const RegistryCode code = StartDescriptor(*file, root, &current, &descriptor);
      code != RegistryCode::kOk) {
    return code;
  }
  if (path.starts_with('/')) path.remove_prefix(1);
  while (!path.empty()) {
    const auto slash = path.find('/');
    const std::string_view component = path.substr(0, slash);
    // A path ending in "/" has an empty last component, as "//" has one inside.
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
    if (path.starts_with('/')) {
      path.remove_prefix(1);
      if (path.empty()) return RegistryCode::kBadName;
    }
    if (const RegistryCode code = CheckComponent(component); code != RegistryCode::kOk) {
      return code;
    }
    if (const RegistryCode code = file->FindInChain(descriptor.first_subkey, component, &current);
        code != RegistryCode::kOk) {
      return code;
    }
    if (const RegistryCode code = file->ReadDescriptor(current, &descriptor);
        code != RegistryCode::kOk) {
      return code;
    }
  }
  *key = current;
  return RegistryCode::kOk;
}

RegistryCode ProfileRegistry::EnumSubkeys(RegistryHandle handle, RegistryKey key,
                                          std::uint32_t* state, std::span<char> name, int mode) {
  const RegistryFile* file = FileOf(handle);
  if (file == nullptr) return RegistryCode::kBadMagic;
  if (state == nullptr || mode != 0) return RegistryCode::kBadArgument;
  RegistryKey start = 0;
  RegistryDescriptor descriptor;
  if (const RegistryCode code = StartDescriptor(*file, key, &start, &descriptor);
      code != RegistryCode::kOk) {
    return code;
  }
  std::uint32_t next = 0;
  if (const RegistryCode code = file->NextSubkey(descriptor, *state, &next);
      code != RegistryCode::kOk) {
    return code;
  }
  RegistryDescriptor subkey;
  std::string text;
  if (RegistryCode code = file->ReadDescriptor(next, &subkey); code != RegistryCode::kOk) {
    return code;
  }
  if (RegistryCode code = file->ReadName(subkey, &text); code != RegistryCode::kOk) return code;
  if (text.size() + 1 > name.size()) return RegistryCode::kBufferTooSmall;
  std::memcpy(name.data(), text.data(), text.size());
  name[text.size()] = '\0';
  *state = next;
  return RegistryCode::kOk;
}

RegistryCode ProfileRegistry::GetEntry(RegistryHandle handle, RegistryKey key,
                                       std::string_view name, std::span<char> buffer,
                                       std::uint32_t* size) {
  const RegistryFile* file = FileOf(handle);
  if (file == nullptr) return RegistryCode::kBadMagic;
  if (size == nullptr) return RegistryCode::kBadArgument;
  RegistryKey start = 0;
  RegistryDescriptor descriptor;
  if (const RegistryCode code = StartDescriptor(*file, key, &start, &descriptor);
      code != RegistryCode::kOk) {
    return code;
  }
  std::uint32_t offset = 0;
  if (const RegistryCode code = file->FindInChain(descriptor.first_entry, name, &offset);
      code != RegistryCode::kOk) {
    return code;
  }
  RegistryDescriptor entry;
  if (const RegistryCode code = file->ReadDescriptor(offset, &entry); code != RegistryCode::kOk) {
    return code;
  }
  *size = entry.value_length;
  if (entry.value_length > buffer.size()) return RegistryCode::kBufferTooSmall;
  std::string value;
  if (const RegistryCode code = file->ReadBytes(entry.value_offset(), entry.value_length, &value);
      code != RegistryCode::kOk) {
    return code;
  }
  if (entry.type == kTypeEntryInt32Array) {
    for (std::size_t at = 0; at + 4 <= value.size(); at += 4) {
      const std::uint32_t number =
          static_cast<std::uint32_t>(static_cast<unsigned char>(value[at])) |
          static_cast<std::uint32_t>(static_cast<unsigned char>(value[at + 1])) << 8 |
          static_cast<std::uint32_t>(static_cast<unsigned char>(value[at + 2])) << 16 |
          static_cast<std::uint32_t>(static_cast<unsigned char>(value[at + 3])) << 24;
      std::memcpy(value.data() + at, &number, sizeof number);
    }
  }
  if (!value.empty()) std::memcpy(buffer.data(), value.data(), value.size());
  if (entry.type == kTypeEntryString && !value.empty()) buffer[value.size() - 1] = '\0';
  return RegistryCode::kOk;
}

}  // namespace pelrion::import
