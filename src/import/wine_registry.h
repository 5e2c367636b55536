// A registry hive saved by Wine as text (a prefix's user.reg or system.reg): "[key path]"
// lines followed by "name"=value lines. Only read: Wine rewrites these files itself while
// a program of the prefix runs.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "import/registry_view.h"

namespace pelrion::import {

class WineRegistry : public RegistryView {
 public:
  WineRegistry() = default;
  // Parses the text of a .reg file; lines that cannot be read are skipped.
  explicit WineRegistry(std::string_view text);

  std::vector<std::string> Subkeys(std::string_view key) const override;
  std::optional<RegistryValue> Value(std::string_view key, std::string_view name) const override;

 private:
  struct Key {
    std::vector<std::string> subkeys;  // names as written, in file order
    std::vector<std::pair<std::string, RegistryValue>> values;
  };
  Key& AddKey(std::string_view path);
  const Key* FindKey(std::string_view path) const;

  std::map<std::string, Key> keys_;  // lower-cased path -> key
};

// The hive in the file at path; empty when it cannot be read.
WineRegistry ReadWineRegistry(const std::string& path);

// A .reg string body (without its quotes) with its escapes resolved: \\ \" \n \r \t \0,
// octal and \x hexadecimal character codes, the latter written as UTF-8.
std::string UnescapeRegText(std::string_view text);

}  // namespace pelrion::import
