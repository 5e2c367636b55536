// Stand-in for the per-user registry: typed values (strings and binary blobs) under
// backslash-separated key paths such as "Software\\Pelrion\\Preferences\\General".
// The file-backed registry keeps everything in one REGEDIT4 text file that is rewritten
// atomically (temporary file, fsync, rename; mode 0600) on every change; the in-memory
// registry serves tests.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
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

 protected:
  using Values = std::map<std::string, RegistryValue>;        // value name -> value
  using Keys = std::map<std::string, Values>;                 // lower-cased key path -> values

  // Writes the whole tree to the backing store; false on failure.
  virtual bool Persist(const Keys& keys) = 0;

  Keys keys_;
};

class MemoryRegistry : public Registry {
 protected:
  bool Persist(const Keys&) override { return true; }
};

class FileRegistry : public Registry {
 public:
  // Loads path when it exists; lines that do not parse are skipped.
  explicit FileRegistry(std::string path);

 protected:
  bool Persist(const Keys& keys) override;

 private:
  std::string path_;
};

}  // namespace pelrion::platform
