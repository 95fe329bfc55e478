#pragma once
// Script tests whose "gl" graphics systems draw on the recording machine.
#include <string>

#include "Parser/Functions/RenderingObjects.h"
#include "Support/RecordingRenderMachine.h"
#include "Support/TestKit.h"

namespace Vexa::Testing {

// Makes "gl" graphics systems recording machines while it lives, and puts
// the real factory back after.
class RecordingGl {
public:
    RecordingGl() : m_saved(registeredRenderMachine("gl")) {
        registerRenderMachine("gl", &RecordingRenderMachine::create);
    }
    ~RecordingGl() { registerRenderMachine("gl", m_saved); }
    RecordingGl(const RecordingGl&) = delete;
    RecordingGl& operator=(const RecordingGl&) = delete;

private:
    RenderMachineFactory m_saved;
};

// Before each test, `graphicsSystem` is bound to a graphics system of
// m_width x m_height on a recording machine, and the fixture's own script()
// runs after it in the same parser; the log starts empty.
class RecordingScriptTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        auto* graphics = static_cast<GraphicsSystemObject*>(run(
            "graphicsSystem = GraphicsSystem { type = \"gl\" width = " + std::to_string(m_width) +
                " height = " + std::to_string(m_height) + " }\n" + script(),
            "graphicsSystem"));
        m_machine = static_cast<RecordingRenderMachine*>(graphics->renderMachine());
        m_machine->clearLog();
    }
    virtual std::string script() { return ""; }
    // The calls `kind` makes when sent to the object bound to `name`.
    Lines calls(const char* name, const CommandKind* kind) {
        m_machine->clearLog();
        send(parser().lookup(name), kind);
        return m_machine->takeLog();
    }

    int m_width = 64;
    int m_height = 64;
    RecordingGl m_gl;
    RecordingRenderMachine* m_machine = nullptr;
};

}  // namespace Vexa::Testing
