// `pelrion-db check DIR`: a read-only check of the database files in DIR. Files are opened
// read-only, never created and never changed.
#pragma once

#include <ostream>
#include <string>

namespace pelrion::dbtool {

// Prints one line per file present ("db1.dat: 12 kept, 1 failed", or "db5.dat: cannot be
// read"); returns the exit status: 0, or 1 when a file (or the directory) cannot be read.
int RunCheck(const std::string& dir, std::ostream& out, std::ostream& err);

// True when dir names a directory; otherwise prints the complaint to err.
bool CheckDirectoryArgument(const std::string& dir, std::ostream& err);

}  // namespace pelrion::dbtool
