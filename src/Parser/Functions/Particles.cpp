#include "Parser/Functions/Particles.h"

#include <cmath>

#include "Common/Random.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/MaterialObject.h"
#include "Parser/Functions/MeshObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/Particles";

namespace Types {
VEXA_DEFINE_TYPE(Particles, "Particles")
VEXA_DEFINE_TYPE(LaattaTun, "LaattaTun")
}  // namespace Types

namespace {

// Usage flags of the particle streams: written every frame.
constexpr unsigned kStreamUsage = 5;

constexpr float kSimpleInterval = 0.1f;
constexpr float kSimpleStep = 0.001f;
constexpr float kSimpleEnd = 5.0f;

constexpr float kLaattaInterval = 0.0005f;
constexpr float kLaattaPush = 0.01f;
constexpr float kLaattaDamping = 0.98f;
constexpr float kLaattaEnd = 24.0f;

// The tunnel: a regular octagon of unit sides around the x axis. Rows of
// tiles are 12 long; the second row of a side lies 12 further along x and
// reads the tile map 0.048 further along u.
constexpr int kSides = 8;
constexpr float kSideAngle = 0.7853982f;
constexpr float kApothem = 1.2071f;
constexpr float kRowLength = 12.0f;
constexpr float kRowUStep = 0.048f;
constexpr float kMirrorBlend = 0.2f;

// The largest "size" of a Particles object: 256 MB of vertices.
constexpr int32_t kMaxParticles = 1 << 24;

void sendCommand(IniObject* target, const CommandKind* kind, float time) {
    SimpleCommand command(time, kind);
    target->execute(command);
}

// Moves an emission clock one interval on. A clock so large that the
// interval no longer changes it stops, rather than emitting for ever.
bool advance(float& clock, float interval) {
    const float next = clock + interval;
    if (next == clock) return false;
    clock = next;
    return true;
}

// A point inside the unit ball: three uniform numbers mapped to [-1, 1),
// drawn again until their squared length is below 1. Each number is mapped
// at full precision and rounded to a float once.
void randomPointInBall(float r[3]) {
    MersenneTwister& twister = programTwister();
    do {
        for (int i = 0; i < 3; ++i) r[i] = static_cast<float>(2.0 * twister.uniform() - 1.0);
    } while (r[0] * r[0] + r[1] * r[1] + r[2] * r[2] >= 1.0f);
}

// Turns by `angle` radians about x, counter-clockwise looking down the axis.
Matrix rotationX(float angle) {
    Matrix m;
    m.at(1, 1) = std::cos(angle);
    m.at(1, 2) = -std::sin(angle);
    m.at(2, 1) = std::sin(angle);
    m.at(2, 2) = std::cos(angle);
    return m;
}

// The texture matrices of a side: identity moved along u by the scroll
// position in whole texels of a 256-wide tile map, and along v to the side's
// two rows of its 16; the second moves back four times as fast and steps
// down one side every 100 units of scrolling.
void sideTextureMatrices(float pos, int side, float uOffset, Matrix out[2]) {
    const float whole = std::trunc(pos);
    const float v = static_cast<float>(2 * side + 1) / 16.0f;
    out[0] = Matrix();
    out[0].m[12] = (whole + 0.5f) / 256.0f + uOffset;
    out[0].m[13] = v;
    out[1] = Matrix();
    out[1].m[12] = (std::trunc(-4.0f * pos) + whole + 0.5f) / 256.0f + uOffset;
    out[1].m[13] = v + std::trunc(-0.01f * pos) * 0.125f;
}

// The reflection through the plane of tunnel side `side` (0 to 7).
Matrix sideMirror(int side) {
    const float angle = static_cast<float>(side) * kSideAngle;
    const float s = std::sin(angle);
    const float c = std::cos(angle);
    const float n[3] = {0.0f, -s, c};                        // (0, 0, 1) turned
    const float p[3] = {0.0f, kApothem * s, -kApothem * c};  // (0, 0, -1.2071) turned
    Matrix reflect;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            reflect.at(row, column) = (row == column ? 1.0f : 0.0f) - 2.0f * n[row] * n[column];
    return multiply(translation(p[0], p[1], p[2]),
                    multiply(reflect, translation(-p[0], -p[1], -p[2])));
}

}  // namespace

float SimpleEffector::s_clock = 0.0f;
float LaattaEffector::s_clock = 0.0f;

void resetEmissionClocks() {
    SimpleEffector::s_clock = 0.0f;
    LaattaEffector::s_clock = 0.0f;
}

void SimpleEffector::emit(List& list, float time) {
    while (time > s_clock) {
        list.add(SimpleParticle());
        if (!advance(s_clock, kSimpleInterval)) break;
    }
}

void SimpleEffector::write(List& list, SimpleParticle* vertices, float) {
    for (int i = 0; i < list.count(); ++i) {
        SimpleParticle& p = list[i];
        p.x += kSimpleStep;
        vertices[i] = p;
    }
}

void SimpleEffector::kill(List& list, float) {
    list.removeIf([](const SimpleParticle& p) { return p.x >= kSimpleEnd; });
}

// The position takes the first random point's numbers in reverse order, the
// velocity the second point's in their own order.
void LaattaEffector::emit(List& list, float time) {
    while (time > s_clock) {
        float r[3];
        LaattaParticle p;
        randomPointInBall(r);
        p.position[0] = r[2];
        p.position[1] = r[1];
        p.position[2] = r[0];
        randomPointInBall(p.velocity);
        list.add(p);
        if (!advance(s_clock, kLaattaInterval)) break;
    }
}

void LaattaEffector::write(List& list, LaattaParticleData* vertices, float) {
    for (int i = 0; i < list.count(); ++i) {
        LaattaParticle& p = list[i];
        for (int k = 0; k < 3; ++k) p.position[k] += p.velocity[k];
        p.velocity[0] += kLaattaPush;
        for (float& v : p.velocity) v *= kLaattaDamping;
        vertices[i] = {p.position[0], p.position[1], p.position[2], p.color};
    }
}

void LaattaEffector::kill(List& list, float) {
    list.removeIf([](const LaattaParticle& p) { return p.position[0] >= kLaattaEnd; });
}

template <typename Particle, typename ParticleData>
ParticleSystem<Particle, ParticleData>::ParticleSystem(RenderMachine* machine, IniObject* material,
                                                       int capacity,
                                                       std::unique_ptr<Effector> effector)
    : m_machine(machine),
      m_material(material),
      m_particles(capacity),
      m_effector(std::move(effector)) {
    static_assert(sizeof(ParticleData) == 16, "particle vertices are 16 bytes");
    m_declaration.reset(machine->createVertexDeclaration());
    m_declaration->append(VertexElement::POSITION, kElementFloat3, 0);
    m_declaration->append(VertexElement::COLOR, kElementColor32, 0);
    m_stream.reset(machine->createVertexStream(capacity, sizeof(ParticleData), kStreamUsage));
}

template <typename Particle, typename ParticleData>
void ParticleSystem<Particle, ParticleData>::update(float time) {
    m_effector->emit(m_particles, time);
    m_effector->kill(m_particles, time);
    const int count = m_particles.count();
    if (count == 0) return;
    auto* vertices = static_cast<ParticleData*>(m_stream->lock(0, count, kLockDiscard));
    m_effector->write(m_particles, vertices, time);
    m_stream->unlock();
}

// Point sprites of 5 viewport heights, shrunk with the distance d from the
// eye by 1 / sqrt(d + 10 d^2) and kept within 0 to 100 pixels.
template <typename Particle, typename ParticleData>
void ParticleSystem<Particle, ParticleData>::draw(float time) {
    RenderMachine* m = m_machine;
    sendCommand(m_material, CommandKinds::Draw(), time);
    m->setPointSprite(true);
    m->setPointScaleEnable(true);
    m->setPointScale(0.0f, 1.0f, 10.0f);
    m->setPointSizeMin(0.0f);
    m->setPointSizeMax(100.0f);
    m->setPointSize(5.0f);
    m->setVertexDeclaration(m_declaration.get());
    m->setVertexStream(m_stream.get(), 0);
    m->drawPrimitive(POINT_LIST, 0, m_particles.count());
    m->setPointSprite(false);
    m->setPointScaleEnable(false);
    sendCommand(m_material, CommandKinds::Disable(), time);
}

template class ParticleSystem<SimpleParticle, SimpleParticle>;
template class ParticleSystem<LaattaParticle, LaattaParticleData>;

ParticleObject::ParticleObject(RenderMachine* machine, IniObject* material, int capacity)
    : m_system(machine, material, capacity, std::make_unique<SimpleEffector>()) {}

void ParticleObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Update())
        m_system.update(command.time());
    else if (kind == CommandKinds::Draw())
        m_system.draw(command.time());
    else
        IniObject::execute(command);
}

LaattaTunObject::LaattaTunObject(RenderMachine* machine, const Parts& parts)
    : m_machine(machine),
      m_parts(parts),
      m_system(machine, parts.particleMaterial, kParticleCapacity,
               std::make_unique<LaattaEffector>()) {}

void LaattaTunObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Update())
        m_system.update(command.time());
    else if (kind == CommandKinds::Draw())
        drawTunnel(command.time());
    else
        IniObject::execute(command);
}

// One row of tiles of a side: "rivi" placed by `world`, the side's texture
// matrices moved by `uOffset` along u, and the material refreshed for them.
void LaattaTunObject::drawRow(int side, const Matrix& world, float uOffset, float time) {
    Matrix textures[2];
    sideTextureMatrices(m_pos, side, uOffset, textures);
    m_machine->setMatrix(&world, MATRIX_WORLD);
    m_machine->setTextureMatrix(0, &textures[0]);
    m_machine->setTextureMatrix(1, &textures[1]);
    sendCommand(m_parts.laattaMaterial, CommandKinds::Update(), time);
    sendCommand(m_parts.rivi, CommandKinds::Draw(), time);
}

// For each side: its two rows write the side's number (1 to 8) into the
// stencil buffer where they are seen; then, only there, "laatta" 12 along x
// is added at a fifth of its colour through the reflection in the side's
// plane, with the winding reversed because the reflection turns faces over.
// Depth testing is off throughout: later sides draw over earlier ones. The
// spray is drawn last, on the machine's default state.
void LaattaTunObject::drawTunnel(float time) {
    RenderMachine* m = m_machine;
    IniObject* const camera = m_parts.camera;
    const Color none{0, 0, 0, 0};
    m->clear(CLEAR_STENCIL, &none, 1.0f, 0);
    m->setStencilTest(true);
    m->setCulling(true);
    m->setDepthTest(false);
    m->setLighting(false);
    sendCommand(m_parts.laattaMaterial, CommandKinds::Draw(), time);

    const Matrix further = translation(kRowLength, 0, 0);
    const Color mirrorBlend{kMirrorBlend, kMirrorBlend, kMirrorBlend, kMirrorBlend};
    for (int side = 0; side < kSides; ++side) {
        const int reference = side + 1;
        sendCommand(camera, CommandKinds::Draw(), time);
        m->setCullingMode(CCW);
        m->setStencilFunc(ALWAYS);
        m->setStencilOp(STENCIL_REPLACE, STENCIL_REPLACE, STENCIL_REPLACE);
        m->setStencilRef(reference);
        const Matrix turn = rotationX(static_cast<float>(side + 1) * kSideAngle);
        drawRow(side, turn, 0.0f, time);
        drawRow(side, multiply(further, turn), kRowUStep, time);

        m->setStencilFunc(EQUAL);
        m->setStencilRef(reference);
        m->setCullingMode(CW);
        sendCommand(camera, CommandKinds::Draw(), time);
        const Matrix mirror = sideMirror(side);
        m->multMatrix(&mirror, MATRIX_VIEW);
        m->setBlend(true);
        m->setBlendColor(&mirrorBlend);
        m->setBlendFunc(BLENDFACTOR, ONE);
        m->setMatrix(&further, MATRIX_WORLD);
        sendCommand(m_parts.laattaMaterial, CommandKinds::Update(), time);
        sendCommand(m_parts.laatta, CommandKinds::Draw(), time);
        m->setBlend(false);
    }

    m->setCullingMode(CCW);
    m->setStencilTest(false);
    m->setDepthTest(true);
    m->setDefaultState();
    sendCommand(camera, CommandKinds::Draw(), time);
    m_system.draw(time);
}

namespace {

/* Particles { graphicsSystem size material } */
class F_Particles : public IniFunction {
public:
    IniObject* create() override {
        RenderMachine* m =
            renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        const int32_t size = truncateToInt(getNumber("size"));
        if (size < 1 || size > kMaxParticles)
            VEXA_THROW(FunctionParseException, "size must be from 1 to 16777216.");
        IniObject* material = getRecordedObject("material", Types::Material());
        return new ParticleObject(m, material, size);
    }
};

/* LaattaTun { graphicsSystem laatta rivi camera laattamaterial particlematerial [pos] } */
class F_LaattaTun : public IniFunction {
public:
    IniObject* create() override {
        RenderMachine* m =
            renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        LaattaTunObject::Parts parts;
        parts.laatta = getRecordedObject("laatta", Types::Mesh());
        parts.rivi = getRecordedObject("rivi", Types::Mesh());
        parts.camera = getRecordedObject("camera", Types::Camera());
        parts.laattaMaterial = getRecordedObject("laattamaterial", Types::Material());
        parts.particleMaterial = getRecordedObject("particlematerial", Types::Material());
        auto object = std::make_unique<LaattaTunObject>(m, parts);
        bindNumber("pos", object->pos(), 0.0f);
        return object.release();
    }
};

F_Particles s_particles;
F_LaattaTun s_laattaTun;

const FunctionEntry kFunctions[] = {
    {"Particles", &s_particles},
    {"LaattaTun", &s_laattaTun},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
