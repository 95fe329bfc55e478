#pragma once
// A mesh on its way from an imported scene into an R3D file: flat arrays of
// vertex attributes and of face corners, with no tie to any importer.
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace Vexa {

// A failure of the conversion; its message names the file and the reason.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ConvertedMesh {
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> normals;    // x, y, z per vertex, or empty
    std::vector<float> texCoords;  // u, v per vertex, or empty
    std::vector<int> faceSizes;    // corners of each face, 3 or more
    std::vector<int> indices;      // the corners of every face in turn
    // Some of the merged meshes had normals, others none, so none are kept.
    bool droppedPartialNormals = false;

    std::size_t vertexCount() const { return positions.size() / 3; }
    std::size_t faceCount() const { return faceSizes.size(); }
    bool hasNormals() const { return !normals.empty(); }
    bool hasTexCoords() const { return !texCoords.empty(); }
};

}  // namespace Vexa
