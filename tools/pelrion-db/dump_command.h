// `pelrion-db dump DIR`: the tables of DIR as one JSON object, holding only the records a
// load would keep. Read-only like check. Passwords are never written.
#pragma once

#include <ostream>
#include <string>

#include "database_model.h"

namespace pelrion::dbtool {

// Writes model as the JSON object: installation_id, accounts, listeners, messages,
// contacts, trusted_domains, digests, and the per-file counts under "files".
void WriteDump(const DatabaseModel& model, std::ostream& out);

// Prints the dump of dir; returns 0, or 1 when the directory or a file cannot be read (the
// dump is still written, without what could not be read).
int RunDump(const std::string& dir, std::ostream& out, std::ostream& err);

}  // namespace pelrion::dbtool
