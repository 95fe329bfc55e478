#pragma once
// The timeline: objects that turn the player's per-frame Update into the
// script's schedule of commands, fan commands out, or shift their time.
#include <cstddef>
#include <vector>

#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"

namespace Vexa {

namespace Types {
const TypeObject* EventList();
const TypeObject* CommandGroup();
const TypeObject* Delegator();
const TypeObject* TimeModifier();
}  // namespace Types

// Point events fire once when the clock reaches them; spans run every frame
// between begin and end (continuous) or at begin, begin + period, ...
// (periodic). Cursors only move forward, so a frame costs the events it fires
// and the spans that are active, never the whole list.
class EventListObject : public IniObject {
public:
    struct PointEvent {
        float time;
        IniObject* object;
        CommandObject* command;
    };
    struct SpanEvent {
        float begin;
        float end;
        float order;
        float period;
        float next;
        IniObject* object;
        CommandObject* command;
    };

    EventListObject(std::vector<PointEvent> points, std::vector<SpanEvent> spans);
    const TypeObject* type() const override { return Types::EventList(); }
    void execute(CommandObject& command) override;

    std::size_t activeSpanCount() const { return m_active.size(); }

private:
    void update(float t);

    std::vector<PointEvent> m_points;
    std::size_t m_pointCursor = 0;
    std::vector<SpanEvent> m_spans;
    std::size_t m_spanCursor = 0;
    std::vector<SpanEvent*> m_active;
};

class CommandGroupObject : public IniObject {
public:
    struct Pair {
        IniObject* object;
        CommandObject* command;
    };
    explicit CommandGroupObject(std::vector<Pair> pairs) : m_pairs(std::move(pairs)) {}
    const TypeObject* type() const override { return Types::CommandGroup(); }
    void execute(CommandObject& command) override;

private:
    std::vector<Pair> m_pairs;
};

class DelegatorObject : public IniObject {
public:
    explicit DelegatorObject(std::vector<IniObject*> objects) : m_objects(std::move(objects)) {}
    const TypeObject* type() const override { return Types::Delegator(); }
    void execute(CommandObject& command) override;
    // Adds an object after the written ones; the delegator holds it.
    void append(IniObject* object);

protected:
    std::vector<IniObject*> m_objects;
};

class AlternatingDelegatorObject : public DelegatorObject {
public:
    using DelegatorObject::DelegatorObject;
    void execute(CommandObject& command) override;

private:
    std::size_t m_index = 0;
};

class TimeModifierObject : public IniObject {
public:
    TimeModifierObject(IniObject* target, float begin, float speed)
        : m_target(target), m_begin(begin), m_speed(speed) {}
    const TypeObject* type() const override { return Types::TimeModifier(); }
    void execute(CommandObject& command) override;

private:
    IniObject* m_target;
    float m_begin;
    float m_speed;
};

// The time of the last Update it received, as a dynamic number.
class CurrentTimeObject : public NumberObject {
public:
    CurrentTimeObject() : NumberObject(0.0f) {}
    bool isDynamic() const override { return true; }
    void execute(CommandObject& command) override;
};

}  // namespace Vexa
