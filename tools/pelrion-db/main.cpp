// pelrion-db: command-line tool over a database folder.
//   pelrion-db check DIR   read-only check of the database files in DIR
//   pelrion-db dump DIR    the tables of DIR as one JSON object (read-only)
#include <iostream>
#include <string>
#include <string_view>

#include "check_command.h"
#include "dump_command.h"

namespace {

constexpr int kUsageStatus = 2;

int Usage() {
  std::cerr << "usage: pelrion-db check DIR | pelrion-db dump DIR\n"
               "  check DIR   report, for each database file in DIR, the records kept and the\n"
               "              records that fail their checks (read-only: nothing is changed)\n"
               "  dump DIR    print the records a load would keep as one JSON object; texts\n"
               "              are bytes: valid UTF-8 is kept, any other byte 0x80-0xFF is\n"
               "              read as U+0080-U+00FF (all written as \\uXXXX)\n"
               "              (read-only; passwords are never printed)\n";
  return kUsageStatus;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const std::string_view command = argv[1];
  if (command == "check") return pelrion::dbtool::RunCheck(argv[2], std::cout, std::cerr);
  if (command == "dump") return pelrion::dbtool::RunDump(argv[2], std::cout, std::cerr);
  return Usage();
}
