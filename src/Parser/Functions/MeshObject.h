#pragma once
// Script objects around drawable primitives.
#include <memory>
#include <vector>

#include "Mesh/Primitive.h"
#include "Parser/IniCommands.h"

namespace Vexa {

namespace Types {
const TypeObject* Mesh();
const TypeObject* SceneTriple();
}  // namespace Types

class MaterialObject;
class MorphTargetProcessor;
class ProductMesh;
class TransformObject;

// The script-visible wrapper of one owned primitive: Draw, RangeDraw, Update,
// Load and Unload become primitive operations.
class MeshObject : public IniObject {
public:
    explicit MeshObject(std::unique_ptr<Primitive> primitive) : m_primitive(std::move(primitive)) {}
    const TypeObject* type() const override { return Types::Mesh(); }
    bool isLoaded() const override { return m_primitive->isLoaded(); }
    void load() override { m_primitive->load(); }
    void unload() override { m_primitive->unload(); }
    void execute(CommandObject& command) override;

    Primitive* primitive() const { return m_primitive.get(); }
    // Hands the current values of animated weights to the primitive; called
    // on every Update before the primitive's own update.
    virtual void updateWeights() {}

private:
    std::unique_ptr<Primitive> m_primitive;
};

// RangeDraw: the start and end fractions are read when the command runs, so
// animated numbers move the drawn window.
class RangeDrawCommand : public CommandObject {
public:
    RangeDrawCommand(float time, NumberObject* start, NumberObject* end)
        : CommandObject(time), m_start(start), m_end(end) {
        hold(start);
        hold(end);
    }
    const CommandKind* commandKind() const override { return CommandKinds::RangeDraw(); }
    float start() const { return m_start->value(); }
    float end() const { return m_end->value(); }

private:
    const NumberObject* m_start;
    const NumberObject* m_end;
};

// A mesh read from an R3D file. With morph targets, the weight numbers are
// read on every Update, and the mesh is built again when one has changed.
class R3DMeshObject : public MeshObject {
public:
    // `morph` is part of the mesh's chain, or null without morph targets;
    // `weights` has one number per target.
    R3DMeshObject(std::unique_ptr<ProductMesh> mesh, MorphTargetProcessor* morph,
                  std::vector<const NumberObject*> weights);
    void updateWeights() override;

private:
    ProductMesh* m_mesh;
    MorphTargetProcessor* m_morph;
    std::vector<const NumberObject*> m_weights;
    std::vector<float> m_applied;
};

// A mesh with the transform and material it is drawn with, and optionally a
// second mesh for its shadow, as one record for scene objects.
class SceneTripleObject : public IniObject {
public:
    SceneTripleObject(Primitive* mesh, Primitive* shadowMesh, TransformObject* transform,
                      MaterialObject* material)
        : m_mesh(mesh), m_shadowMesh(shadowMesh), m_transform(transform), m_material(material) {}
    const TypeObject* type() const override { return Types::SceneTriple(); }

    Primitive* mesh() const { return m_mesh; }
    Primitive* shadowMesh() const { return m_shadowMesh; }
    TransformObject* transform() const { return m_transform; }
    MaterialObject* material() const { return m_material; }

private:
    Primitive* m_mesh;
    Primitive* m_shadowMesh;
    TransformObject* m_transform;
    MaterialObject* m_material;
};

}  // namespace Vexa
