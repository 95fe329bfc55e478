#include "Support/TestKit.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"

namespace Vexa::Testing {

bool operator==(const Outcome& a, const Outcome& b) {
    return a.kind == b.kind && a.message == b.message;
}

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << outcome.kind << ": \"" << outcome.message << "\"";
}

Outcome outcomeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const Exception& e) {
        // The exception classes are global, so the demangled name is the class's.
        int status = 0;
        char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
        Outcome outcome{status == 0 ? name : typeid(e).name(), e.message()};
        std::free(name);
        return outcome;
    }
    return {"none", ""};
}

std::string messageOf(const std::function<void()>& call) {
    const Outcome outcome = outcomeOf(call);
    return outcome.kind == "none" ? "no error" : outcome.message;
}

Outcome scriptOutcome(const std::string& text) {
    Outcome outcome = outcomeOf([&] { Parser().parseString(text); });
    collectGarbage();
    return outcome;
}

void send(IniObject* target, const CommandKind* kind, float time) {
    SimpleCommand command(time, kind);
    target->execute(command);
}

std::string printed(IniObject* target, CommandObject&& command) {
    ::testing::internal::CaptureStdout();
    target->execute(command);
    return ::testing::internal::GetCapturedStdout();
}

void ScriptTest::SetUp() { recordedCommands().clear(); }

void ScriptTest::TearDown() { reset(); }

Parser& ScriptTest::parser() {
    if (!m_parser) m_parser = std::make_unique<Parser>();
    return *m_parser;
}

IniObject* ScriptTest::run(const std::string& text, const char* name) {
    parser().parseString(text);
    return parser().lookup(name);
}

std::string ScriptTest::textOf(const std::string& text, const char* name) {
    reset();
    const IniObject* object = run(text, name);
    return object ? object->toString() : "unbound";
}

void ScriptTest::reset() {
    m_parser.reset();
    collectGarbage();
}

void AnimatedNumber::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Update()) return NumberObject::execute(command);
    setValue(command.time());
    publish();
}

VEXA_DEFINE_TYPE(FieldConsumer::typeObject, "TestFieldConsumer")

CommandRecorder::CommandRecorder(std::string name) : m_name(std::move(name)) {
    liveRecorders().insert(this);
}

CommandRecorder::~CommandRecorder() {
    liveRecorders().erase(this);
    recordedCommands().push_back("destroyed " + m_name);
}

void CommandRecorder::execute(CommandObject& command) {
    std::string line =
        m_name + " " + command.commandKind()->name + " " + formatFloat(command.time());
    if (auto* key = dynamic_cast<KeyboardCommand*>(&command))
        line += " key=" + std::to_string(key->key());
    if (auto* m = dynamic_cast<MouseCommand*>(&command))
        for (int v : {m->mx, m->my, m->dx, m->dy, m->bs, m->bd}) line += " " + std::to_string(v);
    recordedCommands().push_back(line);
}

Lines& recordedCommands() {
    static Lines lines;
    return lines;
}

std::set<IniObject*>& liveRecorders() {
    static std::set<IniObject*> live;
    return live;
}

Lines takeRecordedCommands() {
    Lines lines;
    lines.swap(recordedCommands());
    return lines;
}

void MemoryBlock::load() {
    if (m_loaded) return;
    m_data = new char[m_bytes.size() + 1];
    std::memcpy(m_data, m_bytes.c_str(), m_bytes.size() + 1);
    m_size = static_cast<int32_t>(m_bytes.size());
    m_loaded = true;
}

void MemoryBlock::unload() {
    delete[] m_data;
    m_data = nullptr;
    m_size = 0;
    m_loaded = false;
}

namespace {

class F_TestAnimatedNumber : public IniFunction {
public:
    IniObject* create() override { return new AnimatedNumber(elementNumber(0)); }
};

class F_TestFieldConsumer : public IniFunction {
public:
    IniObject* create() override {
        auto* consumer = new FieldConsumer();
        bindNumber("value", &consumer->field, 0.0f);
        bindVec3("vector", &consumer->vector, Vec3f{});
        return consumer;
    }
};

class F_TestCommandRecorder : public IniFunction {
public:
    IniObject* create() override { return new CommandRecorder(elementString(0)); }
};

F_TestAnimatedNumber s_animatedNumber;
F_TestFieldConsumer s_fieldConsumer;
F_TestCommandRecorder s_commandRecorder;
const FunctionEntry kFunctions[] = {
    {"TestAnimatedNumber", &s_animatedNumber},
    {"TestFieldConsumer", &s_fieldConsumer},
    {"TestCommandRecorder", &s_commandRecorder},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa::Testing
