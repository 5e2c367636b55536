#include "check_command.h"

#include <sys/stat.h>

#include "database_model.h"

namespace pelrion::dbtool {

bool CheckDirectoryArgument(const std::string& dir, std::ostream& err) {
  struct stat info;
  if (::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    err << "pelrion-db: cannot read directory '" << dir << "'\n";
    return false;
  }
  return true;
}

int RunCheck(const std::string& dir, std::ostream& out, std::ostream& err) {
  if (!CheckDirectoryArgument(dir, err)) return 1;
  int status = 0;
  for (const FileReport& report : LoadDatabaseModel(dir).reports) {
    if (!report.readable) {
      out << report.name << ": cannot be read\n";
      status = 1;
      continue;
    }
    out << report.name << ": " << report.kept << " kept, " << report.failed << " failed\n";
  }
  return status;
}

}  // namespace pelrion::dbtool
