#include "Parser/Functions/TransformObject.h"

#include <cmath>
#include <iostream>
#include <memory>
#include <string>
#include <utility>

#include "Parser/Exceptions.h"
#include "Parser/Functions/Envelope.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/TransformObject";

namespace Types {
VEXA_DEFINE_TYPE(Transform, "Transform")
VEXA_DEFINE_TYPE(Camera, "Camera")
}  // namespace Types

namespace {

// Matrix kinds of the targets world, view and projection.
const unsigned kTargetKinds[] = {MATRIX_WORLD, MATRIX_VIEW, MATRIX_PROJECTION};
static_assert(sizeof(kTargetKinds) / sizeof(kTargetKinds[0]) == ApplyMatrixCommand::TEXTURE_STAGE_0,
              "one matrix kind per target before the texture stages");

// Degrees to radians, as the look-at command has always converted them.
constexpr double kDegree = 0.017453292522222223;

// The initial camera: 45 degrees vertically, square, near 1, far 128.
constexpr float kCameraFov = 0.7853982f;
constexpr float kCameraNear = 1.0f;
constexpr float kCameraFar = 128.0f;

Vec3f cross(const Vec3f& a, const Vec3f& b) {
    return {{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]}};
}

float dot(const Vec3f& a, const Vec3f& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Scales `v` to unit length; false for the zero vector.
bool normalize(Vec3f& v) {
    const float length = std::sqrt(dot(v, v));
    if (length == 0.0f || !std::isfinite(length)) return false;
    for (int i = 0; i < 3; ++i) v[i] /= length;
    return true;
}

// A matrix whose upper 3 by 3 part is that of `rotation` transposed and
// whose translation is minus that transposed part times `position`: the
// inverse of a rotation followed by a move to `position`.
Matrix inverseRigid(const Matrix& rotation, const Vec3f& position) {
    Matrix view;
    for (int row = 0; row < 3; ++row) {
        Vec3f axis;
        for (int column = 0; column < 3; ++column) {
            axis[column] = rotation.at(column, row);
            view.at(row, column) = axis[column];
        }
        view.at(row, 3) = -dot(axis, position);
    }
    return view;
}

}  // namespace

RenderMachine* renderMachineOf(IniObject* graphicsSystem) {
    RenderMachine* m = static_cast<GraphicsSystemObject*>(graphicsSystem)->renderMachine();
    if (!m) VEXA_THROW(FunctionParseException, "graphicsSystem has no render machine.");
    return m;
}

Matrix translation(float x, float y, float z) {
    Matrix m;
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
    return m;
}

// Written out rather than multiplied: animated transforms rebuild this
// every frame.
Matrix headingPitchBank(float heading, float pitch, float bank) {
    const float ch = std::cos(heading), sh = std::sin(heading);
    const float cp = std::cos(pitch), sp = std::sin(pitch);
    const float cb = std::cos(bank), sb = std::sin(bank);
    Matrix r;
    r.at(0, 0) = ch * cb + sh * sp * sb;
    r.at(0, 1) = sh * sp * cb - ch * sb;
    r.at(0, 2) = sh * cp;
    r.at(1, 0) = cp * sb;
    r.at(1, 1) = cp * cb;
    r.at(1, 2) = -sp;
    r.at(2, 0) = ch * sp * sb - sh * cb;
    r.at(2, 1) = sh * sb + ch * sp * cb;
    r.at(2, 2) = ch * cp;
    return r;
}

Matrix axisRotation(float angle, const Vec3f& axis) {
    Vec3f k = axis;
    Matrix r;
    if (!normalize(k)) return r;
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    const float x = k[0], y = k[1], z = k[2];
    r.at(0, 0) = c + x * x * t;
    r.at(0, 1) = x * y * t - z * s;
    r.at(0, 2) = x * z * t + y * s;
    r.at(1, 0) = x * y * t + z * s;
    r.at(1, 1) = c + y * y * t;
    r.at(1, 2) = y * z * t - x * s;
    r.at(2, 0) = x * z * t - y * s;
    r.at(2, 1) = y * z * t + x * s;
    r.at(2, 2) = c + z * z * t;
    return r;
}

// Gauss-Jordan on [a | identity]: per column the row with the largest
// absolute value becomes the pivot row.
bool invert(const Matrix& matrix, Matrix& inverse) {
    float a[4][8];
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) {
            a[row][column] = matrix.at(row, column);
            a[row][column + 4] = row == column ? 1.0f : 0.0f;
        }
    for (int column = 0; column < 4; ++column) {
        int pivot = column;
        for (int row = column + 1; row < 4; ++row)
            if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
        if (a[pivot][column] == 0.0f) return false;
        if (pivot != column)
            for (int k = 0; k < 8; ++k) std::swap(a[pivot][k], a[column][k]);
        const float scale = 1.0f / a[column][column];
        for (int k = 0; k < 8; ++k) a[column][k] *= scale;
        for (int row = 0; row < 4; ++row) {
            if (row == column) continue;
            const float factor = a[row][column];
            if (factor == 0.0f) continue;
            for (int k = 0; k < 8; ++k) a[row][k] -= factor * a[column][k];
        }
    }
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) inverse.at(row, column) = a[row][column + 4];
    return true;
}

Matrix perspectiveLH(float fov, float aspect, float nearZ, float farZ) {
    const float c = 1.0f / std::tan(fov / 2.0f);
    Matrix p = Matrix::identity(0.0f);
    p.m[0] = c / aspect;
    p.m[5] = c;
    p.m[10] = farZ / (farZ - nearZ);
    p.m[11] = 1.0f;
    p.m[14] = -nearZ * farZ / (farZ - nearZ);
    return p;
}

Vec4f transformPoint(const Matrix& matrix, const Vec4f& point) {
    Vec4f r;
    for (int row = 0; row < 4; ++row)
        for (int k = 0; k < 4; ++k) r[row] += matrix.at(row, k) * point[k];
    return r;
}

// ---- transforms -------------------------------------------------------------------

void TransformObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Update()) {
        compute(command.time());
        publish();
    } else if (kind == CommandKinds::ApplyMatrix()) {
        const auto& c = static_cast<const ApplyMatrixCommand&>(command);
        if (c.mode != ApplyMatrixCommand::SET && c.mode != ApplyMatrixCommand::MULTIPLY) return;
        const bool set = c.mode == ApplyMatrixCommand::SET;
        if (c.target >= ApplyMatrixCommand::TEXTURE_STAGE_0) {
            const int stage = c.target - ApplyMatrixCommand::TEXTURE_STAGE_0;
            if (set)
                m_machine->setTextureMatrix(stage, &m_value);
            else
                m_machine->multTextureMatrix(stage, &m_value);
        } else if (c.target >= 0) {
            const unsigned matrixKind = kTargetKinds[c.target];
            if (set)
                m_machine->setMatrix(&m_value, matrixKind);
            else
                m_machine->multMatrix(&m_value, matrixKind);
        }
    } else if (kind == CommandKinds::Draw()) {
        std::cerr << "TransformObject Draw is obsolete feature. Use MultTransform instead.\n"
                  << "Documentation: Docs/Ini/dynamics.txt\n";
        m_machine->multMatrix(&m_value, MATRIX_WORLD);
    } else {
        IniObject::execute(command);
    }
}

// The rotation times the scale has the scale factors on its columns.
void LwTransformObject::compute(float) {
    m_value = headingPitchBank(inputs[HEADING], inputs[PITCH], inputs[BANK]);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) m_value.at(row, column) *= inputs[SX + column];
    for (int row = 0; row < 3; ++row) m_value.at(row, 3) = inputs[X + row];
}

// A rotation about the point p: R on the upper part, p - R p as translation.
void RotationObject::compute(float) {
    m_value = axisRotation(angle, axis);
    for (int row = 0; row < 3; ++row) {
        float rotated = 0.0f;
        for (int k = 0; k < 3; ++k) rotated += m_value.at(row, k) * pivot[k];
        m_value.at(row, 3) = pivot[row] - rotated;
    }
}

void TranslationObject::compute(float) {
    m_value = Matrix::identity();
    for (int row = 0; row < 3; ++row) m_value.at(row, 3) = offset[row];
}

void ScaleObject::compute(float) {
    m_value = Matrix::identity();
    for (int i = 0; i < 3; ++i) m_value.at(i, i) = m_uniform ? uniform : factors[i];
}

InverseTransformObject::InverseTransformObject(RenderMachine* machine, TransformObject* source)
    : TransformObject(machine), m_source(source) {}

void InverseTransformObject::compute(float) {
    Matrix inverse;
    if (invert(m_source->matrix(), inverse)) m_value = inverse;
}

void TransformContainer::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::CopyTransform())
        m_value = static_cast<const CopyTransformCommand&>(command).source->matrix();
    else
        TransformObject::execute(command);
}

// ---- camera -------------------------------------------------------------------------

CameraObject::CameraObject(RenderMachine* machine)
    : m_machine(machine), m_projection(perspectiveLH(kCameraFov, 1.0f, kCameraNear, kCameraFar)) {}

void CameraObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Draw()) {
        m_machine->setMatrix(&m_view, MATRIX_VIEW);
        m_machine->setMatrix(&m_projection, MATRIX_PROJECTION);
    } else if (kind == CommandKinds::SetupTextureRendering()) {
        Matrix mirror;
        mirror.at(1, 1) = -1.0f;
        const Matrix projection = multiply(mirror, m_projection);
        m_machine->setMatrix(&m_view, MATRIX_VIEW);
        m_machine->setMatrix(&projection, MATRIX_PROJECTION);
    } else if (kind == CommandKinds::LookAt()) {
        lookAt(static_cast<const LookAtCommand&>(command));
    } else if (kind == CommandKinds::LwCameraPosition()) {
        const auto& c = static_cast<const LwCameraPositionCommand&>(command);
        m_view = inverseRigid(headingPitchBank(c.heading, c.pitch, c.bank), c.position);
    } else if (kind == CommandKinds::SetCameraTransform()) {
        Matrix inverse;
        if (invert(static_cast<const SetCameraTransformCommand&>(command).transform->matrix(),
                   inverse))
            m_view = inverse;
    } else {
        IniObject::execute(command);
    }
}

// The projection takes the command's field of view; the view looks along z
// from the position to the target, with x = up cross z and y = z cross x as
// its other rows. When the position is the target, or up is parallel to the
// line of sight, the view stays as it was.
void CameraObject::lookAt(const LookAtCommand& c) {
    const auto fov = static_cast<float>(c.fov * kDegree);
    m_projection = perspectiveLH(fov, 1.0f, kCameraNear, kCameraFar);
    Vec3f z{
        {c.target[0] - c.position[0], c.target[1] - c.position[1], c.target[2] - c.position[2]}};
    if (!normalize(z)) return;
    Vec3f x = cross(c.up, z);
    if (!normalize(x)) return;
    const Vec3f y = cross(z, x);
    Matrix rotation;
    for (int row = 0; row < 3; ++row) {
        rotation.at(row, 0) = x[row];
        rotation.at(row, 1) = y[row];
        rotation.at(row, 2) = z[row];
    }
    m_view = inverseRigid(rotation, c.position);
}

// ---- script functions ------------------------------------------------------------------

namespace {

// Shared readers of the transform functions: the machine, the inputs (live
// copies that make the transform animated when any of them is), and the
// envelope group the new transform joins.
class TransformFunction : public EnvelopeReader {
protected:
    RenderMachine* machine() {
        return renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
    }
    bool animated(std::string_view name) const { return has(name) && getObject(name)->isDynamic(); }
    void number(const char* name, float* field, float defaultValue, bool& dynamic) {
        bindNumber(name, field, defaultValue);
        dynamic = dynamic || animated(name);
    }
    void requiredNumber(const char* name, float* field, bool& dynamic) {
        getObject(name, Types::Number());
        number(name, field, 0.0f, dynamic);
    }
    void requiredVec3(const char* name, Vec3f* field, bool& dynamic) {
        getObject(name, Types::Vec3d());
        bindVec3IfGiven(name, field);
        dynamic = dynamic || animated(name);
    }
    // Computes the first matrix (at time 0) and joins the group.
    static IniObject* finish(std::unique_ptr<TransformObject> transform, IniObject* group,
                             bool dynamic) {
        transform->setDynamic(dynamic);
        transform->compute(0.0f);
        joinGroup(group, transform.get());
        return transform.release();
    }
};

/* LwTransform { graphicsSystem [x y z heading pitch bank sx sy sz] [envelopeGroup] } */
class F_LwTransform : public TransformFunction {
public:
    IniObject* create() override {
        static const struct {
            const char* name;
            LwTransformObject::Input input;
            float absent;
        } kInputs[] = {
            {"x", LwTransformObject::X, 0},         {"y", LwTransformObject::Y, 0},
            {"z", LwTransformObject::Z, 0},         {"heading", LwTransformObject::HEADING, 0},
            {"pitch", LwTransformObject::PITCH, 0}, {"bank", LwTransformObject::BANK, 0},
            {"sx", LwTransformObject::SX, 1},       {"sy", LwTransformObject::SY, 1},
            {"sz", LwTransformObject::SZ, 1},
        };
        static_assert(sizeof(kInputs) / sizeof(kInputs[0]) == LwTransformObject::kInputCount,
                      "every input");
        auto transform = std::make_unique<LwTransformObject>(machine());
        IniObject* group = groupParameter();
        bool dynamic = false;
        for (const auto& in : kInputs)
            number(in.name, &transform->inputs[in.input], in.absent, dynamic);
        return finish(std::move(transform), group, dynamic);
    }
};

/* Rotation { graphicsSystem angle axis [pivot] [envelopeGroup] } */
class F_Rotation : public TransformFunction {
public:
    IniObject* create() override {
        auto transform = std::make_unique<RotationObject>(machine());
        IniObject* group = groupParameter();
        bool dynamic = false;
        requiredNumber("angle", &transform->angle, dynamic);
        requiredVec3("axis", &transform->axis, dynamic);
        if (has("pivot")) requiredVec3("pivot", &transform->pivot, dynamic);
        return finish(std::move(transform), group, dynamic);
    }
};

/* Translation offset */
class F_Translation : public TransformFunction {
public:
    IniObject* create() override {
        auto transform = std::make_unique<TranslationObject>(machine());
        IniObject* group = groupParameter();
        bindElementVec3(0, &transform->offset);
        return finish(std::move(transform), group, element(0)->isDynamic());
    }
};

/* Scale factor | Scale < sx sy sz > */
class F_Scale : public TransformFunction {
public:
    IniObject* create() override {
        const bool uniform = elementType(0) == Types::Number();
        auto transform = std::make_unique<ScaleObject>(machine(), uniform);
        IniObject* group = groupParameter();
        if (uniform)
            bindElementNumber(0, &transform->uniform);
        else
            bindElementVec3(0, &transform->factors);
        return finish(std::move(transform), group, element(0)->isDynamic());
    }
};

/* InverseTransform transform */
class F_InverseTransform : public TransformFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        auto* source = static_cast<TransformObject*>(getRecordedElement(0, Types::Transform()));
        IniObject* group = groupParameter();
        return finish(std::make_unique<InverseTransformObject>(m, source), group,
                      source->isDynamic());
    }
};

class F_TransformContainer : public TransformFunction {
public:
    IniObject* create() override { return new TransformContainer(machine()); }
};

/* CopyTransform transform */
class F_CopyTransform : public IniFunction {
public:
    IniObject* create() override {
        return new CopyTransformCommand(
            static_cast<TransformObject*>(getRecordedElement(0, Types::Transform())));
    }
};

// The eight matrix commands; the texture-matrix ones read the stage.
class F_ApplyMatrix : public IniFunction {
public:
    F_ApplyMatrix(int mode, int target) : m_mode(mode), m_target(target) {}
    IniObject* create() override {
        int target = m_target;
        if (target == ApplyMatrixCommand::TEXTURE_STAGE_0) {
            const int stage = elementInt(0);
            if (stage < 0 || stage >= kMaxStages)
                VEXA_THROW(FunctionParseException, "Texture stage must be from 0 to 7.");
            target += stage;
        }
        return new ApplyMatrixCommand(m_mode, target);
    }

private:
    static constexpr int kMaxStages = 8;
    int m_mode;
    int m_target;
};

/* Camera { graphicsSystem [orientation] }: every camera is left-handed. */
class F_Camera : public TransformFunction {
public:
    IniObject* create() override {
        RenderMachine* m = machine();
        if (has("orientation")) getString("orientation");
        return new CameraObject(m);
    }
};

/* LookAt { pos target up [fov] } */
class F_LookAt : public TransformFunction {
public:
    IniObject* create() override {
        auto command = std::make_unique<LookAtCommand>();
        bool dynamic = false;
        requiredVec3("pos", &command->position, dynamic);
        requiredVec3("target", &command->target, dynamic);
        requiredVec3("up", &command->up, dynamic);
        bindNumberIfGiven("fov", &command->fov);
        return command.release();
    }
};

/* LwCameraPosition { pos heading pitch bank } */
class F_LwCameraPosition : public TransformFunction {
public:
    IniObject* create() override {
        auto command = std::make_unique<LwCameraPositionCommand>();
        bool dynamic = false;
        requiredVec3("pos", &command->position, dynamic);
        requiredNumber("heading", &command->heading, dynamic);
        requiredNumber("pitch", &command->pitch, dynamic);
        requiredNumber("bank", &command->bank, dynamic);
        return command.release();
    }
};

/* SetCameraTransform transform */
class F_SetCameraTransform : public IniFunction {
public:
    IniObject* create() override {
        return new SetCameraTransformCommand(
            static_cast<TransformObject*>(getRecordedElement(0, Types::Transform())));
    }
};

F_LwTransform s_lwTransform;
F_Rotation s_rotation;
F_Translation s_translation;
F_Scale s_scale;
F_InverseTransform s_inverseTransform;
F_TransformContainer s_transformContainer;
F_CopyTransform s_copyTransform;
F_ApplyMatrix s_setTransform(ApplyMatrixCommand::SET, ApplyMatrixCommand::WORLD);
F_ApplyMatrix s_multTransform(ApplyMatrixCommand::MULTIPLY, ApplyMatrixCommand::WORLD);
F_ApplyMatrix s_setView(ApplyMatrixCommand::SET, ApplyMatrixCommand::VIEW);
F_ApplyMatrix s_multView(ApplyMatrixCommand::MULTIPLY, ApplyMatrixCommand::VIEW);
F_ApplyMatrix s_setProjection(ApplyMatrixCommand::SET, ApplyMatrixCommand::PROJECTION);
F_ApplyMatrix s_multProjection(ApplyMatrixCommand::MULTIPLY, ApplyMatrixCommand::PROJECTION);
F_ApplyMatrix s_setTextureMatrix(ApplyMatrixCommand::SET, ApplyMatrixCommand::TEXTURE_STAGE_0);
F_ApplyMatrix s_multTextureMatrix(ApplyMatrixCommand::MULTIPLY,
                                  ApplyMatrixCommand::TEXTURE_STAGE_0);
F_Camera s_camera;
F_LookAt s_lookAt;
F_LwCameraPosition s_lwCameraPosition;
F_SetCameraTransform s_setCameraTransform;

const FunctionEntry kFunctions[] = {
    {"LwTransform", &s_lwTransform},
    {"Rotation", &s_rotation},
    {"Translation", &s_translation},
    {"Scale", &s_scale},
    {"InverseTransform", &s_inverseTransform},
    {"TransformContainer", &s_transformContainer},
    {"CopyTransform", &s_copyTransform},
    {"SetTransform", &s_setTransform},
    {"MultTransform", &s_multTransform},
    {"SetView", &s_setView},
    {"MultView", &s_multView},
    {"SetProjection", &s_setProjection},
    {"MultProjection", &s_multProjection},
    {"SetTextureMatrix", &s_setTextureMatrix},
    {"MultTextureMatrix", &s_multTextureMatrix},
    {"Camera", &s_camera},
    {"LookAt", &s_lookAt},
    {"LwCameraPosition", &s_lwCameraPosition},
    {"SetCameraTransform", &s_setCameraTransform},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
