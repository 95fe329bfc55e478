#pragma once
// Writing pictures to files.
#include <cstdint>
#include <string>
#include <vector>

namespace Vexa::Platform {

// Writes RGBA pixels whose first row is the bottom of the picture as a PNG
// file, replacing one that exists. False when the file cannot be written.
bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);

}  // namespace Vexa::Platform
