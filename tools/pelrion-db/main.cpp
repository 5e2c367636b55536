// pelrion-db: command-line tool over a database folder.
//   pelrion-db check DIR   read-only check of the database files in DIR
#include <iostream>
#include <string>
#include <string_view>

#include "check_command.h"

namespace {

constexpr int kUsageStatus = 2;

int Usage() {
  std::cerr << "usage: pelrion-db check DIR\n"
               "  check DIR   report, for each database file in DIR, the records kept and the\n"
               "              records that fail their checks (read-only: nothing is changed)\n";
  return kUsageStatus;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  if (command == "check") {
    if (argc != 3) return Usage();
    return pelrion::dbtool::RunCheck(argv[2], std::cout, std::cerr);
  }
  return Usage();
}
