#pragma once
// Reading a scene with the Assimp library and turning its meshes into one
// ConvertedMesh: every mesh the node tree places, merged under the nodes'
// transforms, or one mesh picked by index or name in its own coordinates.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "MeshConversion/ConvertedMesh.h"

namespace Vexa {

struct ImportOptions {
    // The one mesh to convert: an index into the scene's meshes, or a name.
    // Neither given (-1 and empty): all meshes, merged.
    long meshIndex = -1;
    std::string meshName;
    bool triangulate = true;  // false keeps quads and polygons as they are
    bool flipV = false;       // write v as 1 - v
    float scale = 1.0f;       // applied to positions after the node transforms
    bool normals = true;      // the file's normals, when every mesh has them
    bool texCoords = true;    // the first set of texture coordinates
};

struct MeshSummary {
    std::string name;
    std::size_t vertices = 0;
    std::size_t faces = 0;  // faces of three corners or more
};

class ImportedScene {
public:
    // Reads the file; throws ConversionError with the file and the reason.
    ImportedScene(const std::string& path, const ImportOptions& options);
    ~ImportedScene();
    ImportedScene(const ImportedScene&) = delete;
    ImportedScene& operator=(const ImportedScene&) = delete;

    std::vector<MeshSummary> meshes() const;
    // The mesh the options ask for. Throws ConversionError when the picked
    // mesh does not exist, when nothing with faces is left, or when a value
    // is not a finite number. Points and lines are left out.
    ConvertedMesh convert() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace Vexa
