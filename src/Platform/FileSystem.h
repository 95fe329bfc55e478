#pragma once
// File access for productions authored on Windows: '\' separates folders like
// '/', and when the exact path does not exist a case-insensitive match of each
// path component is tried.
#include <cstdint>
#include <cstdio>
#include <string>

namespace Vexa::Platform {

// The largest file the system reads into memory, whole or inflated: outside
// data never makes it allocate more for one file.
constexpr int64_t kMaxFileSize = int64_t{1} << 30;

// Opens `path` with the C mode `mode`; null when it cannot be opened.
std::FILE* openFile(const std::string& path, const char* mode);
// The path that openFile would open, or an empty string when none exists.
std::string resolvePath(const std::string& path);
// The size of a regular file; -1 for anything else or when it is missing.
int64_t fileSize(const std::string& path);
// Reads the whole file; false when it cannot be opened or read. A file over
// kMaxFileSize raises ResourceTooLarge, before it is read when its size is
// known.
bool readFile(const std::string& path, std::string& out);
// Makes the folder and its parents when missing and checks that a file can be
// written in it. False with the reason when it cannot.
bool makeWritableFolder(const std::string& path, std::string& reason);

}  // namespace Vexa::Platform
