#include "Parser/Functions/LineEffects.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "Common/Random.h"
#include "Mesh/PlaneProducer.h"
#include "Mesh/ProductMesh.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/Blits.h"
#include "Parser/Functions/Curves.h"
#include "Parser/Functions/FileObject.h"
#include "Parser/Functions/MaterialObject.h"
#include "Parser/Functions/MeshObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/LineEffects";

namespace Types {
VEXA_DEFINE_TYPE(LineDraw, "LineDraw")
VEXA_DEFINE_TYPE(Gridi, "Gridi")
VEXA_DEFINE_TYPE(Voronoi, "Voronoi")
VEXA_DEFINE_TYPE(Culler, "Culler")
}  // namespace Types

namespace {

constexpr unsigned kStreamUsage = 4;

// The most triangles a cone may have: its rim and apex must stay within
// reach of 16-bit indices.
constexpr int kMaxConeTriangles = 65535;
// The most segments a ribbon may have (two vertices each).
constexpr int kMaxRibbonLines = 1 << 20;

void copy3(float* out, const Vec3f& v) {
    out[0] = v[0];
    out[1] = v[1];
    out[2] = v[2];
}

Matrix scaling(float x, float y, float z) {
    Matrix m;
    m.m[0] = x;
    m.m[5] = y;
    m.m[10] = z;
    return m;
}

// ---- LineDraw --------------------------------------------------------------------------

// One vertex of a ribbon: a point of the curve, then the direction of the
// curve there (reversed on the second vertex of a pair) and the side, 0 or 1.
struct RibbonVertex {
    float position[3];
    float direction[3];
    float side;
};
static_assert(sizeof(RibbonVertex) == 28, "a ribbon vertex is seven floats");

// Samples the curve into 2 * lines + 2 vertices: at each of the lines + 1
// steps from the begin parameter to the end parameter, the point there and
// the point half a step further on (so the last one lies beyond the end).
void sampleRibbon(Curve3dObject& curve, int lines, RibbonVertex* out) {
    const float b = curve.beginParameter();
    const float e = curve.endParameter();
    const float dt = (e - b) / static_cast<float>(lines);
    const float h = dt * 0.5f;
    float t = b;
    for (int i = 0; i <= lines; ++i) {
        RibbonVertex& a = *out++;
        copy3(a.position, curve.position(t));
        copy3(a.direction, curve.derivative(t));
        a.side = 0.0f;
        RibbonVertex& next = *out++;
        copy3(next.position, curve.position(t + h));
        const Vec3f d = curve.derivative(t + h);
        copy3(next.direction, Vec3f{{-d[0], -d[1], -d[2]}});
        next.side = 1.0f;
        t += dt;
    }
}

// A curve sampled once into a triangle strip that the production's vertex
// program widens on screen: the program gets the world-view-projection
// matrix in registers 0 to 3 and the width in register 4.
class LineDrawObject : public IniObject {
public:
    LineDrawObject(RenderMachine* machine, FileObject* shader, int lines, Curve3dObject* curve)
        : m_machine(machine), m_shader(shader), m_lines(lines), m_curve(curve) {}
    ~LineDrawObject() override { unload(); }
    const TypeObject* type() const override { return Types::LineDraw(); }
    bool isLoaded() const override { return m_loaded; }
    void load() override;
    void unload() override;
    void execute(CommandObject& command) override;

    float linewidth = 1.0f;

private:
    void draw();
    void loadProgram();

    RenderMachine* m_machine;
    FileObject* m_shader;
    int m_lines;
    Curve3dObject* m_curve;
    bool m_loaded = false;
    std::unique_ptr<VertexDeclaration> m_declaration;
    std::unique_ptr<VertexStream> m_stream;
    std::unique_ptr<VertexShader> m_program;
};

// A ribbon of no lines has nothing to sample or draw: it stays unloaded.
void LineDrawObject::load() {
    if (m_loaded || m_lines <= 0) return;
    m_declaration.reset(m_machine->createVertexDeclaration());
    m_declaration->append(VertexElement::POSITION, kElementFloat3, 0);
    m_declaration->append(VertexElement::TEXCOORD, kElementFloat4, 0);
    m_stream.reset(
        m_machine->createVertexStream(2 * m_lines + 2, m_declaration->stride(), kStreamUsage));
    sampleRibbon(*m_curve, m_lines, static_cast<RibbonVertex*>(m_stream->lock(0u)));
    m_stream->unlock();
    loadProgram();
    m_loaded = true;
}

// Compiles the program from the file's text. The file is loaded only for
// this and let go again, unless someone else had it loaded already. A
// program that does not compile is reported with the file's name first.
void LineDrawObject::loadProgram() {
    struct Release {
        DataBlock* block;
        ~Release() {
            if (block) block->unload();
        }
    };
    DataBlock* block = m_shader->dataBlock();
    const Release release{block->isLoaded() ? nullptr : block};
    block->load();
    try {
        m_program.reset(m_machine->createVertexShader(block->data()));
    } catch (const RenderMachineException& e) {
        VEXA_THROW(RenderMachineException, m_shader->name() + ": " + e.message());
    }
}

void LineDrawObject::unload() {
    m_program.reset();
    m_stream.reset();
    m_declaration.reset();
    m_loaded = false;
}

void LineDrawObject::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::Draw())
        draw();
    else
        IniObject::execute(command);
}

// The program stays set after the draw: whatever is drawn next sets its own.
void LineDrawObject::draw() {
    load();
    if (!m_loaded) return;
    RenderMachine* m = m_machine;
    m->setVertexShader(m_program.get());
    m->setVertexConstantMatrix(0, 0);
    const float width[4] = {linewidth, linewidth, linewidth, linewidth};
    m->setVertexConstantF(4, width, 1);
    m->setVertexDeclaration(m_declaration.get());
    m->setVertexStream(m_stream.get(), 0);
    m->drawPrimitive(TRIANGLE_STRIP, 0, 2 * m_lines);
}

// ---- Gridi -----------------------------------------------------------------------------

constexpr int kGridColumns = 16;
constexpr int kGridRows = 12;

// 16 x 12 small quads, each showing its own cell of whatever texture is
// bound and turned about the vertical axis by an angle that grows across
// the grid and follows `pos`.
class GridiObject : public IniObject {
public:
    explicit GridiObject(RenderMachine* machine) : m_machine(machine) {}
    const TypeObject* type() const override { return Types::Gridi(); }
    bool isLoaded() const override { return m_loaded; }
    void load() override;
    void unload() override;
    void execute(CommandObject& command) override;

    float pos = 0.0f;

private:
    void draw();

    RenderMachine* m_machine;
    std::unique_ptr<ProductMesh> m_quad;
    bool m_loaded = false;
};

void GridiObject::load() {
    if (m_loaded) return;
    m_quad = std::make_unique<ProductMesh>(m_machine, std::make_unique<PlaneProducer>(1, 1));
    m_quad->load();
    m_loaded = true;
}

void GridiObject::unload() {
    m_quad.reset();
    m_loaded = false;
}

void GridiObject::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::Draw())
        draw();
    else
        IniObject::execute(command);
}

// Row 0 of the grid (y = -11/12) shows the texture's cells at v near 1. The
// projection's field of view is 60 taken as radians, so the half angle is
// 30 radians: its tangent is negative and the whole picture comes out turned
// half around, row 0 at the top of the screen.
void GridiObject::draw() {
    if (!m_loaded) return;
    RenderMachine* m = m_machine;
    const Matrix projection = perspectiveLH(60.0f, 1.33f, 0.1f, 10000.0f);
    m->setMatrix(&projection, MATRIX_PROJECTION);
    const Matrix view = translation(0.0f, 0.0f, 0.15f);
    m->setMatrix(&view, MATRIX_VIEW);

    const Matrix scale = scaling(0.0625f, 0.0833333f, 0.01f);
    for (int r = 0; r < kGridRows; ++r) {
        for (int c = 0; c < kGridColumns; ++c) {
            const float x = static_cast<float>(2 * c + 1) / 32.0f * 2.0f - 1.0f;
            const float y = static_cast<float>(2 * r + 1) / 24.0f * 2.0f - 1.0f;
            const float angle = static_cast<float>(4 * r + c) * 0.015f + pos;
            Matrix rotation;
            rotation.m[0] = rotation.m[10] = std::cos(angle);
            rotation.m[2] = -std::sin(angle);
            rotation.m[8] = std::sin(angle);
            const Matrix world = multiply(translation(x, y, 0.0f), multiply(scale, rotation));
            m->setMatrix(&world, MATRIX_WORLD);
            const Matrix texture =
                multiply(translation(static_cast<float>(2 * c + 1) / 32.0f,
                                     static_cast<float>(23 - 2 * r) / 24.0f, 0.0f),
                         scale);
            m->setTextureMatrix(0, &texture);
            m_quad->draw();
        }
    }
}

// ---- Voronoi ---------------------------------------------------------------------------

constexpr int kConeRows = 20;
constexpr int kConesPerRow = 20;

struct ConeVertex {
    float position[3];
    float texCoord[2];
};
static_assert(sizeof(ConeVertex) == 20, "a cone vertex is five floats");

// Flat textured cones at random centres, drawn under the depth test: at each
// pixel the cone with the nearest apex wins, so the screen splits into
// cells. The centres are drawn anew on every Draw.
class VoronoiObject : public IniObject {
public:
    VoronoiObject(TextureObject* texture, RenderMachine* machine, int triangles, float radius,
                  float texscale)
        : m_texture(texture),
          m_machine(machine),
          m_triangles(triangles),
          m_radius(radius),
          m_texscale(texscale) {}
    ~VoronoiObject() override { unload(); }
    const TypeObject* type() const override { return Types::Voronoi(); }
    bool isLoaded() const override { return m_buffers.built(); }
    void load() override;
    void unload() override;
    void execute(CommandObject& command) override;

private:
    void draw();

    TextureObject* m_texture;
    RenderMachine* m_machine;
    int m_triangles;
    float m_radius;
    float m_texscale;
    MeshBuffers m_buffers;
};

// A cone of no triangles has nothing to build or draw: it stays unloaded.
void VoronoiObject::load() {
    if (isLoaded() || m_triangles <= 0) return;
    const int n = m_triangles;
    RenderMachine* m = m_machine;
    m_buffers.declaration.reset(m->createVertexDeclaration());
    m_buffers.declaration->append(VertexElement::POSITION, kElementFloat3, 0);
    m_buffers.declaration->append(VertexElement::TEXCOORD, kElementFloat2, 0);

    m_buffers.indices.reset(m->createIndexStream(3 * n, 0));
    auto* index = static_cast<uint16_t*>(m_buffers.indices->lock(0u));
    for (int i = 0; i < n; ++i) {
        *index++ = 0;
        *index++ = static_cast<uint16_t>(i + 1);
        *index++ = static_cast<uint16_t>((i + 1) % n + 1);
    }
    m_buffers.indices->unlock();

    m_buffers.vertices.reset(
        m->createVertexStream(n + 1, m_buffers.declaration->stride(), kStreamUsage));
    auto* vertex = static_cast<ConeVertex*>(m_buffers.vertices->lock(0u));
    *vertex++ = ConeVertex{{0.0f, 0.0f, 0.0f}, {0.0f, 0.0f}};
    const float step = 6.283185308f / static_cast<float>(n);
    for (int i = 0; i < n; ++i) {
        const float a = static_cast<float>(i) * step;
        const float x = m_radius * std::cos(a);
        const float y = m_radius * std::sin(a);
        *vertex++ = ConeVertex{{x, y, 1.0f}, {m_texscale * x, m_texscale * y}};
    }
    m_buffers.vertices->unlock();
}

void VoronoiObject::unload() { m_buffers.release(); }

void VoronoiObject::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::Draw())
        draw();
    else
        IniObject::execute(command);
}

// The projection maps 0..1 onto the screen (y downwards) while the centres
// lie in -1..1, so only the cones of the upper right quarter of that square
// have their apex on screen. The texture matrix shifts each cone's texture
// by its centre.
void VoronoiObject::draw() {
    load();
    if (!isLoaded()) return;
    RenderMachine* m = m_machine;
    Matrix projection;
    projection.m[0] = 2.0f;
    projection.m[5] = -2.0f;
    projection.m[12] = -1.0f;
    projection.m[13] = 1.0f;
    m->setMatrix(&projection, MATRIX_PROJECTION);
    m->setDepthTest(true);
    m->setTexture(0, m_texture->getTexture());
    m->setTexture(1, nullptr);
    const TextureCombinerStage stage;
    m->setCombinerStage(0, &stage);
    m->setVertexDeclaration(m_buffers.declaration.get());
    m->setVertexStream(m_buffers.vertices.get(), 0);
    m->setIndexStream(m_buffers.indices.get());

    const int n = m_triangles;
    StandardRandom& random = programStandardRandom();
    Matrix centre;
    for (int row = 0; row < kConeRows; ++row) {
        centre.m[13] = random.nextSigned();
        for (int i = 0; i < kConesPerRow; ++i) {
            centre.m[12] = random.nextSigned();
            m->setMatrix(&centre, MATRIX_WORLD);
            m->setTextureMatrix(0, &centre);
            m->drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, n + 1, 0, n);
        }
    }
}

// ---- Culler ----------------------------------------------------------------------------

// One mesh drawn with the volume of a second mesh cut away: the depth of the
// object, then the cutter's faces counted in the stencil where they lie
// behind it, then the visible parts of both through the stencil. Owns no
// device resources; it passes the Draw command on to the objects it names.
class CullerObject : public IniObject {
public:
    struct Parts {
        IniObject* object;
        IniObject* culler;
        IniObject* objectTransform;
        IniObject* cullerTransform;
        IniObject* camera;
        IniObject* material;
    };
    CullerObject(RenderMachine* machine, const Parts& parts) : m_machine(machine), m_parts(parts) {}
    const TypeObject* type() const override { return Types::Culler(); }
    void execute(CommandObject& command) override;

private:
    void draw(CommandObject& draw);

    RenderMachine* m_machine;
    Parts m_parts;
};

void CullerObject::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::Draw())
        draw(command);
    else
        IniObject::execute(command);
}

// Culling stays on and the stencil function, reference, mask and operations
// keep their last values afterwards.
void CullerObject::draw(CommandObject& command) {
    RenderMachine* m = m_machine;
    const auto drawEach = [&command](std::initializer_list<IniObject*> objects) {
        for (IniObject* object : objects) object->execute(command);
    };
    const auto drawObject = [&] {
        drawEach({m_parts.camera, m_parts.objectTransform, m_parts.object});
    };
    const auto drawCuller = [&] {
        drawEach({m_parts.camera, m_parts.cullerTransform, m_parts.culler});
    };

    m->setTexture(0, nullptr);
    m->setVertexShader(nullptr);
    m->setDepthTest(true);
    const Color clearColor{0, 0, 0, 0};
    m->clear(CLEAR_STENCIL, &clearColor, 1.0f, 0);
    m->setCulling(true);
    m->setCullingMode(CCW);
    m->setColorWriteMask(false, false, false, false);
    drawObject();  // the object's depth only

    m->setStencilTest(true);
    m->setStencilFunc(ALWAYS);
    m->setStencilRef(1);
    m->setStencilMask(0xFFFFFFFFu);
    m->setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_INCR);
    m->setDepthWrite(false);
    drawCuller();  // front faces of the cutter count up

    m->setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_DECR);
    m->setCullingMode(CW);
    drawCuller();  // back faces count down

    m->setStencilFunc(NOTEQUAL);
    m->setStencilRef(0);
    m->setDepthFunc(ALWAYS);
    m->setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
    m->setDepthWrite(true);
    drawCuller();

    m->setDepthFunc(LESS);
    m->setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_INCR);
    drawObject();

    m->setDepthFunc(ALWAYS);
    m->setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
    m->setStencilFunc(ALWAYS);
    drawObject();

    m->setDepthFunc(LESS);
    m->setColorWriteMask(true, true, true, true);
    m->setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
    m->setStencilFunc(EQUAL);
    m->setStencilRef(1);
    drawEach({m_parts.camera, m_parts.cullerTransform, m_parts.material, m_parts.culler});

    m->setStencilFunc(EQUAL);
    m->setStencilRef(0);
    m->setCullingMode(CCW);
    drawEach({m_parts.camera, m_parts.objectTransform, m_parts.material, m_parts.object});

    m->setDepthFunc(LESS);
    m->setDepthBias(0.0f, 0.0f);
    m->setStencilTest(false);
}

// ---- script functions ------------------------------------------------------------------

class EffectFunction : public IniFunction {
protected:
    RenderMachine* machine() {
        return renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
    }
    template <typename T>
    T* object(const char* name, const TypeObject* type) {
        return static_cast<T*>(getRecordedObject(name, type));
    }
};

/* LineDraw { graphicsSystem shader [lines] curve [linewidth] } */
class F_LineDraw : public EffectFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        auto* shader = object<FileObject>("shader", Types::File());
        const int lines = std::min(getInt("lines", 256), kMaxRibbonLines);
        auto* curve = object<Curve3dObject>("curve", Types::Curve3d());
        const float linewidth = getNumber("linewidth", 1.0f);
        auto* result = new LineDrawObject(m, shader, lines, curve);
        result->linewidth = linewidth;
        return result;
    }
};

/* Gridi { graphicsSystem [pos] } */
class F_Gridi : public EffectFunction {
public:
    IniObject* create() override {
        auto result = std::make_unique<GridiObject>(machine());
        bindNumber("pos", &result->pos, 0.0f);
        return result.release();
    }
};

/* Voronoi { graphicsSystem texture [triangles] [radius] [texscale] } */
class F_Voronoi : public EffectFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        auto* texture = object<TextureObject>("texture", Types::Texture());
        const int triangles = std::min(getInt("triangles", 20), kMaxConeTriangles);
        const float radius = getNumber("radius", 0.1f);
        const float texscale = getNumber("texscale", 0.0f);
        return new VoronoiObject(texture, m, triangles, radius, texscale);
    }
};

/* Culler { graphicsSystem material camera cullerTransform culler objectTransform object } */
class F_Culler : public EffectFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        CullerObject::Parts parts{};
        parts.material = getRecordedObject("material", Types::Material());
        parts.camera = getRecordedObject("camera", Types::Camera());
        parts.cullerTransform = getRecordedObject("cullerTransform", Types::Transform());
        parts.culler = getRecordedObject("culler", Types::Mesh());
        parts.objectTransform = getRecordedObject("objectTransform", Types::Transform());
        parts.object = getRecordedObject("object", Types::Mesh());
        return new CullerObject(m, parts);
    }
};

F_LineDraw s_lineDraw;
F_Gridi s_gridi;
F_Voronoi s_voronoi;
F_Culler s_culler;

const FunctionEntry kFunctions[] = {
    {"LineDraw", &s_lineDraw},
    {"Gridi", &s_gridi},
    {"Voronoi", &s_voronoi},
    {"Culler", &s_culler},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
