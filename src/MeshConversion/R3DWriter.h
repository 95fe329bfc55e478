#pragma once
// Writes a converted mesh as an R3D file: a header of elements and
// properties, then the rows as text or as little-endian binary.
//
// The "vertices" element holds "locationx", "locationy", "locationz", then
// "normalx", "normaly", "normalz" when the mesh has normals, then "u", "v"
// when it has texture coordinates. Faces go into "triangles" ("index0" to
// "index2") or into "polygons" (a list of int "indices"), each index property
// referring to "vertices".
#include <cstddef>
#include <functional>
#include <string>

#include "MeshConversion/ConvertedMesh.h"

namespace Vexa {

enum class FaceElement { Triangles, Polygons };

struct R3DWriteOptions {
    bool binary = false;
    FaceElement faces = FaceElement::Triangles;
    // Called with 10, 20, ... 100 as that share of the rows is written.
    std::function<void(int percent)> progress;
};

// Writes `mesh` to the file at `path`, replacing it. A mesh written as
// triangles must hold only three-corner faces. Throws ConversionError naming
// the file when it cannot be written; a partly written file is removed.
void writeR3D(const ConvertedMesh& mesh, const std::string& path, const R3DWriteOptions& options);

}  // namespace Vexa
