#pragma once
// Animated values: envelopes (keyed channels wrapped in number and vector
// objects) and vectors built from number objects. All of them are dynamic
// values: an Update command recomputes the value at the command's time and
// publishes it to every field that copied it.
#include <array>
#include <vector>

#include "Interpolation/Interpolation.h"
#include "Parser/IniCommands.h"
#include "Parser/IniFunction.h"
#include "Parser/IniObject.h"

namespace Vexa {

// "RESET", "CONSTANT", ... for "pre" and "post".
extern const EnumEntry kBehaviourNames[];
// "STEP", "LINEAR", "SMOOTH" for "type".
extern const EnumEntry kDegreeNames[];

// A number that follows one keyed channel in time.
class EnvelopeObject : public NumberObject {
public:
    explicit EnvelopeObject(Interpolation channel);
    bool isDynamic() const override { return true; }
    void execute(CommandObject& command) override;
    Interpolation& channel() { return m_channel; }

private:
    Interpolation m_channel;
};

// A vector whose components are number objects. With the forward flag on,
// an Update is first passed to each component (the components are the
// vector's own envelopes); either way the value is then rebuilt from the
// components' current values and published.
template <typename Base, int N>
class DynamicVector : public Base {
public:
    DynamicVector(const std::array<NumberObject*, N>& components, bool forward)
        : m_components(components), m_forward(forward) {
        for (NumberObject* c : m_components) this->hold(c);
        refresh();
    }
    bool isDynamic() const override {
        for (const NumberObject* c : m_components)
            if (c->isDynamic()) return true;
        return false;
    }
    void execute(CommandObject& command) override {
        if (command.commandKind() != CommandKinds::Update()) {
            IniObject::execute(command);
            return;
        }
        if (m_forward)
            for (NumberObject* c : m_components) c->execute(command);
        refresh();
        this->publish();
    }
    NumberObject* component(int index) const { return m_components[index]; }
    bool forward() const { return m_forward; }

private:
    void refresh() {
        for (int i = 0; i < N; ++i) this->m_value[i] = m_components[i]->value();
    }

    std::array<NumberObject*, N> m_components;
    bool m_forward;
};

using DynamicVec2dObject = DynamicVector<Vec2dObject, 2>;
using DynamicVec3dObject = DynamicVector<Vec3dObject, 3>;
using DynamicVec4dObject = DynamicVector<Vec4dObject, 4>;

// (cos angle, sin angle) times the length; the length defaults to 1.
class Polar2dObject : public Vec2dObject {
public:
    Polar2dObject(NumberObject* angle, NumberObject* length);
    bool isDynamic() const override;
    void execute(CommandObject& command) override;

private:
    void refresh();

    NumberObject* m_angle;
    NumberObject* m_length;  // may be null
    bool m_forward = false;
};

// A direction by heading and pitch (radians) times the length.
class Polar3dObject : public Vec3dObject {
public:
    Polar3dObject(NumberObject* heading, NumberObject* pitch, NumberObject* length);
    bool isDynamic() const override;
    void execute(CommandObject& command) override;

private:
    void refresh();

    NumberObject* m_heading;
    NumberObject* m_pitch;
    NumberObject* m_length;  // may be null
    bool m_forward = false;
};

// Shared by every function that reads keyed channels ("Envelope", the vector
// envelopes, "EnvelopeCurve3d"): the behaviour parameters and the "key"
// tuple, applied to `dimension` channels, which end finished.
class EnvelopeReader : public IniFunction {
protected:
    std::vector<Interpolation> readChannels(int dimension, bool readType);
    // The delegator named by "envelopeGroup", or null; read before the new
    // object is made, so a wrong type leaves nothing behind.
    IniObject* groupParameter();
    // Appends `object` to `group` (when not null), which holds it.
    static void joinGroup(IniObject* group, IniObject* object);
};

}  // namespace Vexa
