#include "MeshConversion/SceneImport.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>
#include <climits>
#include <cmath>

namespace Vexa {

// The merged mesh so far, and whether any mesh in it had texture coordinates.
struct Collected {
    ConvertedMesh mesh;
    bool texCoordsSeen = false;
};

struct ImportedScene::Impl {
    std::string path;
    ImportOptions options;
    Assimp::Importer importer;
    const aiScene* scene = nullptr;

    [[noreturn]] void fail(const std::string& reason) const {
        throw ConversionError(path + ": " + reason);
    }
    const aiMesh* pickedMesh() const;
    void append(const aiMesh& mesh, const aiMatrix4x4& transform, Collected& out) const;
    void appendNode(const aiNode& node, const aiMatrix4x4& parent, Collected& out) const;
};

namespace {

std::size_t facesWithArea(const aiMesh& mesh) {
    std::size_t count = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f)
        if (mesh.mFaces[f].mNumIndices >= 3) ++count;
    return count;
}

bool finite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

}  // namespace

ImportedScene::ImportedScene(const std::string& path, const ImportOptions& options)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->path = path;
    m_impl->options = options;
    unsigned steps = aiProcess_JoinIdenticalVertices | aiProcess_ValidateDataStructure;
    if (options.triangulate) steps |= aiProcess_Triangulate;
    m_impl->scene = m_impl->importer.ReadFile(path, steps);
    if (m_impl->scene == nullptr) m_impl->fail(m_impl->importer.GetErrorString());
}

ImportedScene::~ImportedScene() = default;

std::vector<MeshSummary> ImportedScene::meshes() const {
    std::vector<MeshSummary> list;
    const aiScene& scene = *m_impl->scene;
    for (unsigned i = 0; i < scene.mNumMeshes; ++i) {
        const aiMesh& mesh = *scene.mMeshes[i];
        list.push_back({mesh.mName.C_Str(), mesh.mNumVertices, facesWithArea(mesh)});
    }
    return list;
}

const aiMesh* ImportedScene::Impl::pickedMesh() const {
    if (options.meshIndex >= 0) {
        if (options.meshIndex >= static_cast<long>(scene->mNumMeshes))
            fail("there is no mesh " + std::to_string(options.meshIndex) + ": the scene holds " +
                 std::to_string(scene->mNumMeshes) +
                 (scene->mNumMeshes == 1 ? " mesh" : " meshes") + ", numbered from 0");
        return scene->mMeshes[options.meshIndex];
    }
    for (unsigned i = 0; i < scene->mNumMeshes; ++i)
        if (options.meshName == scene->mMeshes[i]->mName.C_Str()) return scene->mMeshes[i];
    fail("there is no mesh named \"" + options.meshName + "\" (--list shows the meshes)");
}

// Appends the mesh's vertices under `transform` (and the scale), and its
// faces of three corners or more. A transform that mirrors reverses the
// corners so that faces keep facing out.
void ImportedScene::Impl::append(const aiMesh& mesh, const aiMatrix4x4& transform,
                                 Collected& collected) const {
    ConvertedMesh& out = collected.mesh;
    collected.texCoordsSeen = collected.texCoordsSeen || mesh.HasTextureCoords(0);
    const std::size_t base = out.vertexCount();
    if (base + mesh.mNumVertices > static_cast<std::size_t>(INT_MAX))
        fail("the meshes hold more vertices than an R3D index can address");
    aiMatrix3x3 normalMatrix = aiMatrix3x3(transform).Inverse().Transpose();
    const float sign = options.scale < 0.0f ? -1.0f : 1.0f;
    const bool mirrors = transform.Determinant() * options.scale < 0.0f;
    const std::string name = "mesh \"" + std::string(mesh.mName.C_Str()) + "\"";

    for (unsigned i = 0; i < mesh.mNumVertices; ++i) {
        const aiVector3D p = (transform * mesh.mVertices[i]) * options.scale;
        if (!finite(p)) fail(name + " has a position that is not a finite number");
        out.positions.insert(out.positions.end(), {p.x, p.y, p.z});
        if (options.normals && mesh.HasNormals()) {
            aiVector3D n = (normalMatrix * mesh.mNormals[i]) * sign;
            const float length = n.Length();
            if (length > 0.0f) n /= length;
            if (!finite(n)) fail(name + " has a normal that is not a finite number");
            out.normals.insert(out.normals.end(), {n.x, n.y, n.z});
        }
        if (options.texCoords) {
            aiVector3D uv = mesh.HasTextureCoords(0) ? mesh.mTextureCoords[0][i] : aiVector3D();
            if (options.flipV) uv.y = 1.0f - uv.y;
            if (!finite(uv)) fail(name + " has a texture coordinate that is not a finite number");
            out.texCoords.insert(out.texCoords.end(), {uv.x, uv.y});
        }
    }
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices < 3) continue;
        out.faceSizes.push_back(static_cast<int>(face.mNumIndices));
        for (unsigned k = 0; k < face.mNumIndices; ++k) {
            const unsigned corner = mirrors ? face.mNumIndices - 1 - k : k;
            out.indices.push_back(static_cast<int>(base + face.mIndices[corner]));
        }
    }
}

void ImportedScene::Impl::appendNode(const aiNode& node, const aiMatrix4x4& parent,
                                     Collected& out) const {
    const aiMatrix4x4 transform = parent * node.mTransformation;
    for (unsigned i = 0; i < node.mNumMeshes; ++i)
        append(*scene->mMeshes[node.mMeshes[i]], transform, out);
    for (unsigned i = 0; i < node.mNumChildren; ++i) appendNode(*node.mChildren[i], transform, out);
}

ConvertedMesh ImportedScene::convert() const {
    const Impl& impl = *m_impl;
    const bool pickOne = impl.options.meshIndex >= 0 || !impl.options.meshName.empty();
    Collected collected;
    if (pickOne)
        impl.append(*impl.pickedMesh(), aiMatrix4x4(), collected);
    else if (impl.scene->mRootNode != nullptr)
        impl.appendNode(*impl.scene->mRootNode, aiMatrix4x4(), collected);
    ConvertedMesh& out = collected.mesh;
    if (out.faceCount() == 0)
        impl.fail(pickOne ? "the mesh has no faces" : "the scene holds no mesh with faces");
    // Normals only when every vertex has one; texture coordinates when any
    // mesh has them (the others get 0, 0).
    if (out.normals.size() != out.positions.size()) {
        out.droppedPartialNormals = !out.normals.empty();
        out.normals.clear();
    }
    if (!collected.texCoordsSeen) out.texCoords.clear();
    return out;
}

}  // namespace Vexa
