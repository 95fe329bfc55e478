#pragma once
// Screen-space blits and the sky box: small textured meshes built on Load
// and drawn on Draw.
#include <array>
#include <memory>

#include "Parser/Functions/RenderingObjects.h"

namespace Vexa {

namespace Types {
const TypeObject* Blit();
const TypeObject* SkyBox();
}  // namespace Types

// Corners P0..P3 of a blit's quad (x, y pairs): half the dimensions along
// the rotated axes, the y components scaled by `yscale`.
std::array<Vec2f, 4> blitCorners(const Vec2f& center, const Vec2f& dimensions,
                                 const float* rotation, float yscale);

// Vertex, index and declaration buffers of a fixed mesh.
struct MeshBuffers {
    std::unique_ptr<VertexDeclaration> declaration;
    std::unique_ptr<IndexStream> indices;
    std::unique_ptr<VertexStream> vertices;

    bool built() const { return vertices != nullptr; }
    void release();
    // Sets the buffers and draws an indexed triangle list.
    void draw(RenderMachine* machine, int vertexCount, int triangleCount) const;
};

// A textured rectangle given by a centre, a size, an optional rotation and
// an optional blend mode; it sets up the render state it needs itself.
class BlitObject : public IniObject {
public:
    struct Blend {
        bool enabled = false;
        int operation = ADD;
        int source = ONE;
        int destination = ZERO;
        const Vec4dObject* color = nullptr;
    };
    BlitObject(RenderMachine* machine, TextureObject* texture, const Vec2dObject* center,
               const Vec2dObject* dimensions, const NumberObject* rotation, float yscale,
               const Blend& blend);
    const TypeObject* type() const override { return Types::Blit(); }
    bool isLoaded() const override { return m_buffers.built(); }
    void load() override;
    void unload() override { m_buffers.release(); }
    void execute(CommandObject& command) override;

private:
    void draw();

    RenderMachine* m_machine;
    TextureObject* m_texture;
    const Vec2dObject* m_center;
    const Vec2dObject* m_dimensions;
    const NumberObject* m_rotation;
    float m_yscale;
    Blend m_blend;
    MeshBuffers m_buffers;
};

// A quad covering clip space, or a cube of half-size 1, drawn with whatever
// state is current.
class FixedMeshObject : public IniObject {
public:
    enum Shape { Quad, Cube };
    FixedMeshObject(RenderMachine* machine, Shape shape) : m_machine(machine), m_shape(shape) {}
    const TypeObject* type() const override {
        return m_shape == Quad ? Types::Blit() : Types::SkyBox();
    }
    bool isLoaded() const override { return m_buffers.built(); }
    void load() override;
    void unload() override { m_buffers.release(); }
    void execute(CommandObject& command) override;

private:
    RenderMachine* m_machine;
    Shape m_shape;
    MeshBuffers m_buffers;
};

}  // namespace Vexa
