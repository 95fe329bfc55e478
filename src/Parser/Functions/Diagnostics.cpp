#include "Parser/Functions/Diagnostics.h"

#include <cmath>
#include <iomanip>
#include <iostream>

#include "Parser/Exceptions.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniFunction.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

namespace Types {
VEXA_DEFINE_TYPE(Speedometer, "Speedometer")
VEXA_DEFINE_TYPE(TimePrinter, "TimePrinter")
VEXA_DEFINE_TYPE(TestHandler, "TestHandler")
VEXA_DEFINE_TYPE(Tapper, "Tapper")
VEXA_DEFINE_TYPE(TestRotater, "TestRotater")
}  // namespace Types

namespace {
const Counter* s_speedometerCounter = nullptr;
}

void setSpeedometerCounter(const Counter* counter) { s_speedometerCounter = counter; }

SpeedometerObject::SpeedometerObject(bool enable, float interval, const Counter* counter)
    : m_timer(counter), m_enable(enable), m_interval(interval) {}

// Counts Updates and, once more than `interval` seconds have passed since the
// last report, prints the rate since then with the running min, average and max.
void SpeedometerObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    if (!m_enable) return;
    const double t = m_timer.elapsed();
    if (m_first) {
        m_startTime = m_lastReportTime = static_cast<float>(t);
        m_first = false;
    }
    const int32_t frames = ++m_framesSinceReport;
    const double dt = t - m_lastReportTime;
    if (!(dt > m_interval)) return;
    m_totalFrames += frames;
    m_framesSinceReport = 0;
    const double average = m_totalFrames / (t - m_startTime);
    const float fps = static_cast<float>(frames / dt);
    m_lastReportTime = static_cast<float>(t);
    if (fps < m_minFps) m_minFps = fps;
    if (fps > m_maxFps) m_maxFps = fps;
    std::cout << std::setprecision(7) << "FPS: " << fps << ", min: " << m_minFps
              << ", avg: " << average << ", max: " << m_maxFps << '\n'
              << std::flush;
}

void TimePrinterObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) {
        IniObject::execute(command);
        return;
    }
    std::cout << "command time: " << command.time() << '\n' << std::flush;
}

void TestHandlerObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Mouse()) {
        const auto& m = static_cast<const MouseCommand&>(command);
        std::cout << "MouseEvent " << m.time() << ": " << '\n' << std::flush;
        std::cout << "  mx=" << std::setprecision(4) << m.mx << "  my=" << std::setprecision(4)
                  << m.my << '\n'
                  << std::flush;
        std::cout << "  dx=" << std::setprecision(4) << m.dx << "  dy=" << std::setprecision(4)
                  << m.dy << '\n'
                  << std::flush;
        std::cout << "  bs=" << std::setprecision(4) << m.bs << "  bd=" << std::setprecision(4)
                  << m.bd << '\n'
                  << std::flush;
    } else if (kind == CommandKinds::Keyboard()) {
        const auto& k = static_cast<const KeyboardCommand&>(command);
        std::cout << "KeyboardEvent " << k.time() << ": " << '\n' << std::flush;
        std::cout << "  keyid=" << k.key() << '\n' << std::flush;
    } else {
        IniObject::execute(command);
    }
}

// Prints a key press at most once per 0.3 s, measured from the last printed tap.
void TapperObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Keyboard()) {
        IniObject::execute(command);
        return;
    }
    const auto& k = static_cast<const KeyboardCommand&>(command);
    const float t = k.time();
    if (!(t > m_lastTap + 0.3f)) return;
    std::cout << t << " -- " << static_cast<char>(k.key()) << '\n' << std::flush;
    m_lastTap = t;
}

Matrix scaledRotation(float angle, const Vec3f& axis, float scale) {
    float x = axis[0], y = axis[1], z = axis[2];
    const float length = std::sqrt(x * x + y * y + z * z);
    Matrix m = Matrix::identity();
    if (length > 0.0f && std::isfinite(length)) {
        x /= length;
        y /= length;
        z /= length;
        const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
        const float r[3][3] = {
            {t * x * x + c, t * x * y - s * z, t * x * z + s * y},
            {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
            {t * x * z - s * y, t * y * z + s * x, t * z * z + c},
        };
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column) m.at(row, column) = r[row][column];
    }
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) m.at(row, column) *= scale;
    return m;
}

void TestRotaterObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Draw()) {
        IniObject::execute(command);
        return;
    }
    const Matrix m = scaledRotation(m_angle->value(), m_axis->value(), m_scale->value());
    m_machine->multMatrix(&m, MATRIX_WORLD);
}

namespace {

/* Speedometer { interval = 2 enable = <bool> } */
class F_Speedometer : public IniFunction {
public:
    IniObject* create() override {
        float interval = 2.0f;
        if (IniObject::isOfType(findOptional("interval"), Types::Number()))
            interval = static_cast<NumberObject*>(findOptional("interval"))->value();
        if (!(interval > 0.0f)) interval = 2.0f;
        bool enable = true;
        if (IniObject::isOfType(findOptional("enable"), Types::Bool()))
            enable = static_cast<BoolObject*>(findOptional("enable"))->value();
        return new SpeedometerObject(enable, interval, s_speedometerCounter);
    }

private:
    // The Speedometer never fails on its parameters: absent or mistyped
    // values keep their defaults.
    IniObject* findOptional(const char* name) const {
        return has(name) ? getObject(name) : nullptr;
    }
};

template <typename T>
class F_Plain : public IniFunction {
public:
    IniObject* create() override { return new T(); }
};

/* TestRotater { graphicsSystem scale angle axis } */
class F_TestRotater : public IniFunction {
public:
    IniObject* create() override {
        auto* graphics = static_cast<GraphicsSystemObject*>(
            getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        auto* scale = static_cast<NumberObject*>(getRecordedObject("scale", Types::Number()));
        auto* angle = static_cast<NumberObject*>(getRecordedObject("angle", Types::Number()));
        auto* axis = static_cast<Vec3dObject*>(getRecordedObject("axis", Types::Vec3d()));
        return new TestRotaterObject(graphics->renderMachine(), angle, axis, scale);
    }
};

F_Speedometer s_speedometer;
F_TestRotater s_testRotater;
F_Plain<TimePrinterObject> s_timePrinter;
F_Plain<TestHandlerObject> s_testHandler;
F_Plain<TapperObject> s_tapper;

const FunctionEntry kFunctions[] = {
    {"Speedometer", &s_speedometer}, {"TestRotater", &s_testRotater},
    {"TimePrinter", &s_timePrinter}, {"TestHandler", &s_testHandler},
    {"Tapper", &s_tapper},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
