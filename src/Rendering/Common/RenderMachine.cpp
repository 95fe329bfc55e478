#include "Rendering/Common/RenderMachine.h"

#include <cstring>
#include <iterator>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Rendering/Common/RenderMachine";

Matrix Matrix::identity(float scale) {
    Matrix result;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            result.at(row, column) = row == column ? scale : 0.0f;
    return result;
}

// Element (r, c) of a * b is row r of a dotted with column c of b, so b is
// the transformation applied first.
Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix result;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 4; ++column) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) sum += a.at(row, k) * b.at(k, column);
            result.at(row, column) = sum;
        }
    }
    return result;
}

namespace {

Matrix transpose(const Matrix& matrix) {
    Matrix result;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) result.at(row, column) = matrix.at(column, row);
    return result;
}

// Bytes of one vertex element, by data type (one to four floats, a packed
// colour).
const int kElementSizes[] = {4, 8, 12, 16, 4};
static_assert(std::size(kElementSizes) == kElementDataTypeCount, "one size per element data type");

}  // namespace

void VertexDeclaration::append(int usage, int dataType, int usageIndex) {
    if (dataType < 0 || dataType >= static_cast<int>(std::size(kElementSizes)))
        VEXA_THROW(RenderMachineException, "Invalid vertex element type.");
    VertexElement element;
    element.usage = usage;
    element.dataType = dataType;
    element.usageIndex = usageIndex;
    element.offset = static_cast<uint16_t>(m_offset);
    m_elements.push_back(element);
    m_offset += kElementSizes[dataType];
}

namespace Enums {

namespace {

// A script table holds the values 0 to count-1 in order and ends with the
// empty entry; every table of the machine has this shape.
template <std::size_t N>
constexpr bool isDense(const EnumEntry (&table)[N], int count) {
    if (N != static_cast<std::size_t>(count) + 1) return false;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        if (table[i].name == nullptr || table[i].value != static_cast<int32_t>(i)) return false;
    }
    return table[N - 1].name == nullptr && table[N - 1].value == 0;
}

}  // namespace

constexpr EnumEntry texCoordGen[] = {
    {"GEN_DISABLE", GEN_DISABLE},     {"GEN_NORMAL", GEN_NORMAL},
    {"GEN_VERTEX", GEN_VERTEX},       {"GEN_REFLECTION", GEN_REFLECTION},
    {"GEN_SPHEREMAP", GEN_SPHEREMAP}, {nullptr, 0},
};
static_assert(isDense(texCoordGen, kTexGenModeCount), "texture coordinate generation");

constexpr EnumEntry textureWrap[] = {
    {"REPEAT", REPEAT},
    {"CLAMP", CLAMP},
    {"BORDER", BORDER},
    {nullptr, 0},
};
static_assert(isDense(textureWrap, kWrapModeCount), "texture wrap");

constexpr EnumEntry compareFunc[] = {
    {"NEVER", NEVER},
    {"LESS", LESS},
    {"EQUAL", EQUAL},
    {"LESSEQUAL", LESSEQUAL},
    {"GREATER", GREATER},
    {"NOTEQUAL", NOTEQUAL},
    {"GREATEREQUAL", GREATEREQUAL},
    {"ALWAYS", ALWAYS},
    {nullptr, 0},
};
static_assert(isDense(compareFunc, kCompareFuncCount), "compare function");

constexpr EnumEntry fillMode[] = {
    {"POINT", POINT},
    {"WIREFRAME", WIREFRAME},
    {"SOLID", SOLID},
    {nullptr, 0},
};
static_assert(isDense(fillMode, kFillModeCount), "fill mode");

constexpr EnumEntry blendFactor[] = {
    {"ZERO", ZERO},
    {"ONE", ONE},
    {"SRCCOLOR", SRCCOLOR},
    {"INVSRCCOLOR", INVSRCCOLOR},
    {"SRCALPHA", SRCALPHA},
    {"INVSRCALPHA", INVSRCALPHA},
    {"DESTALPHA", DESTALPHA},
    {"INVDESTALPHA", INVDESTALPHA},
    {"DESTCOLOR", DESTCOLOR},
    {"INVDESTCOLOR", INVDESTCOLOR},
    {"SRCALPHASAT", SRCALPHASAT},
    {"BLENDFACTOR", BLENDFACTOR},
    {"INVBLENDFACTOR", INVBLENDFACTOR},
    {nullptr, 0},
};
static_assert(isDense(blendFactor, kBlendFactorCount), "blend factor");

constexpr EnumEntry blendOperation[] = {
    {"ADD", ADD}, {"SUBTRACT", SUBTRACT}, {"REVSUBTRACT", REVSUBTRACT},
    {"MIN", MIN}, {"MAX", MAX},           {nullptr, 0},
};
static_assert(isDense(blendOperation, kBlendOperationCount), "blend operation");

constexpr EnumEntry cullingMode[] = {
    {"CW", CW},
    {"CCW", CCW},
    {nullptr, 0},
};
static_assert(isDense(cullingMode, kCullingModeCount), "culling mode");

constexpr EnumEntry fogMode[] = {
    {"FOG_EXP", FOG_EXP},
    {"FOG_EXP2", FOG_EXP2},
    {"FOG_LINEAR", FOG_LINEAR},
    {nullptr, 0},
};
static_assert(isDense(fogMode, kFogModeCount), "fog mode");

constexpr EnumEntry lightType[] = {
    {"POINT_LIGHT", POINT_LIGHT},
    {"SPOT_LIGHT", SPOT_LIGHT},
    {"DIRECTIONAL_LIGHT", DIRECTIONAL_LIGHT},
    {nullptr, 0},
};
static_assert(isDense(lightType, kLightTypeCount), "light type");

constexpr EnumEntry combinerSource[] = {
    {"SRC_CURRENT", SRC_CURRENT},
    {"SRC_TEMP", SRC_TEMP},
    {"SRC_DIFFUSE", SRC_DIFFUSE},
    {"SRC_SPECULAR", SRC_SPECULAR},
    {"SRC_TEXTURE", SRC_TEXTURE},
    {"SRC_FACTOR", SRC_FACTOR},
    {nullptr, 0},
};
static_assert(isDense(combinerSource, kCombinerSourceCount), "combiner source");

constexpr EnumEntry combinerOperation[] = {
    {"OP_I1", OP_I1},
    {"OP_I2", OP_I2},
    {"OP_MODULATE", OP_MODULATE},
    {"OP_MODULATE2X", OP_MODULATE2X},
    {"OP_MODULATE4X", OP_MODULATE4X},
    {"OP_ADD", OP_ADD},
    {"OP_ADDSIGNED", OP_ADDSIGNED},
    {"OP_ADDSIGNED2X", OP_ADDSIGNED2X},
    {"OP_SUB", OP_SUB},
    {"OP_ADDSMOOTH", OP_ADDSMOOTH},
    {"OP_BLENDCURALPHA", OP_BLENDCURALPHA},
    {"OP_BLENDDIFALPHA", OP_BLENDDIFALPHA},
    {"OP_BLENDTEXALPHA", OP_BLENDTEXALPHA},
    {"OP_DOTP", OP_DOTP},
    {"OP_LERP", OP_LERP},
    {"OP_MULADD", OP_MULADD},
    {"OP_MODULATEALPHA_ADDCOLOR", OP_MODULATEALPHA_ADDCOLOR},
    {"OP_MODULATECOLOR_ADDALPHA", OP_MODULATECOLOR_ADDALPHA},
    {"OP_MODULATEINVALPHA_ADDCOLOR", OP_MODULATEINVALPHA_ADDCOLOR},
    {"OP_MODULATEINVCOLOR_ADDALPHA", OP_MODULATEINVCOLOR_ADDALPHA},
    {nullptr, 0},
};
static_assert(isDense(combinerOperation, kCombinerOperationCount), "combiner operation");

constexpr EnumEntry geometrySource[] = {
    {"SOURCE_NONE", SOURCE_NONE},
    {"SOURCE_WORLD", SOURCE_WORLD},
    {nullptr, 0},
};
static_assert(isDense(geometrySource, kGeometrySourceCount), "geometry source");

}  // namespace Enums

void RenderMachine::readPixels(void*, int, int, int, int) {}

int RenderMachine::getWidth() { return 0; }

int RenderMachine::getHeight() { return 0; }

RenderState* RenderMachine::createState() { return nullptr; }

void RenderMachine::captureState(RenderState*) {}

// Brings every state to its default through the machine's own operations,
// in the one fixed order both back ends and the ResetState command rely on.
// The stage, light and combiner counts are asked of the machine itself.
void RenderMachine::setDefaultState() {
    const Color white{1, 1, 1, 1};
    const Color black{0, 0, 0, 0};
    const Matrix identity = Matrix::identity();
    const TextureCombinerStage defaultStage;
    const int textureUnits = getMaxTextureUnits();

    for (int stage = 0; stage < textureUnits; ++stage) setTextureCoordGen(stage, GEN_DISABLE);
    setMaterial(&white, &black, &black, 40.0f, &black);
    setShadeMode(true);
    setSpecularSeparate(false);
    setFog(false);
    setFogRangeBased(false);
    setFogColor(&black);
    setFogMode(FOG_EXP);
    setFogParameters(0.0f, 1.0f, 1.0f);
    setLighting(false);
    setColorMaterialEnable(false);
    setAmbientLight(&black);
    setLocalViewer(false);
    setNormalize(false);
    const int lights = getMaxLights();
    for (int light = 0; light < lights; ++light) setLightEnable(light, false);
    setColorMaterial(0);
    setVertexShader(nullptr);
    for (int stage = 0; stage < textureUnits; ++stage) setTexture(stage, nullptr);
    const int combinerStages = getMaxCombinerStages();
    for (int stage = 0; stage < combinerStages; ++stage) setCombinerStage(stage, &defaultStage);

    setDepthTest(true);
    setDepthWrite(true);
    setDepthFunc(LESS);
    setDepthBias(0.0f, 0.0f);
    setFillMode(SOLID);
    setAlphaTest(false);
    setAlphaFunc(ALWAYS, 0.0f);
    setBlend(false);
    setBlendFunc(ONE, ZERO);
    setBlendOperation(ADD);
    setBlendColor(&black);
    setCulling(true);
    setCullingMode(CCW);
    setClipPlanes(true);

    setStencilTest(false);
    setTwoSidedStencil(false);
    setStencilOp(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
    setStencilFunc(ALWAYS);
    setStencilOpBack(STENCIL_KEEP, STENCIL_KEEP, STENCIL_KEEP);
    setStencilFuncBack(ALWAYS);
    setStencilRef(0);
    setStencilMask(~0u);
    setStencilWriteMask(~0u);

    setPointSprite(false);
    setPointScaleEnable(false);
    setPointSize(1.0f);
    setPointSizeMin(1.0f);
    setPointSizeMax(1.0f);
    setPointScale(1.0f, 0.0f, 0.0f);

    setMatrix(&identity, MATRIX_VIEW);
    setMatrix(&identity, MATRIX_WORLD);
    setMatrix(&identity, MATRIX_PROJECTION);
    for (int stage = 0; stage < textureUnits; ++stage) setTextureMatrix(stage, &identity);
    setColorWriteMask(true, true, true, true);
    setScissorTest(false);
    setPerspectiveHint(false);
}

namespace {

// The creator's table: every name a script may give, the factory the back
// end registered for it (null while none did) and what to say then.
struct MachineKind {
    const char* name;
    const char* unavailable;
    RenderMachineFactory factory;
};

MachineKind s_machineKinds[] = {
    {"gl", "The OpenGL render machine is not available on this system.", nullptr},
    {"dx", "The Direct3D render machine is not available on this system.", nullptr},
};

MachineKind* findMachineKind(const char* name) {
    if (name == nullptr) return nullptr;
    for (MachineKind& kind : s_machineKinds) {
        if (std::strcmp(kind.name, name) == 0) return &kind;
    }
    return nullptr;
}

}  // namespace

bool registerRenderMachine(const char* name, RenderMachineFactory factory) {
    MachineKind* const kind = findMachineKind(name);
    if (kind == nullptr) return false;
    kind->factory = factory;
    return true;
}

RenderMachineFactory registeredRenderMachine(const char* name) {
    const MachineKind* const kind = findMachineKind(name);
    return kind != nullptr ? kind->factory : nullptr;
}

std::unique_ptr<RenderMachine> RenderMachineCreator(const char* type) {
    const MachineKind* const kind = findMachineKind(type);
    if (kind == nullptr) VEXA_THROW(Exception, "Invalid machine type. Try 'gl' or 'dx'.");
    if (kind->factory == nullptr) VEXA_THROW(RenderMachineException, kind->unavailable);
    return kind->factory();
}

namespace {

// Vertices per primitive and the extra ones a strip or fan starts with.
struct VertexCountRule {
    int perPrimitive;
    int extra;
};

const VertexCountRule kVertexCountRules[] = {
    {1, 0},  // POINT_LIST
    {2, 0},  // LINE_LIST
    {1, 1},  // LINE_STRIP
    {3, 0},  // TRIANGLE_LIST
    {1, 2},  // TRIANGLE_STRIP
    {1, 2},  // TRIANGLE_FAN
};
static_assert(std::size(kVertexCountRules) == kPrimitiveTypeCount, "one rule per primitive type");

}  // namespace

int primitiveVertexCount(unsigned type, int count) {
    if (type >= std::size(kVertexCountRules)) return -1;
    const VertexCountRule& rule = kVertexCountRules[type];
    return count * rule.perPrimitive + rule.extra;
}

ViewportPixels mapViewport(const Viewport& viewport, int targetWidth, int targetHeight) {
    const float width = static_cast<float>(targetWidth);
    const float height = static_cast<float>(targetHeight);
    ViewportPixels pixels;
    pixels.x = static_cast<int>(width * viewport.x);
    pixels.y = static_cast<int>(height * viewport.y);
    pixels.width = static_cast<int>(width * viewport.width);
    pixels.height = static_cast<int>(height * viewport.height);
    return pixels;
}

float pointSizePixels(float size, int viewportHeight) {
    return size * static_cast<float>(viewportHeight);
}

Matrix vertexProgramMatrix(int selector, const Matrix& projection, const Matrix& view,
                           const Matrix& world) {
    switch (selector) {
        case 0: return transpose(multiply(projection, multiply(view, world)));
        case 1: return transpose(world);
        case 2: return transpose(multiply(view, world));
        case 3: return transpose(projection);
        default: VEXA_THROW(RenderMachineException, "Invalid parameter name.");
    }
}

namespace {

[[noreturn]] void badMatrixType() { VEXA_THROW(RenderMachineException, "Bad matrix type."); }

}  // namespace

const Matrix& MatrixSet::get(unsigned kind) const {
    if (kind >= kMatrixKindCount) badMatrixType();
    return m_matrices[kind];
}

void MatrixSet::set(unsigned kind, const Matrix& matrix) {
    if (kind >= kMatrixKindCount) badMatrixType();
    m_matrices[kind] = matrix;
}

void MatrixSet::mult(unsigned kind, const Matrix& matrix) {
    if (kind >= kMatrixKindCount) badMatrixType();
    m_matrices[kind] = multiply(m_matrices[kind], matrix);
}

Matrix MatrixSet::modelview() const {
    return multiply(m_matrices[MATRIX_VIEW], m_matrices[MATRIX_WORLD]);
}

Matrix MatrixSet::vertexProgramMatrix(int selector) const {
    return Vexa::vertexProgramMatrix(selector, m_matrices[MATRIX_PROJECTION],
                                     m_matrices[MATRIX_VIEW], m_matrices[MATRIX_WORLD]);
}

}  // namespace Vexa
