#pragma once
// Transforms and the camera. A transform object holds one matrix computed
// from other values (often animated); matrix commands load it into, or
// multiply it onto, one of the render machine's matrices. The camera keeps a
// view and a projection and loads both when it is drawn.
//
// Matrices are in the render machine's layout and act on column vectors: in
// T times R, R acts first. Angles are in radians; rotations are right-handed.
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

namespace Types {
const TypeObject* Transform();
const TypeObject* Camera();
}  // namespace Types

// The machine of a graphics-system object; a graphics system without one
// fails with "graphicsSystem has no render machine.".
RenderMachine* renderMachineOf(IniObject* graphicsSystem);

// The move by (x, y, z).
Matrix translation(float x, float y, float z);
// Ry(heading) times Rx(pitch) times Rz(bank).
Matrix headingPitchBank(float heading, float pitch, float bank);
// The rotation by `angle` about `axis` (normalised here; a zero axis gives
// the identity).
Matrix axisRotation(float angle, const Vec3f& axis);
// The inverse by Gauss-Jordan elimination with partial pivoting; false, with
// `inverse` untouched, when a pivot is zero.
bool invert(const Matrix& matrix, Matrix& inverse);
// Left-handed perspective: clip w is eye z, depth maps near to 0, far to 1.
Matrix perspectiveLH(float fov, float aspect, float nearZ, float farZ);
// `matrix` times (x, y, z, w).
Vec4f transformPoint(const Matrix& matrix, const Vec4f& point);

// Base of every transform. Its plain value is the matrix, so other objects
// can take a transform as a value. Update recomputes the matrix at the
// command's time and publishes it; matrix commands hand it to the machine.
class TransformObject : public TIniObject<Matrix> {
public:
    explicit TransformObject(RenderMachine* machine) : m_machine(machine) {}
    const TypeObject* type() const override { return Types::Transform(); }
    bool isDynamic() const override { return m_dynamic; }
    void execute(CommandObject& command) override;
    // Rebuilds the matrix from the inputs at `time`.
    virtual void compute(float /*time*/) {}

    const Matrix& matrix() const { return m_value; }
    void setDynamic(bool dynamic) { m_dynamic = dynamic; }

protected:
    RenderMachine* m_machine;
    bool m_dynamic = false;
};

// T(x, y, z) times Ry(heading) times Rx(pitch) times Rz(bank) times
// S(sx, sy, sz). The inputs are live copies of the script's numbers.
class LwTransformObject : public TransformObject {
public:
    enum Input { X, Y, Z, HEADING, PITCH, BANK, SX, SY, SZ, kInputCount };
    using TransformObject::TransformObject;
    void compute(float time) override;
    float inputs[kInputCount] = {0, 0, 0, 0, 0, 0, 1, 1, 1};
};

// A rotation about the axis through `pivot`.
class RotationObject : public TransformObject {
public:
    using TransformObject::TransformObject;
    void compute(float time) override;
    float angle = 0.0f;
    Vec3f axis;
    Vec3f pivot;
};

class TranslationObject : public TransformObject {
public:
    using TransformObject::TransformObject;
    void compute(float time) override;
    Vec3f offset;
};

// Scales by `factors`, or by `uniform` on all three axes.
class ScaleObject : public TransformObject {
public:
    ScaleObject(RenderMachine* machine, bool uniform)
        : TransformObject(machine), m_uniform(uniform) {}
    void compute(float time) override;
    Vec3f factors;
    float uniform = 1.0f;

private:
    bool m_uniform;
};

// The inverse of another transform's current matrix. A singular source
// leaves the previous matrix in place.
class InverseTransformObject : public TransformObject {
public:
    InverseTransformObject(RenderMachine* machine, TransformObject* source);
    void compute(float time) override;

private:
    TransformObject* m_source;
};

// A matrix that changes only when a CopyTransform command copies another
// transform's matrix into it.
class TransformContainer : public TransformObject {
public:
    using TransformObject::TransformObject;
    void execute(CommandObject& command) override;
};

// Sent to a transform: load (mode 0) or multiply (mode 1) its matrix into
// the world (target 0), view (1) or projection (2) matrix, or into the
// texture matrix of stage target - 3.
class ApplyMatrixCommand : public CommandObject {
public:
    enum Mode { SET = 0, MULTIPLY = 1 };
    enum Target { WORLD = 0, VIEW = 1, PROJECTION = 2, TEXTURE_STAGE_0 = 3 };
    ApplyMatrixCommand(int mode, int target) : CommandObject(0), mode(mode), target(target) {}
    const CommandKind* commandKind() const override { return CommandKinds::ApplyMatrix(); }
    int mode;
    int target;
};

class CopyTransformCommand : public CommandObject {
public:
    explicit CopyTransformCommand(TransformObject* source) : CommandObject(0), source(source) {}
    const CommandKind* commandKind() const override { return CommandKinds::CopyTransform(); }
    TransformObject* source;
};

// Aims a camera at a point; without a field of view it is 45 degrees.
class LookAtCommand : public CommandObject {
public:
    LookAtCommand() : CommandObject(0) {}
    const CommandKind* commandKind() const override { return CommandKinds::LookAt(); }
    Vec3f position;
    Vec3f target;
    Vec3f up;
    float fov = 45.0f;  // degrees
};

class LwCameraPositionCommand : public CommandObject {
public:
    LwCameraPositionCommand() : CommandObject(0) {}
    const CommandKind* commandKind() const override { return CommandKinds::LwCameraPosition(); }
    Vec3f position;
    float heading = 0.0f;
    float pitch = 0.0f;
    float bank = 0.0f;
};

class SetCameraTransformCommand : public CommandObject {
public:
    explicit SetCameraTransformCommand(TransformObject* transform)
        : CommandObject(0), transform(transform) {}
    const CommandKind* commandKind() const override { return CommandKinds::SetCameraTransform(); }
    TransformObject* transform;
};

// A left-handed camera. Draw loads its view and projection;
// SetupTextureRendering loads the projection mirrored in y, so that a
// picture rendered into a texture keeps its top row at v = 0.
class CameraObject : public IniObject {
public:
    explicit CameraObject(RenderMachine* machine);
    const TypeObject* type() const override { return Types::Camera(); }
    void execute(CommandObject& command) override;
    const Matrix& view() const { return m_view; }
    const Matrix& projection() const { return m_projection; }

private:
    void lookAt(const LookAtCommand& command);

    RenderMachine* m_machine;
    Matrix m_view;
    Matrix m_projection;
};

}  // namespace Vexa
