#pragma once
// Flat grid meshes handed to a vertex shader from the script, which does the
// work: a screen-filling grid whose picture the shader warps, and a stack of
// camera-facing slices through which the shader draws a volume.
#include <array>
#include <memory>

#include "Mesh/ProductMesh.h"
#include "Parser/Functions/MaterialObject.h"

namespace Vexa {

namespace Types {
const TypeObject* ImageWarp();
const TypeObject* SliceVolume();
}  // namespace Types

// A grid of columns x rows quads over -1..1, built on Load (or at the first
// Draw) and deleted on Unload. Loading also loads the shader when it is not
// loaded, so that a missing or broken shader file is reported rather than
// the grid drawn without it. The grid's triangles turn clockwise on the
// screen, which the machine's default culling drops: scripts draw these
// effects with culling off.
class ShaderGridObject : public IniObject {
public:
    ShaderGridObject(RenderMachine* machine, VertexShaderObject* shader, int columns, int rows)
        : m_machine(machine), m_shader(shader), m_columns(columns), m_rows(rows) {}
    bool isLoaded() const override { return m_mesh != nullptr; }
    void load() override;
    void unload() override { m_mesh.reset(); }
    void execute(CommandObject& command) override;

protected:
    virtual void draw() = 0;
    // The constants of the shader: the float block of `count` registers at
    // `first`, made on first request.
    float* constants(int first, int count);

    RenderMachine* m_machine;
    VertexShaderObject* m_shader;
    std::unique_ptr<ProductMesh> m_mesh;

private:
    int m_columns;
    int m_rows;
};

// A 100 x 100 grid over the whole screen under a fixed orthographic camera,
// drawn with a material; the ten vectors p1 to p10 go to registers 20 to 29
// of the shader at every Draw.
class ImageWarpObject : public ShaderGridObject {
public:
    static constexpr int kVectors = 10;
    static constexpr int kFirstRegister = 20;
    ImageWarpObject(RenderMachine* machine, VertexShaderObject* shader, MaterialObject* material)
        : ShaderGridObject(machine, shader, 100, 100), m_material(material) {}
    const TypeObject* type() const override { return Types::ImageWarp(); }
    Vec4f* vector(int k) { return &m_vectors[k]; }

private:
    void draw() override;

    MaterialObject* m_material;
    std::array<Vec4f, kVectors> m_vectors{};
};

// Eleven 30 x 30 grids blended with (SRCCOLOR, INVSRCCOLOR), turned to face
// the camera and stepped from z = 1 to z = -1; each slice's placement goes
// to registers 12 to 15 of the shader, one row a register.
class SliceVolumeObject : public ShaderGridObject {
public:
    static constexpr int kSlices = 11;
    static constexpr int kFirstRegister = 12;
    SliceVolumeObject(RenderMachine* machine, VertexShaderObject* shader)
        : ShaderGridObject(machine, shader, 30, 30) {}
    const TypeObject* type() const override { return Types::SliceVolume(); }

private:
    void draw() override;
};

}  // namespace Vexa
