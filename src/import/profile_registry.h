// The profile registry reader: the operations the mail-client import needs on the binary
// registry files of the Mozilla family (open a file, find a key under a root key by its
// path, enumerate a key's subkeys, read a key's named entry, close). Files sharing a name
// share one open record, counted by their handles. Every file is read, never written.
// Not thread-safe: one reader per thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "import/registry_file.h"
#include "import/registry_layout.h"

namespace pelrion::import {

using RegistryHandle = std::uint32_t;  // 0 is never a handle
using RegistryKey = std::uint32_t;     // a descriptor offset

// Root keys a path starts from; a value of kFirstDescriptorKey or more is a key itself.
inline constexpr RegistryKey kRootUsers = 1;
inline constexpr RegistryKey kRootCommon = 2;
inline constexpr RegistryKey kRootPrivateArenas = 4;
inline constexpr RegistryKey kRootKey = 32;
inline constexpr RegistryKey kRootVersions = 33;
inline constexpr RegistryKey kFirstDescriptorKey = 128;

// The longest path component a key name may have.
inline constexpr std::size_t kMaxRegistryNameLength = 511;

class ProfileRegistry {
 public:
  ProfileRegistry() = default;
  ~ProfileRegistry() { Shutdown(); }
  ProfileRegistry(const ProfileRegistry&) = delete;
  ProfileRegistry& operator=(const ProfileRegistry&) = delete;

  // Remembers path as the default file and checks that it opens; true on success. A second
  // start-up before Shutdown does nothing and succeeds.
  bool Startup(std::string_view path);
  // Closes every file still open and forgets the default path.
  void Shutdown();

  // Opens the named file (an empty name: the default one) and gives a handle to it.
  RegistryCode Open(std::string_view name, RegistryHandle* handle);
  // kBadMagic for anything but an open handle.
  RegistryCode Close(RegistryHandle handle);

  // The key at path under root: components separated by "/", one leading "/" allowed,
  // names matched without regard to letter case. kBadName for an empty component, one
  // that begins or ends with a space or holds a control character; kNameTooLong past
  // kMaxRegistryNameLength bytes; kNotFound when a component names no subkey. An empty
  // path is root's key itself.
  RegistryCode GetKey(RegistryHandle handle, RegistryKey root, std::string_view path,
                      RegistryKey* key);

  // The name of the subkey after *state (0 before the first call) into name, with its
  // terminating zero; *state becomes that subkey. kNoMoreItems at the end; kBufferTooSmall
  // when the name does not fit (the state stays). mode 0 is the only mode (direct subkeys).
  RegistryCode EnumSubkeys(RegistryHandle handle, RegistryKey key, std::uint32_t* state,
                           std::span<char> name, int mode = 0);

  // The value of key's entry called name (letter case ignored) into buffer; *size becomes
  // the value's length in every case, so kBufferTooSmall tells the length needed. A string
  // value ends with a zero byte (its last byte is made one); an array of 32-bit integers
  // arrives in this machine's byte order; other values as they are stored.
  RegistryCode GetEntry(RegistryHandle handle, RegistryKey key, std::string_view name,
                        std::span<char> buffer, std::uint32_t* size);

 private:
  struct OpenFile {
    std::unique_ptr<RegistryFile> file;
    int handles = 0;
  };
  struct HandleRecord {
    std::uint32_t magic = 0;
    std::string name;  // the open-file record it refers to
  };

  RegistryCode OpenShared(const std::string& name, RegistryHandle* handle);
  // The open file of handle, or null (kBadMagic).
  RegistryFile* FileOf(RegistryHandle handle);
  // The descriptor offset a root key value stands for, or the code why not.
  static RegistryCode StartKey(const RegistryFile& file, RegistryKey root, RegistryKey* key);
  // StartKey, then that key's descriptor.
  static RegistryCode StartDescriptor(const RegistryFile& file, RegistryKey root, RegistryKey* key,
                                      RegistryDescriptor* descriptor);

  bool started_ = false;
  std::string default_path_;
  std::map<std::string, OpenFile, std::less<>> files_;
  std::map<RegistryHandle, HandleRecord> handles_;
  RegistryHandle next_handle_ = 1;
};

}  // namespace pelrion::import
