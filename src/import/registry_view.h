// A read-only look at one hive of a Windows-style registry: keys by backslash-separated
// path (letter case ignored), their subkeys in stored order, and their typed values. The
// account-manager reader and the program detection read through it, so they are tested on
// registry text made in the test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelrion::import {

enum class RegistryValueType { kString, kExpandString, kDword, kOther };

struct RegistryValue {
  RegistryValueType type = RegistryValueType::kOther;
  std::string text;          // kString, kExpandString: UTF-8
  std::uint32_t number = 0;  // kDword
};

class RegistryView {
 public:
  virtual ~RegistryView() = default;
  // The names of key's direct subkeys in stored order; none when key does not exist.
  virtual std::vector<std::string> Subkeys(std::string_view key) const = 0;
  // key's value called name ("" for the default value), or nothing.
  virtual std::optional<RegistryValue> Value(std::string_view key, std::string_view name) const = 0;
};

}  // namespace pelrion::import
