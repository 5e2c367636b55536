// The computer's name as mail headers and greetings use it.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::platform {

// gethostname() through NormalizeHostName; "localhost" when the name cannot be read.
std::string HostName();

// Every white-space byte becomes '-', cut to at most 15 bytes; empty gives "localhost".
std::string NormalizeHostName(std::string_view raw);

}  // namespace pelrion::platform
