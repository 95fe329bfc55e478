#pragma once
// File access for productions authored on Windows: '\' separates folders like
// '/', and when the exact path does not exist a case-insensitive match of each
// path component is tried.
#include <cstdio>
#include <string>

namespace Vexa::Platform {

// Opens `path` with the C mode `mode`; null when it cannot be opened.
std::FILE* openFile(const std::string& path, const char* mode);
// The path that openFile would open, or an empty string when none exists.
std::string resolvePath(const std::string& path);
// Reads the whole file; false when it cannot be opened or read.
bool readFile(const std::string& path, std::string& out);

}  // namespace Vexa::Platform
