#include "Parser/Functions/TextureTrail.h"

#include <cmath>
#include <cstdint>

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/TextureTrail";

namespace Types {
VEXA_DEFINE_TYPE(TextureArray, "TextureArray")
}  // namespace Types

namespace {

constexpr unsigned kDynamicUsage = 5;

// Texture coordinates of a quad's corners, v = 0 at the top of the picture.
const float kCornerCoordinates[4][2] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};

}  // namespace

// Streams for `number` quads: two triangles each, (4k, 4k + 1, 4k + 2) and
// (4k, 4k + 2, 4k + 3), over vertices written at each Draw.
void TextureArrayObject::load() {
    if (m_loaded) return;
    if (m_number > 0) {
        RenderMachine* m = m_machine;
        m_declaration.reset(m->createVertexDeclaration());
        m_declaration->append(VertexElement::POSITION, kElementFloat3, 0);
        m_declaration->append(VertexElement::TEXCOORD, kElementFloat2, 0);
        m_indices.reset(m->createIndexStream(6 * m_number, 0));
        auto* index = static_cast<uint16_t*>(m_indices->lock(0u));
        for (int k = 0; k < m_number; ++k) {
            const auto first = static_cast<uint16_t>(4 * k);
            const uint16_t quad[6] = {
                first, static_cast<uint16_t>(first + 1), static_cast<uint16_t>(first + 2),
                first, static_cast<uint16_t>(first + 2), static_cast<uint16_t>(first + 3)};
            for (uint16_t i : quad) *index++ = i;
        }
        m_indices->unlock();
        m_vertices.reset(
            m->createVertexStream(4 * m_number, m_declaration->stride(), kDynamicUsage));
    }
    m_loaded = true;
}

void TextureArrayObject::unload() {
    m_vertices.reset();
    m_indices.reset();
    m_declaration.reset();
    m_loaded = false;
}

// SetTexture hands over a texture the command holds; the trail holds it too,
// so that it lives as long as the trail may draw it.
void TextureArrayObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::SetTexture()) {
        m_texture = static_cast<SetTextureCommand&>(command).texture;
        hold(m_texture);
    } else if (kind == CommandKinds::Draw()) {
        draw();
    } else {
        IniObject::execute(command);
    }
}

// The quads from the current values: corners c -/+ u -/+ w, then c moves by
// the step's share of the movement and u, w grow by the step's share of the
// scale.
void TextureArrayObject::writeQuads() {
    const Values& v = m_values;
    Vec2f c = v.center->value();
    const Vec2f d = v.dimensions->value();
    float u[2] = {d[0] * 0.5f, 0.0f};
    float w[2] = {0.0f, d[1] * 0.5f};
    if (v.rotation) {
        const float r = v.rotation->value();
        u[0] = std::cos(r) * (d[0] * 0.5f);
        u[1] = std::sin(r) * (d[0] * 0.5f);
        w[0] = -std::sin(r) * (d[1] * 0.5f);
        w[1] = std::cos(r) * (d[1] * 0.5f);
    }
    const float step = m_number > 1 ? 1.0f / static_cast<float>(m_number - 1) : 0.0f;
    const Vec2f movement = v.movement->value();
    const float m[2] = {movement[0] * step, movement[1] * step};
    const float k = std::pow(v.scale->value(), step);

    auto* out = static_cast<float*>(m_vertices->lock(0u));
    for (int q = 0; q < m_number; ++q) {
        const float corners[4][2] = {
            {c[0] - u[0] - w[0], c[1] - u[1] - w[1]},
            {c[0] + u[0] - w[0], c[1] + u[1] - w[1]},
            {c[0] + u[0] + w[0], c[1] + u[1] + w[1]},
            {c[0] - u[0] + w[0], c[1] - u[1] + w[1]},
        };
        for (int i = 0; i < 4; ++i) {
            const float vertex[5] = {corners[i][0], corners[i][1], 0.0f, kCornerCoordinates[i][0],
                                     kCornerCoordinates[i][1]};
            for (float value : vertex) *out++ = value;
        }
        for (int a = 0; a < 2; ++a) {
            c[a] += m[a];
            u[a] *= k;
            w[a] *= k;
        }
    }
    m_vertices->unlock();
}

// Draws every quad additively, the texture passing through stage 0, without
// the depth test, under identity projection (and world, when asked).
void TextureArrayObject::draw() {
    load();
    if (m_number == 0) return;
    RenderMachine* m = m_machine;
    const Matrix identity = Matrix::identity();
    if (m_setWorld) m->setMatrix(&identity, MATRIX_WORLD);
    m->setMatrix(&identity, MATRIX_PROJECTION);
    writeQuads();

    const float f =
        (m_values.intensity ? m_values.intensity->value() : 1.0f) / static_cast<float>(m_number);
    const Color weight{f, f, f, f};
    m->setBlend(true);
    m->setBlendColor(&weight);
    m->setBlendFunc(BLENDFACTOR, ONE);
    m->setTexture(0, m_texture->getTexture());
    m->setTexture(1, nullptr);
    const TextureCombinerStage stage = TextureCombinerStage::textureThrough();
    m->setCombinerStage(0, &stage);

    m->setVertexDeclaration(m_declaration.get());
    m->setVertexStream(m_vertices.get(), 0);
    m->setIndexStream(m_indices.get());
    m->setDepthTest(false);
    m->drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 4 * m_number, 0, 2 * m_number);
    m->setDepthTest(true);
    m->setBlend(false);
    m->setTexture(0, nullptr);
}

namespace {

/* TextureArray { graphicsSystem texture number scale movement dimensions center
                  [rotation] [intensity] [setWorld] } */
class F_TextureArray : public IniFunction {
public:
    IniObject* create() override {
        auto* graphics = static_cast<GraphicsSystemObject*>(
            getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        TextureArrayObject::Values values;
        if (has("rotation"))
            values.rotation =
                static_cast<NumberObject*>(getRecordedObject("rotation", Types::Number()));
        if (has("intensity"))
            values.intensity =
                static_cast<NumberObject*>(getRecordedObject("intensity", Types::Number()));
        const bool setWorld = getInt("setWorld", 1) != 0;
        const int32_t number = getInt("number");
        if (number < 0 || number > kMaxTrailQuads)
            VEXA_THROW(FunctionParseException, "TextureArray number must be from 0 to 16384.");
        values.scale = static_cast<NumberObject*>(getRecordedObject("scale", Types::Number()));
        values.movement = static_cast<Vec2dObject*>(getRecordedObject("movement", Types::Vec2d()));
        values.dimensions =
            static_cast<Vec2dObject*>(getRecordedObject("dimensions", Types::Vec2d()));
        values.center = static_cast<Vec2dObject*>(getRecordedObject("center", Types::Vec2d()));
        auto* texture = static_cast<TextureObject*>(getRecordedObject("texture", Types::Texture()));
        return new TextureArrayObject(graphics->renderMachine(), texture, values, number, setWorld);
    }
};

/* SetTexture texture */
class F_SetTexture : public IniFunction {
public:
    IniObject* create() override {
        return new SetTextureCommand(
            static_cast<TextureObject*>(getRecordedElement(0, Types::Texture())));
    }
};

F_TextureArray s_textureArray;
F_SetTexture s_setTexture;

const FunctionEntry kFunctions[] = {
    {"TextureArray", &s_textureArray},
    {"SetTexture", &s_setTexture},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
