#include "Parser/Functions/ShaderGrids.h"

#include <cstring>
#include <string>

#include "Mesh/PlaneProducer.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniFunction.h"

namespace Vexa {

namespace Types {
VEXA_DEFINE_TYPE(ImageWarp, "ImageWarp")
VEXA_DEFINE_TYPE(SliceVolume, "SliceVolume")
}  // namespace Types

void ShaderGridObject::load() {
    if (!m_shader->isLoaded()) m_shader->load();
    if (m_mesh) return;
    auto mesh = std::make_unique<ProductMesh>(m_machine,
                                              std::make_unique<PlaneProducer>(m_columns, m_rows));
    mesh->load();
    m_mesh = std::move(mesh);
}

void ShaderGridObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Draw()) {
        IniObject::execute(command);
        return;
    }
    load();
    draw();
}

float* ShaderGridObject::constants(int first, int count) {
    VertexConstants* set = m_shader->getConstants();
    return set ? set->floats(first, count) : nullptr;
}

// Orthographic projection of the square from -1 to 1 with near 1 and far
// 100, seen from z = -2; the world matrix is left as it is.
void ImageWarpObject::draw() {
    RenderMachine* m = m_machine;
    Matrix projection = Matrix::identity(0.0f);
    projection.m[0] = 1.0f;
    projection.m[5] = 1.0f;
    projection.m[10] = 1.0f / (100.0f - 1.0f);
    projection.m[14] = 1.0f / (1.0f - 100.0f);
    projection.m[15] = 1.0f;
    m->setMatrix(&projection, MATRIX_PROJECTION);
    Matrix view;
    view.m[14] = 2.0f;
    m->setMatrix(&view, MATRIX_VIEW);
    for (MaterialAttribute* attribute : m_material->attributes()) attribute->apply(m);
    for (int k = 0; k < kVectors; ++k)
        if (float* block = constants(kFirstRegister + k, 1))
            std::memcpy(block, m_vectors[k].v, sizeof(Vec4f));
    m_shader->apply(m);
    m_mesh->draw();
}

// The slices turn by the inverse of the view's rotation, so that they face
// the camera wherever it looks from.
void SliceVolumeObject::draw() {
    RenderMachine* m = m_machine;
    m->setBlend(true);
    m->setBlendFunc(SRCCOLOR, INVSRCCOLOR);
    m->setTexture(0, nullptr);
    Matrix rotation = *m->getMatrix(MATRIX_VIEW);
    for (int i : {3, 7, 11, 12, 13, 14}) rotation.m[i] = 0.0f;
    rotation.m[15] = 1.0f;
    Matrix inverse;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            inverse.at(row, column) = rotation.at(column, row);
    float z = 1.0f;
    for (int slice = 0; slice < kSlices; ++slice) {
        Matrix shift;
        shift.m[14] = z;
        const Matrix placement = multiply(inverse, shift);
        if (float* rows = constants(kFirstRegister, 4))
            for (int row = 0; row < 4; ++row)
                for (int column = 0; column < 4; ++column)
                    rows[row * 4 + column] = placement.at(row, column);
        z -= 0.2f;
        m_shader->apply(m);
        m_mesh->draw();
    }
    m->setBlend(false);
}

namespace {

RenderMachine* machineOf(IniObject* graphics) {
    return static_cast<GraphicsSystemObject*>(graphics)->renderMachine();
}

/* ImageWarp { graphicsSystem shader material [p1] ... [p10] } */
class F_ImageWarp : public IniFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        auto* shader =
            static_cast<VertexShaderObject*>(getRecordedObject("shader", Types::VertexShader()));
        auto* material =
            static_cast<MaterialObject*>(getRecordedObject("material", Types::Material()));
        auto warp = std::make_unique<ImageWarpObject>(m, shader, material);
        for (int k = 0; k < ImageWarpObject::kVectors; ++k)
            bindVec4IfGiven("p" + std::to_string(k + 1), warp->vector(k));
        return warp.release();
    }
};

/* SliceVolume { graphicsSystem shader } */
class F_SliceVolume : public IniFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        return new SliceVolumeObject(m, static_cast<VertexShaderObject*>(
                                            getRecordedObject("shader", Types::VertexShader())));
    }
};

F_ImageWarp s_imageWarp;
F_SliceVolume s_sliceVolume;

const FunctionEntry kFunctions[] = {
    {"ImageWarp", &s_imageWarp},
    {"SliceVolume", &s_sliceVolume},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
