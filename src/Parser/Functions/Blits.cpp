#include "Parser/Functions/Blits.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"

namespace Vexa {

namespace Types {
VEXA_DEFINE_TYPE(Blit, "Blit")
VEXA_DEFINE_TYPE(SkyBox, "SkyBox")
}  // namespace Types

namespace {

constexpr unsigned kVertexUsage = 5;

const uint16_t kQuadIndices[6] = {0, 1, 2, 0, 2, 3};

// Corner positions then texture coordinates; v = 0 is the top of the picture.
const float kQuadVertices[4][5] = {
    {-1, -1, 0, 0, 1},
    {1, -1, 0, 1, 1},
    {1, 1, 0, 1, 0},
    {-1, 1, 0, 0, 0},
};

const float kCubeCorners[8][3] = {
    {-1, -1, -1}, {1, -1, -1}, {1, -1, 1}, {-1, -1, 1},
    {-1, 1, -1},  {1, 1, -1},  {1, 1, 1},  {-1, 1, 1},
};

const uint16_t kCubeIndices[36] = {
    0, 1, 2, 0, 2, 3, 0, 4, 5, 0, 5, 1, 1, 5, 6, 1, 6, 2,
    3, 2, 6, 3, 6, 7, 0, 3, 7, 0, 7, 4, 4, 7, 6, 4, 6, 5,
};

// Builds the declaration (position, then texture coordinates of
// `texCoordType`), the 16-bit index stream and the vertex stream.
void build(RenderMachine* m, MeshBuffers& b, int texCoordType, const uint16_t* indices,
           int indexCount, int vertexCount) {
    b.declaration.reset(m->createVertexDeclaration());
    b.declaration->append(VertexElement::POSITION, kElementFloat3, 0);
    b.declaration->append(VertexElement::TEXCOORD, texCoordType, 0);
    b.indices.reset(m->createIndexStream(indexCount, 0));
    std::memcpy(b.indices->lock(0u), indices,
                sizeof(uint16_t) * static_cast<std::size_t>(indexCount));
    b.indices->unlock();
    b.vertices.reset(m->createVertexStream(vertexCount, b.declaration->stride(), kVertexUsage));
}

}  // namespace

std::array<Vec2f, 4> blitCorners(const Vec2f& c, const Vec2f& d, const float* rotation,
                                 float yscale) {
    const float hw = d[0] * 0.5f;
    const float hh = d[1] * 0.5f;
    float u[2] = {hw, 0.0f};
    float v[2] = {0.0f, hh};
    if (rotation) {
        const float a = *rotation;
        u[0] = hw * std::cos(a);
        u[1] = hw * std::sin(a);
        v[0] = -hh * std::sin(a);
        v[1] = hh * std::cos(a);
    }
    u[1] *= yscale;
    v[1] *= yscale;
    return {{
        {{c[0] - u[0] - v[0], c[1] - u[1] - v[1]}},
        {{c[0] + u[0] - v[0], c[1] + u[1] - v[1]}},
        {{c[0] + u[0] + v[0], c[1] + u[1] + v[1]}},
        {{c[0] - u[0] + v[0], c[1] - u[1] + v[1]}},
    }};
}

void MeshBuffers::release() {
    vertices.reset();
    indices.reset();
    declaration.reset();
}

void MeshBuffers::draw(RenderMachine* m, int vertexCount, int triangleCount) const {
    m->setVertexDeclaration(declaration.get());
    m->setVertexStream(vertices.get(), 0);
    m->setIndexStream(indices.get());
    m->drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, vertexCount, 0, triangleCount);
}

BlitObject::BlitObject(RenderMachine* machine, TextureObject* texture, const Vec2dObject* center,
                       const Vec2dObject* dimensions, const NumberObject* rotation, float yscale,
                       const Blend& blend)
    : m_machine(machine),
      m_texture(texture),
      m_center(center),
      m_dimensions(dimensions),
      m_rotation(rotation),
      m_yscale(yscale),
      m_blend(blend) {}

void BlitObject::load() {
    if (!m_buffers.built()) build(m_machine, m_buffers, kElementFloat2, kQuadIndices, 6, 4);
}

void BlitObject::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::Draw())
        draw();
    else
        IniObject::execute(command);
}

// Draws the rectangle at the current centre, size and rotation with its own
// state, and puts back what it changed.
void BlitObject::draw() {
    load();
    RenderMachine* m = m_machine;
    const Matrix identity = Matrix::identity();
    m->setMatrix(&identity, MATRIX_WORLD);
    m->setMatrix(&identity, MATRIX_PROJECTION);
    m->setTextureMatrix(0, &identity);

    float angle = 0.0f;
    if (m_rotation) angle = m_rotation->value();
    const std::array<Vec2f, 4> corners = blitCorners(m_center->value(), m_dimensions->value(),
                                                     m_rotation ? &angle : nullptr, m_yscale);
    auto* out = static_cast<float*>(m_buffers.vertices->lock(0u));
    for (int i = 0; i < 4; ++i) {
        float* vertex = out + i * 5;
        vertex[0] = corners[i][0];
        vertex[1] = corners[i][1];
        vertex[2] = 0.0f;
        vertex[3] = kQuadVertices[i][3];
        vertex[4] = kQuadVertices[i][4];
    }
    m_buffers.vertices->unlock();

    if (m_blend.enabled) {
        m->setBlend(true);
        m->setBlendOperation(m_blend.operation);
        m->setBlendFunc(m_blend.source, m_blend.destination);
        if (m_blend.color) {
            const Vec4f& bc = m_blend.color->value();
            const Color color{bc[0], bc[1], bc[2], bc[3]};
            m->setBlendColor(&color);
        }
    }
    m->setDepthTest(false);
    m->setTexture(0, m_texture->getTexture());
    m->setTextureCoordGen(0, GEN_DISABLE);
    m->setTexture(1, nullptr);
    const TextureCombinerStage stage = TextureCombinerStage::textureThrough();
    m->setCombinerStage(0, &stage);

    m_buffers.draw(m, 4, 2);

    m->setTexture(0, nullptr);
    if (m_blend.enabled) m->setBlend(false);
    m->setDepthTest(true);
}

void FixedMeshObject::load() {
    if (m_buffers.built()) return;
    if (m_shape == Quad) {
        build(m_machine, m_buffers, kElementFloat2, kQuadIndices, 6, 4);
        std::memcpy(m_buffers.vertices->lock(0u), kQuadVertices, sizeof kQuadVertices);
    } else {
        build(m_machine, m_buffers, kElementFloat3, kCubeIndices, 36, 8);
        auto* out = static_cast<float*>(m_buffers.vertices->lock(0u));
        for (int i = 0; i < 8; ++i) {
            std::memcpy(out + i * 6, kCubeCorners[i], sizeof kCubeCorners[i]);
            std::memcpy(out + i * 6 + 3, kCubeCorners[i], sizeof kCubeCorners[i]);
        }
    }
    m_buffers.vertices->unlock();
}

// Draw before Load builds the buffers first, so nothing is silently lost.
void FixedMeshObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Draw()) {
        IniObject::execute(command);
        return;
    }
    load();
    if (m_shape == Quad)
        m_buffers.draw(m_machine, 4, 2);
    else
        m_buffers.draw(m_machine, 8, 12);
}

namespace {

RenderMachine* machineOf(IniObject* graphics) {
    return static_cast<GraphicsSystemObject*>(graphics)->renderMachine();
}

/* Blit { graphicsSystem texture center dimensions [rotation] [yscale]
          [blend_dst [blend_src] [blend_factor] [blend_operation]] } */
class F_Blit : public IniFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        auto* texture = static_cast<TextureObject*>(getRecordedObject("texture", Types::Texture()));
        auto* center = static_cast<Vec2dObject*>(getRecordedObject("center", Types::Vec2d()));
        auto* dimensions =
            static_cast<Vec2dObject*>(getRecordedObject("dimensions", Types::Vec2d()));
        const NumberObject* rotation = nullptr;
        if (has("rotation"))
            rotation = static_cast<NumberObject*>(getRecordedObject("rotation", Types::Number()));
        const float yscale = getNumber("yscale", 1.0f);
        BlitObject::Blend blend;
        if (has("blend_dst")) {
            blend.enabled = true;
            blend.destination = getEnum("blend_dst", Enums::blendFactor);
            blend.source = getEnum("blend_src", Enums::blendFactor, ONE);
            if (has("blend_factor"))
                blend.color =
                    static_cast<Vec4dObject*>(getRecordedObject("blend_factor", Types::Vec4d()));
            blend.operation = getEnum("blend_operation", Enums::blendOperation, ADD);
        }
        return new BlitObject(m, texture, center, dimensions, rotation, yscale, blend);
    }
};

class F_FixedMesh : public IniFunction {
public:
    explicit F_FixedMesh(FixedMeshObject::Shape shape) : m_shape(shape) {}
    IniObject* create() override {
        return new FixedMeshObject(
            machineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem())), m_shape);
    }

private:
    FixedMeshObject::Shape m_shape;
};

F_Blit s_blit;
F_FixedMesh s_simpleBlit(FixedMeshObject::Quad);
F_FixedMesh s_skyBox(FixedMeshObject::Cube);

const FunctionEntry kFunctions[] = {
    {"Blit", &s_blit},
    {"SimpleBlit", &s_simpleBlit},
    {"SkyBox", &s_skyBox},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
