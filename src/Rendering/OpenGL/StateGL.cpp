#include "Rendering/OpenGL/StateGL.h"

#include <iterator>

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/UtilsGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/StateGL";

namespace {

#define VEXA_SWITCH(name) \
    { GL_##name, #name }
const SwitchStateGL kSwitches[] = {
    VEXA_SWITCH(FOG),
    VEXA_SWITCH(LIGHTING),
    VEXA_SWITCH(TEXTURE_2D),
    VEXA_SWITCH(TEXTURE_1D),
    VEXA_SWITCH(LINE_STIPPLE),
    VEXA_SWITCH(POLYGON_STIPPLE),
    VEXA_SWITCH(CULL_FACE),
    VEXA_SWITCH(ALPHA_TEST),
    VEXA_SWITCH(BLEND),
    VEXA_SWITCH(INDEX_LOGIC_OP),
    VEXA_SWITCH(COLOR_LOGIC_OP),
    VEXA_SWITCH(DITHER),
    VEXA_SWITCH(STENCIL_TEST),
    VEXA_SWITCH(DEPTH_TEST),
    VEXA_SWITCH(CLIP_PLANE0),
    VEXA_SWITCH(CLIP_PLANE1),
    VEXA_SWITCH(CLIP_PLANE2),
    VEXA_SWITCH(CLIP_PLANE3),
    VEXA_SWITCH(CLIP_PLANE4),
    VEXA_SWITCH(CLIP_PLANE5),
    VEXA_SWITCH(LIGHT0),
    VEXA_SWITCH(LIGHT1),
    VEXA_SWITCH(LIGHT2),
    VEXA_SWITCH(LIGHT3),
    VEXA_SWITCH(LIGHT4),
    VEXA_SWITCH(LIGHT5),
    VEXA_SWITCH(LIGHT6),
    VEXA_SWITCH(LIGHT7),
    VEXA_SWITCH(TEXTURE_GEN_S),
    VEXA_SWITCH(TEXTURE_GEN_T),
    VEXA_SWITCH(TEXTURE_GEN_R),
    VEXA_SWITCH(TEXTURE_GEN_Q),
    VEXA_SWITCH(MAP1_VERTEX_3),
    VEXA_SWITCH(MAP1_VERTEX_4),
    VEXA_SWITCH(MAP1_COLOR_4),
    VEXA_SWITCH(MAP1_INDEX),
    VEXA_SWITCH(MAP1_NORMAL),
    VEXA_SWITCH(MAP1_TEXTURE_COORD_1),
    VEXA_SWITCH(MAP1_TEXTURE_COORD_2),
    VEXA_SWITCH(MAP1_TEXTURE_COORD_3),
    VEXA_SWITCH(MAP1_TEXTURE_COORD_4),
    VEXA_SWITCH(MAP2_VERTEX_3),
    VEXA_SWITCH(MAP2_VERTEX_4),
    VEXA_SWITCH(MAP2_COLOR_4),
    VEXA_SWITCH(MAP2_INDEX),
    VEXA_SWITCH(MAP2_NORMAL),
    VEXA_SWITCH(MAP2_TEXTURE_COORD_1),
    VEXA_SWITCH(MAP2_TEXTURE_COORD_2),
    VEXA_SWITCH(MAP2_TEXTURE_COORD_3),
    VEXA_SWITCH(MAP2_TEXTURE_COORD_4),
    VEXA_SWITCH(POINT_SMOOTH),
    VEXA_SWITCH(LINE_SMOOTH),
    VEXA_SWITCH(POLYGON_SMOOTH),
    VEXA_SWITCH(SCISSOR_TEST),
    VEXA_SWITCH(COLOR_MATERIAL),
    VEXA_SWITCH(NORMALIZE),
    VEXA_SWITCH(AUTO_NORMAL),
    VEXA_SWITCH(POLYGON_OFFSET_POINT),
    VEXA_SWITCH(POLYGON_OFFSET_LINE),
    VEXA_SWITCH(POLYGON_OFFSET_FILL),
    VEXA_SWITCH(VERTEX_ARRAY),
    VEXA_SWITCH(NORMAL_ARRAY),
    VEXA_SWITCH(COLOR_ARRAY),
    VEXA_SWITCH(INDEX_ARRAY),
    VEXA_SWITCH(TEXTURE_COORD_ARRAY),
    VEXA_SWITCH(EDGE_FLAG_ARRAY),
};
#undef VEXA_SWITCH
static_assert(std::size(kSwitches) == kSwitchStateCount, "66 switches");

#define VEXA_VALUE(name) \
    { GL_##name, #name }
const ValueNameGL kArrayTypes[] = {
    VEXA_VALUE(BYTE), VEXA_VALUE(UNSIGNED_BYTE), VEXA_VALUE(SHORT), VEXA_VALUE(UNSIGNED_SHORT),
    VEXA_VALUE(INT),  VEXA_VALUE(UNSIGNED_INT),  VEXA_VALUE(FLOAT), VEXA_VALUE(DOUBLE),
};
const ValueNameGL kMatrixModes[] = {VEXA_VALUE(MODELVIEW), VEXA_VALUE(PROJECTION),
                                    VEXA_VALUE(TEXTURE)};
const ValueNameGL kShadeModels[] = {VEXA_VALUE(FLAT), VEXA_VALUE(SMOOTH)};
const ValueNameGL kWindings[] = {VEXA_VALUE(CW), VEXA_VALUE(CCW)};
const ValueNameGL kFaces[] = {VEXA_VALUE(FRONT), VEXA_VALUE(BACK), VEXA_VALUE(FRONT_AND_BACK)};
const ValueNameGL kPolygonModes[] = {VEXA_VALUE(POINT), VEXA_VALUE(LINE), VEXA_VALUE(FILL)};
const ValueNameGL kCompareFuncs[] = {
    VEXA_VALUE(NEVER),   VEXA_VALUE(LESS),     VEXA_VALUE(EQUAL),  VEXA_VALUE(LEQUAL),
    VEXA_VALUE(GREATER), VEXA_VALUE(NOTEQUAL), VEXA_VALUE(GEQUAL), VEXA_VALUE(ALWAYS),
};
const ValueNameGL kBlendFactors[] = {
    VEXA_VALUE(ZERO),
    VEXA_VALUE(ONE),
    VEXA_VALUE(SRC_COLOR),
    VEXA_VALUE(ONE_MINUS_SRC_COLOR),
    VEXA_VALUE(SRC_ALPHA),
    VEXA_VALUE(ONE_MINUS_SRC_ALPHA),
    VEXA_VALUE(DST_ALPHA),
    VEXA_VALUE(ONE_MINUS_DST_ALPHA),
    VEXA_VALUE(DST_COLOR),
    VEXA_VALUE(ONE_MINUS_DST_COLOR),
    VEXA_VALUE(SRC_ALPHA_SATURATE),
    VEXA_VALUE(CONSTANT_COLOR),
    VEXA_VALUE(ONE_MINUS_CONSTANT_COLOR),
    VEXA_VALUE(CONSTANT_ALPHA),
    VEXA_VALUE(ONE_MINUS_CONSTANT_ALPHA),
};
const ValueNameGL kLogicOps[] = {
    VEXA_VALUE(CLEAR),         VEXA_VALUE(AND),          VEXA_VALUE(AND_REVERSE),
    VEXA_VALUE(COPY),          VEXA_VALUE(AND_INVERTED), VEXA_VALUE(NOOP),
    VEXA_VALUE(XOR),           VEXA_VALUE(OR),           VEXA_VALUE(NOR),
    VEXA_VALUE(EQUIV),         VEXA_VALUE(INVERT),       VEXA_VALUE(OR_REVERSE),
    VEXA_VALUE(COPY_INVERTED), VEXA_VALUE(OR_INVERTED),  VEXA_VALUE(NAND),
    VEXA_VALUE(SET),
};
const ValueNameGL kStencilOps[] = {
    VEXA_VALUE(KEEP), VEXA_VALUE(ZERO),   VEXA_VALUE(REPLACE),   VEXA_VALUE(INCR),
    VEXA_VALUE(DECR), VEXA_VALUE(INVERT), VEXA_VALUE(INCR_WRAP), VEXA_VALUE(DECR_WRAP),
};
const ValueNameGL kMaterialParameters[] = {
    VEXA_VALUE(AMBIENT),
    VEXA_VALUE(DIFFUSE),
    VEXA_VALUE(SPECULAR),
    VEXA_VALUE(EMISSION),
    VEXA_VALUE(AMBIENT_AND_DIFFUSE),
};
const ValueNameGL kFogModes[] = {VEXA_VALUE(EXP), VEXA_VALUE(EXP2), VEXA_VALUE(LINEAR)};
const ValueNameGL kHints[] = {VEXA_VALUE(DONT_CARE), VEXA_VALUE(FASTEST), VEXA_VALUE(NICEST)};
const ValueNameGL kListModes[] = {VEXA_VALUE(COMPILE), VEXA_VALUE(COMPILE_AND_EXECUTE)};
const ValueNameGL kRenderModes[] = {VEXA_VALUE(RENDER), VEXA_VALUE(SELECT), VEXA_VALUE(FEEDBACK)};
const ValueNameGL kBuffers[] = {
    VEXA_VALUE(NONE),
    VEXA_VALUE(FRONT),
    VEXA_VALUE(BACK),
    VEXA_VALUE(FRONT_AND_BACK),
    VEXA_VALUE(FRONT_LEFT),
    VEXA_VALUE(BACK_LEFT),
    VEXA_VALUE(COLOR_ATTACHMENT0),
};
const ValueNameGL kBlendEquations[] = {
    VEXA_VALUE(FUNC_ADD), VEXA_VALUE(FUNC_SUBTRACT), VEXA_VALUE(FUNC_REVERSE_SUBTRACT),
    VEXA_VALUE(MIN),      VEXA_VALUE(MAX),
};
#undef VEXA_VALUE

#define VEXA_PLAIN(name, count) \
    { GL_##name, #name, count, nullptr, 0 }
#define VEXA_NAMED(name, count, table) \
    { GL_##name, #name, count, table, sizeof(table) / sizeof(table[0]) }
const IntegerStateGL kIntegers[] = {
    VEXA_PLAIN(VERTEX_ARRAY_SIZE, 1),
    VEXA_NAMED(VERTEX_ARRAY_TYPE, 1, kArrayTypes),
    VEXA_PLAIN(VERTEX_ARRAY_STRIDE, 1),
    VEXA_NAMED(NORMAL_ARRAY_TYPE, 1, kArrayTypes),
    VEXA_PLAIN(NORMAL_ARRAY_STRIDE, 1),
    VEXA_PLAIN(COLOR_ARRAY_SIZE, 1),
    VEXA_NAMED(COLOR_ARRAY_TYPE, 1, kArrayTypes),
    VEXA_PLAIN(COLOR_ARRAY_STRIDE, 1),
    VEXA_NAMED(INDEX_ARRAY_TYPE, 1, kArrayTypes),
    VEXA_PLAIN(INDEX_ARRAY_STRIDE, 1),
    VEXA_PLAIN(TEXTURE_COORD_ARRAY_SIZE, 1),
    VEXA_NAMED(TEXTURE_COORD_ARRAY_TYPE, 1, kArrayTypes),
    VEXA_PLAIN(TEXTURE_COORD_ARRAY_STRIDE, 1),
    VEXA_PLAIN(EDGE_FLAG_ARRAY_STRIDE, 1),
    VEXA_PLAIN(TEXTURE_BINDING_1D, 1),
    VEXA_PLAIN(TEXTURE_BINDING_2D, 1),
    VEXA_NAMED(MATRIX_MODE, 1, kMatrixModes),
    VEXA_NAMED(SHADE_MODEL, 1, kShadeModels),
    VEXA_NAMED(FRONT_FACE, 1, kWindings),
    VEXA_NAMED(CULL_FACE_MODE, 1, kFaces),
    VEXA_NAMED(POLYGON_MODE, 2, kPolygonModes),
    VEXA_NAMED(DEPTH_FUNC, 1, kCompareFuncs),
    VEXA_PLAIN(DEPTH_WRITEMASK, 1),
    VEXA_NAMED(ALPHA_TEST_FUNC, 1, kCompareFuncs),
    VEXA_NAMED(BLEND_SRC, 1, kBlendFactors),
    VEXA_NAMED(BLEND_DST, 1, kBlendFactors),
    VEXA_NAMED(LOGIC_OP_MODE, 1, kLogicOps),
    VEXA_NAMED(STENCIL_FUNC, 1, kCompareFuncs),
    VEXA_PLAIN(STENCIL_VALUE_MASK, 1),
    VEXA_PLAIN(STENCIL_REF, 1),
    VEXA_NAMED(STENCIL_FAIL, 1, kStencilOps),
    VEXA_NAMED(STENCIL_PASS_DEPTH_FAIL, 1, kStencilOps),
    VEXA_NAMED(STENCIL_PASS_DEPTH_PASS, 1, kStencilOps),
    VEXA_PLAIN(STENCIL_WRITEMASK, 1),
    VEXA_PLAIN(STENCIL_CLEAR_VALUE, 1),
    VEXA_NAMED(COLOR_MATERIAL_FACE, 1, kFaces),
    VEXA_NAMED(COLOR_MATERIAL_PARAMETER, 1, kMaterialParameters),
    VEXA_NAMED(FOG_MODE, 1, kFogModes),
    VEXA_NAMED(FOG_HINT, 1, kHints),
    VEXA_NAMED(PERSPECTIVE_CORRECTION_HINT, 1, kHints),
    VEXA_NAMED(POINT_SMOOTH_HINT, 1, kHints),
    VEXA_NAMED(LINE_SMOOTH_HINT, 1, kHints),
    VEXA_NAMED(POLYGON_SMOOTH_HINT, 1, kHints),
    VEXA_PLAIN(LIST_BASE, 1),
    VEXA_PLAIN(LIST_INDEX, 1),
    VEXA_NAMED(LIST_MODE, 1, kListModes),
    VEXA_PLAIN(MAX_LIGHTS, 1),
    VEXA_PLAIN(MAX_CLIP_PLANES, 1),
    VEXA_PLAIN(MAX_TEXTURE_SIZE, 1),
    VEXA_PLAIN(COLOR_WRITEMASK, 4),
    VEXA_PLAIN(MODELVIEW_STACK_DEPTH, 1),
    VEXA_PLAIN(PROJECTION_STACK_DEPTH, 1),
    VEXA_PLAIN(TEXTURE_STACK_DEPTH, 1),
    VEXA_PLAIN(ATTRIB_STACK_DEPTH, 1),
    VEXA_PLAIN(CLIENT_ATTRIB_STACK_DEPTH, 1),
    VEXA_NAMED(RENDER_MODE, 1, kRenderModes),
    VEXA_NAMED(READ_BUFFER, 1, kBuffers),
    VEXA_NAMED(DRAW_BUFFER, 1, kBuffers),
    VEXA_PLAIN(UNPACK_ALIGNMENT, 1),
    VEXA_PLAIN(PACK_ALIGNMENT, 1),
    VEXA_PLAIN(VIEWPORT, 4),
    VEXA_PLAIN(SCISSOR_BOX, 4),
    VEXA_NAMED(BLEND_EQUATION, 1, kBlendEquations),
};
#undef VEXA_PLAIN
#undef VEXA_NAMED
static_assert(std::size(kIntegers) == kIntegerStateCount, "63 integer states");

}  // namespace

StateNamesGL::StateNamesGL() : m_switches(kSwitches), m_integers(kIntegers) {}

std::string StateNamesGL::valueText(const IntegerStateGL& state, GLint value) const {
    if (!state.values) return std::to_string(value);
    for (size_t i = 0; i < state.valueCount; ++i)
        if (state.values[i].value == value) return state.values[i].name;
    return "INVALID_ENUM";
}

void RenderStateGL::capture() {
    for (size_t i = 0; i < kSwitchStateCount; ++i)
        GL_CHECK(m_switches[i] = glIsEnabled(m_names.switches()[i].capability) == GL_TRUE);
    for (size_t i = 0; i < kIntegerStateCount; ++i) {
        GLint values[16] = {};
        GL_CHECK(glGetIntegerv(m_names.integers()[i].parameter, values));
        for (int k = 0; k < 4; ++k) m_integers[i][k] = values[k];
    }
}

std::vector<RenderState::Entry> RenderStateGL::entries() const {
    std::vector<Entry> entries;
    entries.reserve(kSwitchStateCount + kIntegerStateCount);
    for (size_t i = 0; i < kSwitchStateCount; ++i)
        entries.push_back({m_names.switches()[i].name, m_switches[i] ? "true" : "false"});
    for (size_t i = 0; i < kIntegerStateCount; ++i) {
        const IntegerStateGL& state = m_names.integers()[i];
        std::string text;
        for (int k = 0; k < state.count; ++k) {
            if (k > 0) text += ' ';
            text += m_names.valueText(state, m_integers[i][k]);
        }
        entries.push_back({state.name, text});
    }
    return entries;
}

}  // namespace Vexa
