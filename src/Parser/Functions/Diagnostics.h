#pragma once
// Objects that help while a production is being authored: a frame-rate
// meter, printers of command times and of input events, and a key-tap timer.
// All of them write to standard output, one flushed line at a time.
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Syncronizer/PerformanceTimer.h"

namespace Vexa {

namespace Types {
const TypeObject* Speedometer();
const TypeObject* TimePrinter();
const TypeObject* TestHandler();
const TypeObject* Tapper();
const TypeObject* TestRotater();
}  // namespace Types

class RenderMachine;
struct Matrix;

class SpeedometerObject : public IniObject {
public:
    // `counter` drives the object's stopwatch; null means the steady clock.
    SpeedometerObject(bool enable, float interval, const Counter* counter = nullptr);
    const TypeObject* type() const override { return Types::Speedometer(); }
    void execute(CommandObject& command) override;

private:
    PerformanceTimer m_timer;
    bool m_enable;
    float m_interval;
    bool m_first = true;
    int32_t m_totalFrames = 0;
    int32_t m_framesSinceReport = 0;
    float m_lastReportTime = 0.0f;
    float m_startTime = 0.0f;
    float m_minFps = 1000000.0f;
    float m_maxFps = -1000000.0f;
};

class TimePrinterObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::TimePrinter(); }
    void execute(CommandObject& command) override;
};

class TestHandlerObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::TestHandler(); }
    void execute(CommandObject& command) override;
};

class TapperObject : public IniObject {
public:
    const TypeObject* type() const override { return Types::Tapper(); }
    void execute(CommandObject& command) override;

private:
    float m_lastTap = -1.0f;
};

// On Draw, multiplies the world matrix by a rotation about an axis, scaled;
// the angle, axis and scale are read from their objects at each Draw, so
// animated values make it move.
class TestRotaterObject : public IniObject {
public:
    TestRotaterObject(RenderMachine* machine, const NumberObject* angle, const Vec3dObject* axis,
                      const NumberObject* scale)
        : m_machine(machine), m_angle(angle), m_axis(axis), m_scale(scale) {}
    const TypeObject* type() const override { return Types::TestRotater(); }
    void execute(CommandObject& command) override;

private:
    RenderMachine* m_machine;
    const NumberObject* m_angle;
    const Vec3dObject* m_axis;
    const NumberObject* m_scale;
};

// The right-handed rotation by `angle` radians about `axis` (normalised; a
// zero axis gives no rotation), every element of its 3x3 part times `scale`.
Matrix scaledRotation(float angle, const Vec3f& axis, float scale);

// The counter new Speedometers read; null restores the steady clock.
void setSpeedometerCounter(const Counter* counter);

}  // namespace Vexa
