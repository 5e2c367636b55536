#include "command_registry.h"

#include <utility>

namespace pelrion::msgtool {

namespace {

// A function-local table: command files register from their own static initialisers,
// whose order relative to this file's is unspecified.
std::map<std::string, Command, std::less<>>& Table() {
  static std::map<std::string, Command, std::less<>> table;
  return table;
}

}  // namespace

bool RegisterCommand(std::string name, Command command) {
  Table().insert_or_assign(std::move(name), std::move(command));
  return true;
}

const std::map<std::string, Command, std::less<>>& Commands() { return Table(); }

}  // namespace pelrion::msgtool
