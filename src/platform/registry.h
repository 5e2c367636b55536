// Stand-in for the per-user registry: typed values (strings and binary blobs) under
// backslash-separated key paths such as "Software\\Pelrion\\Preferences\\General".
// The file-backed registry keeps everything in one REGEDIT4 text file that is rewritten
// atomically (temporary file, fsync, rename; mode 0600) on every change; the in-memory
// registry serves tests.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pelrion::platform {

using RegistryBinary = std::vector<std::uint8_t>;
using RegistryValue = std::variant<std::string, RegistryBinary>;

// Key of the program's own settings.
inline constexpr std::string_view kProgramKey = "Software\\Pelrion";

class Registry {
 public:
  virtual ~Registry() = default;

  // Key paths compare without regard to case, like the registry they stand in for.
  std::optional<RegistryValue> Get(std::string_view key, std::string_view name) const;
  std::optional<std::string> GetString(std::string_view key, std::string_view name) const;
  std::optional<RegistryBinary> GetBinary(std::string_view key, std::string_view name) const;
  // A 4-byte binary value read as a little-endian 32-bit number.
  std::optional<std::uint32_t> GetNumber(std::string_view key, std::string_view name) const;

  // Each setter persists the change before it returns; false when it could not be stored.
  bool SetString(std::string_view key, std::string_view name, std::string_view value);
  bool SetBinary(std::string_view key, std::string_view name, const RegistryBinary& value);
  bool SetNumber(std::string_view key, std::string_view name, std::uint32_t value);
  bool DeleteValue(std::string_view key, std::string_view name);
  // Removes the key with all its values (not the keys below it); true when it is gone.
  bool DeleteKey(std::string_view key);

 protected:
  using Values = std::map<std::string, RegistryValue>;        // value name -> value
  using Keys = std::map<std::string, Values>;                 // lower-cased key path -> values

  // Writes the whole tree to the backing store; false on failure.
  virtual bool Persist(const Keys& keys) = 0;

  // The key path as first written, for a lower-cased key of keys_ (the file shows it).
  std::string DisplayKey(const std::string& lowered) const;

  Keys keys_;
  std::map<std::string, std::string> key_names_;  // lower-cased key path -> spelling
  // Setters and getters may be called from worker threads; Persist runs under this lock.
  mutable std::mutex mutex_;

 private:
  bool Set(std::string_view key, std::string_view name, RegistryValue value);
};

class MemoryRegistry : public Registry {
 protected:
  bool Persist(const Keys&) override { return true; }
};

// File syntax: "REGEDIT4", a blank line, then per key "[HKEY_CURRENT_USER\<key>]" and one
// line per value: "name"="text" (\\ and \" escaped), "name"=hex:01,00 for binary values.
// A string holding a control byte, DEL or a byte >= 0x80 is written as "name"=hex(1):...
// (its bytes plus a terminating 00) so that every byte string round-trips. Loading also
// accepts dword:XXXXXXXX (read as a 4-byte binary) and hex lines continued with '\'.
class FileRegistry : public Registry {
 public:
  // Loads path when it exists; lines that do not parse are skipped. A file that exists but
  // cannot be read (no permission, an I/O error, not a regular file) leaves the registry
  // empty, sets LoadError and refuses every change, so the file is never overwritten.
  explicit FileRegistry(std::string path);

  // Why the existing file could not be read, as a sentence for the user; nullopt when it
  // was read or did not exist.
  const std::optional<std::string>& LoadError() const { return load_error_; }

  // Parses REGEDIT4 text into key -> values (keys lower-cased, spellings in key_names).
  static Keys Parse(std::string_view text, std::map<std::string, std::string>* key_names);
  // The file text for keys; key_names gives each key's spelling.
  static std::string Format(const Keys& keys, const std::map<std::string, std::string>& key_names);

 protected:
  bool Persist(const Keys& keys) override;

 private:
  std::string path_;
  std::optional<std::string> load_error_;
};

}  // namespace pelrion::platform
