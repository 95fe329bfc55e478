#include "Parser/Functions/CommandEmitters.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/CommandEmitters";

namespace Types {
VEXA_DEFINE_TYPE(EventList, "EventList")
VEXA_DEFINE_TYPE(CommandGroup, "CommandGroup")
VEXA_DEFINE_TYPE(Delegator, "Delegator")
VEXA_DEFINE_TYPE(TimeModifier, "TimeModifier")
}  // namespace Types

namespace {

// Sort key of a time: a NaN never comes due, so it sorts like +infinity and
// keeps the orderings strict.
float sortKey(float time) {
    return std::isnan(time) ? std::numeric_limits<float>::infinity() : time;
}

}  // namespace

EventListObject::EventListObject(std::vector<PointEvent> points, std::vector<SpanEvent> spans)
    : m_points(std::move(points)), m_spans(std::move(spans)) {
    std::stable_sort(
        m_points.begin(), m_points.end(),
        [](const PointEvent& a, const PointEvent& b) { return sortKey(a.time) < sortKey(b.time); });
    std::stable_sort(m_spans.begin(), m_spans.end(), [](const SpanEvent& a, const SpanEvent& b) {
        return sortKey(a.begin) < sortKey(b.begin);
    });
}

void EventListObject::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::Update()) update(command.time());
}

void EventListObject::update(float t) {
    // Point events due by now, each with its own time.
    for (; m_pointCursor < m_points.size() && m_points[m_pointCursor].time <= t; ++m_pointCursor) {
        const PointEvent& e = m_points[m_pointCursor];
        e.command->setTime(e.time);
        e.object->execute(*e.command);
    }
    // Spans that have begun join the active list after equal orders.
    for (; m_spanCursor < m_spans.size() && m_spans[m_spanCursor].begin <= t; ++m_spanCursor) {
        SpanEvent* span = &m_spans[m_spanCursor];
        auto at = std::upper_bound(
            m_active.begin(), m_active.end(), sortKey(span->order),
            [](float order, const SpanEvent* s) { return order < sortKey(s->order); });
        m_active.insert(at, span);
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_active.size(); ++i) {
        SpanEvent* span = m_active[i];
        if (span->period > 0.0f) {
            // Catch up every firing missed since the last frame. A period too
            // small to move the float firing time fires once per frame.
            while (span->next <= t) {
                span->command->setTime(span->next);
                span->object->execute(*span->command);
                const float next = span->next + span->period;
                span->next = next > span->next
                                 ? next
                                 : std::nextafter(t, std::numeric_limits<float>::infinity());
            }
        }
        if (span->end < t) continue;  // removed
        if (!(span->period > 0.0f)) {
            span->command->setTime(t);
            span->object->execute(*span->command);
        }
        m_active[kept++] = span;
    }
    m_active.resize(kept);
}

void CommandGroupObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) return;
    for (const Pair& p : m_pairs) {
        p.command->setTime(command.time());
        p.object->execute(*p.command);
    }
}

void DelegatorObject::execute(CommandObject& command) {
    for (IniObject* object : m_objects) object->execute(command);
}

void DelegatorObject::append(IniObject* object) {
    m_objects.push_back(object);
    hold(object);
}

void AlternatingDelegatorObject::execute(CommandObject& command) {
    if (m_objects.empty()) return;
    IniObject* target = m_objects[m_index];
    m_index = (m_index + 1) % m_objects.size();
    target->execute(command);
}

void TimeModifierObject::execute(CommandObject& command) {
    if (command.commandKind() == CommandKinds::Print()) {
        IniObject::execute(command);
        return;
    }
    const float time = command.time();
    command.setTime((time - m_begin) * m_speed);
    m_target->execute(command);
    command.setTime(time);
}

void CurrentTimeObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    m_value = command.time();
    publish();
}

namespace {

/* EventList ( when object command ... ) */
class F_EventList : public IniFunction {
public:
    IniObject* create() override {
        const int n = count();
        if (n % 3 != 0)
            VEXA_THROW(FunctionParseException,
                       "Number of elements in the tuple is not divisible by 3.");
        std::vector<EventListObject::PointEvent> points;
        std::vector<EventListObject::SpanEvent> spans;
        for (int i = 0; i < n; i += 3) {
            IniObject* object = getRecordedElement(i + 1, nullptr);
            auto* command =
                static_cast<CommandObject*>(getRecordedElement(i + 2, Types::Command()));
            const IniObject* when = element(i);
            if (IniObject::isOfType(when, Types::Number())) {
                points.push_back(
                    {static_cast<const NumberObject*>(when)->value(), object, command});
            } else if (IniObject::isOfType(when, Types::Tuple())) {
                const auto* tuple = static_cast<const TupleObject*>(when);
                float v[3] = {0.0f, 0.0f, 0.0f};
                if (tuple->size() != 2 && tuple->size() != 3)
                    VEXA_THROW(FunctionParseException, "Incorrect event time parameter.");
                for (std::size_t k = 0; k < tuple->size(); ++k) {
                    if (!IniObject::isOfType(tuple->at(k), Types::Number()))
                        VEXA_THROW(FunctionParseException, "Incorrect event time parameter.");
                    v[k] = static_cast<const NumberObject*>(tuple->at(k))->value();
                }
                spans.push_back({v[0], v[1], v[2], -1.0f, v[0], object, command});
            } else {
                const Vec3f v = elementVec3(i);
                spans.push_back({v[0], v[1], 0.0f, v[2], v[0], object, command});
            }
        }
        return new EventListObject(std::move(points), std::move(spans));
    }
};

/* CommandGroup ( object command ... ) */
class F_CommandGroup : public IniFunction {
public:
    IniObject* create() override {
        const auto* tuple = static_cast<TupleObject*>(wholeArgument(Types::Tuple()));
        if (tuple->size() % 2 != 0)
            VEXA_THROW(FunctionParseException, "Number of elements in the tuple is not even.");
        std::vector<CommandGroupObject::Pair> pairs;
        for (std::size_t i = 0; i < tuple->size(); i += 2) {
            if (!IniObject::isOfType(tuple->at(i + 1), Types::Command()))
                VEXA_THROW(FunctionParseException, "Second object is not command.");
            record(tuple->at(i));
            record(tuple->at(i + 1));
            pairs.push_back({tuple->at(i), static_cast<CommandObject*>(tuple->at(i + 1))});
        }
        return new CommandGroupObject(std::move(pairs));
    }
};

template <typename Delegator>
class F_Delegator : public IniFunction {
public:
    IniObject* create() override {
        std::vector<IniObject*> objects;
        for (int i = 0; i < count(); ++i) objects.push_back(getRecordedElement(i, nullptr));
        return new Delegator(std::move(objects));
    }
};

class F_TimeModifier : public IniFunction {
public:
    IniObject* create() override {
        const float begin = getNumber("begin", 0.0f);
        const float speed = getNumber("speed", 1.0f);
        IniObject* target = getRecordedObject("object", nullptr);
        return new TimeModifierObject(target, begin, speed);
    }
};

class F_CurrentTime : public IniFunction {
public:
    IniObject* create() override { return new CurrentTimeObject(); }
};

F_EventList s_eventList;
F_CommandGroup s_commandGroup;
F_Delegator<DelegatorObject> s_delegator;
F_Delegator<AlternatingDelegatorObject> s_alternatingDelegator;
F_TimeModifier s_timeModifier;
F_CurrentTime s_currentTime;

const FunctionEntry kFunctions[] = {
    {"EventList", &s_eventList},       {"CommandGroup", &s_commandGroup},
    {"Delegator", &s_delegator},       {"AlternatingDelegator", &s_alternatingDelegator},
    {"TimeModifier", &s_timeModifier}, {"CurrentTime", &s_currentTime},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
