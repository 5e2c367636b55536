// Whole-file reads and writes for tests.
#pragma once

#include <string>
#include <string_view>

namespace pelrion::test_support {

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Replaces the file's bytes; fails the current test when it cannot be written.
void WriteFile(const std::string& path, std::string_view bytes);
bool FileExists(const std::string& path);

}  // namespace pelrion::test_support
