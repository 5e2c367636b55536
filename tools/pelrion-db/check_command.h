// `pelrion-db check DIR`: a read-only check of the database files in DIR. Files are opened
// read-only, never created and never changed.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "file_rules.h"

namespace pelrion::dbtool {

struct FileReport {
  std::string name;
  std::size_t kept = 0;
  std::size_t failed = 0;
  bool readable = true;
};

// Reports for the files of rules present in dir (a slot pair reports its heap as a second
// file when that is present).
std::vector<FileReport> CheckDirectory(const std::string& dir, const std::vector<FileRules>& rules);

// Prints one line per file ("db1.dat: 12 kept, 1 failed"); returns the exit status: 0, or 1
// when a file (or the directory) cannot be read.
int RunCheck(const std::string& dir, std::ostream& out, std::ostream& err);

}  // namespace pelrion::dbtool
