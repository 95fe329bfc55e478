#include "Parser/Functions/Envelope.h"

#include <cmath>
#include <cstring>
#include <string>

#include "Parser/Exceptions.h"
#include "Parser/Functions/CommandEmitters.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/Envelope";

const EnumEntry kBehaviourNames[] = {
    {"RESET", Interpolation::kReset},
    {"CONSTANT", Interpolation::kConstant},
    {"LINEAR", Interpolation::kLinearOut},
    {"CYCLE", Interpolation::kCycle},
    {"CYCLE_RELATIVE", Interpolation::kCycleRelative},
    {"OSCILLATE", Interpolation::kOscillate},
    {nullptr, 0},
};

const EnumEntry kDegreeNames[] = {
    {"STEP", 0},
    {"LINEAR", 1},
    {"SMOOTH", 3},
    {nullptr, 0},
};

namespace {

// The type of a key value for a channel count of 1 to 4.
using TypeGetter = const TypeObject* (*)();
const TypeGetter kValueTypes[] = {Types::Number, Types::Vec2d, Types::Vec3d, Types::Vec4d};
static_assert(sizeof(kValueTypes) / sizeof(kValueTypes[0]) == 4, "one type per dimension");

[[noreturn]] void fail(const char* message) { VEXA_THROW(FunctionParseException, message); }

bool isNumber(const IniObject* object) { return IniObject::isOfType(object, Types::Number()); }

float numberOf(const IniObject* object) {
    return static_cast<const NumberObject*>(object)->value();
}

// Copies a value of the channels' dimension (a number or a vector) into
// `out`; false when the object is something else.
bool readValue(const IniObject* object, std::size_t dimension, float* out) {
    if (!IniObject::isOfType(object, kValueTypes[dimension - 1]())) return false;
    std::memcpy(out, object->valuePtr(), dimension * sizeof(float));
    return true;
}

// value tuple -> (code, value [, tangent [, tangent]]) | (4, value, tension, continuity, bias)
// A number channel wants every element a number; vector channels want the
// value and the tangents as vectors of their dimension.
void readValueTuple(float time, const TupleObject& tuple, std::vector<Interpolation>& channels) {
    const std::size_t dimension = channels.size();
    const std::size_t size = tuple.size();
    if (dimension == 1) {
        if (size == 0) fail("'key' has invalid format (2).");
        for (const IniObject* e : tuple.elements())
            if (!isNumber(e)) fail("'key' has invalid format (2).");
    } else {
        if (size == 0 || !isNumber(tuple.at(0))) fail("First object in value tuple is not number.");
    }
    // A number channel has checked its value already; a short tuple is left
    // to the count check of its code.
    float value[4] = {};
    const bool hasValue = size >= 2 && readValue(tuple.at(1), dimension, value);
    if (dimension > 1 && !hasValue)
        fail("Second object in the value tuple is not a vector of right dimension.");

    const int32_t code = truncateToInt(numberOf(tuple.at(0)));
    switch (code) {
        case Interpolation::kFlat:
        case Interpolation::kLinear:
        case Interpolation::kSmooth:
            if (size != 2) fail("Wrong number of parameters in LINEAR key.");
            for (std::size_t c = 0; c < dimension; ++c) channels[c].addKey(time, value[c], code);
            break;
        case Interpolation::kFixed: {
            if (size != 3 && size != 4) fail("Wrong number of parameters in FIXED key.");
            float in[4] = {};
            float out[4] = {};
            if (!readValue(tuple.at(2), dimension, in)) fail("Tangent should be a vector.");
            if (size == 4 && !readValue(tuple.at(3), dimension, out))
                fail("Tangent should be a vector.");
            for (std::size_t c = 0; c < dimension; ++c)
                channels[c].addFixedKey(time, value[c], in[c], size == 4 ? out[c] : in[c]);
            break;
        }
        case Interpolation::kTcb: {
            if (size != 5) fail("Wrong number of parameters in TCB key.");
            for (std::size_t i = 2; i < 5; ++i)
                if (!isNumber(tuple.at(i))) fail("'key' has invalid format (2).");
            const float tension = numberOf(tuple.at(2));
            const float continuity = numberOf(tuple.at(3));
            const float bias = numberOf(tuple.at(4));
            for (std::size_t c = 0; c < dimension; ++c)
                channels[c].addTcbKey(time, value[c], tension, continuity, bias);
            break;
        }
        default: fail("'key' has invalid format (3).");
    }
}

// key -> { time value | time valueTuple | "degree" number }
void readKeys(const TupleObject& keys, std::vector<Interpolation>& channels) {
    if (keys.size() % 2 != 0) fail("'key' has invalid format (1).");
    const std::size_t dimension = channels.size();
    for (std::size_t i = 0; i < keys.size(); i += 2) {
        const IniObject* first = keys.at(i);
        const IniObject* second = keys.at(i + 1);
        if (isNumber(first)) {
            const float time = numberOf(first);
            float value[4] = {};
            if (readValue(second, dimension, value)) {
                for (std::size_t c = 0; c < dimension; ++c)
                    channels[c].addKey(time, value[c], Interpolation::kSmooth);
            } else if (IniObject::isOfType(second, Types::Tuple())) {
                readValueTuple(time, *static_cast<const TupleObject*>(second), channels);
            } else {
                fail("'key' has invalid format (4).");
            }
        } else if (IniObject::isOfType(first, Types::String())) {
            if (!isNumber(second)) fail("'key' has invalid format (5).");
            if (static_cast<const StringObject*>(first)->value() != "degree")
                fail("'key' has invalid format (6).");
            const int32_t degree = truncateToInt(numberOf(second));
            for (Interpolation& channel : channels) channel.setDegree(degree);
        } else {
            fail("'key' has invalid format (6).");
        }
    }
}

}  // namespace

EnvelopeObject::EnvelopeObject(Interpolation channel) : m_channel(std::move(channel)) {
    m_value = m_channel.value(0.0f);
}

void EnvelopeObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    m_value = m_channel.value(command.time());
    publish();
}

Polar2dObject::Polar2dObject(NumberObject* angle, NumberObject* length)
    : m_angle(angle), m_length(length) {
    hold(m_angle);
    hold(m_length);
    refresh();
}

bool Polar2dObject::isDynamic() const {
    return m_angle->isDynamic() || (m_length && m_length->isDynamic());
}

void Polar2dObject::refresh() {
    const float length = m_length ? m_length->value() : 1.0f;
    m_value[0] = std::cos(m_angle->value()) * length;
    m_value[1] = std::sin(m_angle->value()) * length;
}

void Polar2dObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    if (m_forward) {
        m_angle->execute(command);
        if (m_length) m_length->execute(command);
    }
    refresh();
    publish();
}

Polar3dObject::Polar3dObject(NumberObject* heading, NumberObject* pitch, NumberObject* length)
    : m_heading(heading), m_pitch(pitch), m_length(length) {
    hold(m_heading);
    hold(m_pitch);
    hold(m_length);
    refresh();
}

bool Polar3dObject::isDynamic() const {
    return m_heading->isDynamic() || m_pitch->isDynamic() || (m_length && m_length->isDynamic());
}

void Polar3dObject::refresh() {
    const float length = m_length ? m_length->value() : 1.0f;
    const float heading = m_heading->value();
    const float pitch = m_pitch->value();
    const float ring = std::cos(pitch) * length;
    m_value[0] = std::sin(heading) * ring;
    m_value[1] = std::sin(pitch) * length;
    m_value[2] = std::cos(heading) * ring;
}

void Polar3dObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    if (m_forward) {
        m_heading->execute(command);
        m_pitch->execute(command);
        if (m_length) m_length->execute(command);
    }
    refresh();
    publish();
}

// Channels with the behaviours of "pre", "post", "smoothWrap" (and the
// degree of "type"), then the keys of "key", then finished.
std::vector<Interpolation> EnvelopeReader::readChannels(int dimension, bool readType) {
    const int32_t pre = getEnum("pre", kBehaviourNames, Interpolation::kConstant);
    const int32_t post = getEnum("post", kBehaviourNames, Interpolation::kConstant);
    const bool smoothWrap = getInt("smoothWrap", 0) != 0;
    std::vector<Interpolation> channels(static_cast<std::size_t>(dimension));
    for (Interpolation& channel : channels) {
        channel.setPre(pre);
        channel.setPost(post);
        channel.setSmoothWrap(smoothWrap);
    }
    if (readType) {
        const int32_t degree = getEnum("type", kDegreeNames, 3);
        for (Interpolation& channel : channels) channel.setDegree(degree);
    }
    const auto* keys = static_cast<const TupleObject*>(getObject("key", Types::Tuple()));
    readKeys(*keys, channels);
    for (Interpolation& channel : channels) channel.finish();
    return channels;
}

// The delegator is not held by the new object: it holds the object, and a
// hold both ways would keep both alive for ever.
IniObject* EnvelopeReader::groupParameter() {
    return has("envelopeGroup") ? getObject("envelopeGroup", Types::Delegator()) : nullptr;
}

void EnvelopeReader::joinGroup(IniObject* group, IniObject* object) {
    if (group) static_cast<DelegatorObject*>(group)->append(object);
}

namespace {

// "Envelope": one channel in a number object.
class F_Envelope : public EnvelopeReader {
public:
    IniObject* create() override {
        std::vector<Interpolation> channels = readChannels(1, false);
        IniObject* group = groupParameter();
        auto* envelope = new EnvelopeObject(std::move(channels[0]));
        joinGroup(group, envelope);
        return envelope;
    }
};

template <int N>
IniObject* makeVector(const std::array<NumberObject*, N>& components, bool forward);

template <>
IniObject* makeVector<2>(const std::array<NumberObject*, 2>& components, bool forward) {
    return new DynamicVec2dObject(components, forward);
}
template <>
IniObject* makeVector<3>(const std::array<NumberObject*, 3>& components, bool forward) {
    return new DynamicVec3dObject(components, forward);
}
template <>
IniObject* makeVector<4>(const std::array<NumberObject*, 4>& components, bool forward) {
    return new DynamicVec4dObject(components, forward);
}

// A vector over N new envelopes, one per channel.
template <int N>
IniObject* makeEnvelopeVector(std::vector<Interpolation>& channels) {
    std::array<NumberObject*, N> components{};
    for (int i = 0; i < N; ++i) components[i] = new EnvelopeObject(std::move(channels[i]));
    return makeVector<N>(components, true);
}

// "Envelope2d", "Envelope3d", "Envelope4d": a vector of envelopes.
class F_VectorEnvelope : public EnvelopeReader {
public:
    explicit F_VectorEnvelope(int dimension) : m_dimension(dimension) {}
    IniObject* create() override {
        std::vector<Interpolation> channels = readChannels(m_dimension, true);
        IniObject* group = groupParameter();
        IniObject* vector = m_dimension == 2   ? makeEnvelopeVector<2>(channels)
                            : m_dimension == 3 ? makeEnvelopeVector<3>(channels)
                                               : makeEnvelopeVector<4>(channels);
        joinGroup(group, vector);
        return vector;
    }

private:
    int m_dimension;
};

template <int N>
IniObject* makeNumberVector(const std::vector<NumberObject*>& numbers) {
    std::array<NumberObject*, N> components{};
    for (int i = 0; i < N; ++i) components[i] = numbers[i];
    return makeVector<N>(components, false);
}

// "Vector": 2 to 4 number objects, kept themselves so the vector follows them.
class F_Vector : public EnvelopeReader {
public:
    IniObject* create() override {
        const int n = count();
        if (n < 2 || n > 4) fail("2-4 parameters were expected.");
        std::vector<NumberObject*> numbers;
        for (int i = 0; i < n; ++i)
            numbers.push_back(static_cast<NumberObject*>(getRecordedElement(i, Types::Number())));
        IniObject* group = groupParameter();
        IniObject* vector = n == 2   ? makeNumberVector<2>(numbers)
                            : n == 3 ? makeNumberVector<3>(numbers)
                                     : makeNumberVector<4>(numbers);
        joinGroup(group, vector);
        return vector;
    }
};

class F_Polar2d : public EnvelopeReader {
public:
    IniObject* create() override {
        const int n = count();
        if (n < 1 || n > 2) fail("Polar2d ( <angle> [<length] ) was expected.");
        auto* angle = static_cast<NumberObject*>(getRecordedElement(0, Types::Number()));
        NumberObject* length = nullptr;
        if (n == 2) length = static_cast<NumberObject*>(getRecordedElement(1, Types::Number()));
        IniObject* group = groupParameter();
        auto* polar = new Polar2dObject(angle, length);
        joinGroup(group, polar);
        return polar;
    }
};

class F_Polar3d : public EnvelopeReader {
public:
    IniObject* create() override {
        const int n = count();
        if (n < 2 || n > 3) fail("Polar3d ( <heading> <pitch> [<length] ) was expected.");
        auto* heading = static_cast<NumberObject*>(getRecordedElement(0, Types::Number()));
        auto* pitch = static_cast<NumberObject*>(getRecordedElement(1, Types::Number()));
        NumberObject* length = nullptr;
        if (n == 3) length = static_cast<NumberObject*>(getRecordedElement(2, Types::Number()));
        IniObject* group = groupParameter();
        auto* polar = new Polar3dObject(heading, pitch, length);
        joinGroup(group, polar);
        return polar;
    }
};

// "FLAT", "LINEAR", "SMOOTH", "FIXED", "TCB": a key value tuple, the mode's
// code followed by the arguments as written.
class InterpolationTypeFunction : public IniFunction {
public:
    explicit InterpolationTypeFunction(int32_t code) : m_code(code) {}
    IniObject* create() override {
        auto* tuple = new TupleObject();
        tuple->append(new NumberObject(static_cast<float>(m_code)));
        for (int i = 0; i < count(); ++i) tuple->append(element(i));
        return tuple;
    }

private:
    int32_t m_code;
};

F_Envelope s_envelope;
F_VectorEnvelope s_envelope2d(2);
F_VectorEnvelope s_envelope3d(3);
F_VectorEnvelope s_envelope4d(4);
F_Vector s_vector;
F_Polar2d s_polar2d;
F_Polar3d s_polar3d;
InterpolationTypeFunction s_flat(Interpolation::kFlat);
InterpolationTypeFunction s_linear(Interpolation::kLinear);
InterpolationTypeFunction s_smooth(Interpolation::kSmooth);
InterpolationTypeFunction s_fixed(Interpolation::kFixed);
InterpolationTypeFunction s_tcb(Interpolation::kTcb);

const FunctionEntry kFunctions[] = {
    {"Envelope", &s_envelope},     {"Envelope2d", &s_envelope2d},
    {"Envelope3d", &s_envelope3d}, {"Envelope4d", &s_envelope4d},
    {"Vector", &s_vector},         {"Polar2d", &s_polar2d},
    {"Polar3d", &s_polar3d},       {"FLAT", &s_flat},
    {"LINEAR", &s_linear},         {"SMOOTH", &s_smooth},
    {"FIXED", &s_fixed},           {"TCB", &s_tcb},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
