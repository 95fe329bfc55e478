#pragma once
// Particle systems drawn as point sprites, the effectors that decide what
// their particles do, and the eight-sided mirrored tile tunnel that sprays
// them.
//
// A system is a fixed number of particle slots and one vertex stream of as
// many 16-byte vertices. Each Update lets the effector emit the particles due
// by then, remove the finished ones and write the live ones into the stream
// (once, discarding what it held); Draw switches the material on, draws the
// live particles as one point list and switches it off again.
#include <cstdint>
#include <memory>
#include <vector>

#include "Parser/IniCommands.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

namespace Types {
const TypeObject* Particles();
const TypeObject* LaattaTun();
}  // namespace Types

constexpr uint32_t kOpaqueWhite = 0xFFFFFFFF;

// A particle of the simple effector; also the vertex it is drawn from.
struct SimpleParticle {
    float x = 0, y = 0, z = 0;
    uint32_t color = kOpaqueWhite;
};

// A particle of the tunnel spray.
struct LaattaParticle {
    float position[3] = {0, 0, 0};
    float velocity[3] = {0, 0, 0};
    uint32_t color = kOpaqueWhite;
};

// The vertex a tunnel particle is drawn from.
struct LaattaParticleData {
    float x = 0, y = 0, z = 0;
    uint32_t color = kOpaqueWhite;
};

static_assert(sizeof(SimpleParticle) == 16 && sizeof(LaattaParticle) == 28 &&
                  sizeof(LaattaParticleData) == 16,
              "particle records and vertices have fixed sizes");

// A fixed number of slots; the live particles are slots 0 to count - 1.
// Adding to a full list overwrites slot 0. Removing a particle copies the
// last live one into its slot (constant time; order is not kept).
template <typename Particle>
class ParticleList {
public:
    explicit ParticleList(int capacity) : m_slots(static_cast<std::size_t>(capacity)) {}
    int capacity() const { return static_cast<int>(m_slots.size()); }
    int count() const { return m_count; }
    Particle& operator[](int slot) { return m_slots[static_cast<std::size_t>(slot)]; }
    const Particle& operator[](int slot) const { return m_slots[static_cast<std::size_t>(slot)]; }

    void add(const Particle& particle) {
        if (m_count < capacity())
            m_slots[static_cast<std::size_t>(m_count++)] = particle;
        else
            m_slots[0] = particle;
    }
    void remove(int slot) { (*this)[slot] = (*this)[--m_count]; }
    // Removes every particle `finished` answers true for; a slot that has
    // just received the last particle is examined again.
    template <typename Finished>
    void removeIf(Finished finished) {
        for (int slot = 0; slot < m_count;) {
            if (finished((*this)[slot]))
                remove(slot);
            else
                ++slot;
        }
    }

private:
    std::vector<Particle> m_slots;
    int m_count = 0;
};

// What the particles of a system do: emit adds the particles due by `time`,
// write advances every particle one step and writes its vertex, kill removes
// the finished ones.
template <typename Particle, typename ParticleData>
class ParticleEffector {
public:
    using List = ParticleList<Particle>;
    virtual ~ParticleEffector() = default;
    virtual void emit(List& list, float time) = 0;
    virtual void write(List& list, ParticleData* vertices, float time) = 0;
    virtual void kill(List& list, float time) = 0;
};

// Each effector class keeps one emission clock for the whole program: every
// object using the class shares it, and it only moves forward. Tests put
// both back to 0.
void resetEmissionClocks();

// A steady stream from the origin along +x: one particle every 0.1 s, moving
// 0.001 per update, removed at x = 5.
class SimpleEffector : public ParticleEffector<SimpleParticle, SimpleParticle> {
public:
    void emit(List& list, float time) override;
    void write(List& list, SimpleParticle* vertices, float time) override;
    void kill(List& list, float time) override;

private:
    friend void resetEmissionClocks();
    static float s_clock;
};

// The tunnel spray: 2000 particles a second from random points of the unit
// ball with random velocities, pushed along +x and damped; removed at x = 24.
class LaattaEffector : public ParticleEffector<LaattaParticle, LaattaParticleData> {
public:
    void emit(List& list, float time) override;
    void write(List& list, LaattaParticleData* vertices, float time) override;
    void kill(List& list, float time) override;

private:
    friend void resetEmissionClocks();
    static float s_clock;
};

// The particles, the stream and declaration they are drawn from (made once,
// kept for the system's life), and the material switched on around drawing.
template <typename Particle, typename ParticleData>
class ParticleSystem {
public:
    using Effector = ParticleEffector<Particle, ParticleData>;
    ParticleSystem(RenderMachine* machine, IniObject* material, int capacity,
                   std::unique_ptr<Effector> effector);
    // Emits, kills, then writes the live particles into the stream.
    void update(float time);
    void draw(float time);
    const ParticleList<Particle>& particles() const { return m_particles; }

private:
    RenderMachine* m_machine;
    IniObject* m_material;
    ParticleList<Particle> m_particles;
    std::unique_ptr<Effector> m_effector;
    std::unique_ptr<VertexStream> m_stream;
    std::unique_ptr<VertexDeclaration> m_declaration;
};

using SimpleParticleSystem = ParticleSystem<SimpleParticle, SimpleParticle>;
using LaattaParticleSystem = ParticleSystem<LaattaParticle, LaattaParticleData>;

// "Particles": a simple stream. Update runs the particle step, Draw draws.
class ParticleObject : public IniObject {
public:
    ParticleObject(RenderMachine* machine, IniObject* material, int capacity);
    const TypeObject* type() const override { return Types::Particles(); }
    void execute(CommandObject& command) override;
    const SimpleParticleSystem& system() const { return m_system; }

private:
    SimpleParticleSystem m_system;
};

// "LaattaTun": the tunnel of eight mirrored sides around the x axis, and its
// spray. Update runs the spray's particle step; Draw draws the tunnel, then
// the spray.
class LaattaTunObject : public IniObject {
public:
    // The objects the tunnel is drawn with; all are held by the object.
    struct Parts {
        IniObject* laatta = nullptr;  // mesh drawn in each side's mirrored pass
        IniObject* rivi = nullptr;    // mesh of one side's row of tiles
        IniObject* camera = nullptr;
        IniObject* laattaMaterial = nullptr;
        IniObject* particleMaterial = nullptr;
    };
    static constexpr int kParticleCapacity = 10000;

    LaattaTunObject(RenderMachine* machine, const Parts& parts);
    const TypeObject* type() const override { return Types::LaattaTun(); }
    void execute(CommandObject& command) override;
    // The scroll position; a bound parameter writes here.
    float* pos() { return &m_pos; }
    const LaattaParticleSystem& system() const { return m_system; }

private:
    void drawTunnel(float time);
    void drawRow(int side, const Matrix& world, float uOffset, float time);

    RenderMachine* m_machine;
    Parts m_parts;
    LaattaParticleSystem m_system;
    float m_pos = 0;
};

}  // namespace Vexa
