#pragma once
// What the tests share: how a call or a script ended, a fixture that runs
// script text, and fakes for animated values, consumers of values, command
// receivers, counters and data held in memory.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Parser/IniCommands.h"
#include "Parser/IniObject.h"
#include "Parser/Parser.h"
#include "Syncronizer/PerformanceTimer.h"

namespace Vexa {

// A temporary folder for a test, removed with everything in it at the end.
// A folder that cannot be made fails the test that asked for it.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/vexa-test-XXXXXX";
        if (::mkdtemp(pattern) == nullptr)
            throw std::runtime_error("cannot make a temporary folder");
        m_path = pattern;
    }
    ~TempDir() { std::filesystem::remove_all(m_path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }
    // Writes a file (making its folders) and answers its path.
    std::string write(const std::string& relative, const std::string& bytes) const {
        const std::filesystem::path p = std::filesystem::path(m_path) / relative;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream out(p, std::ios::binary);
        if (!(out << bytes)) throw std::runtime_error("cannot write " + p.string());
        return p.string();
    }

private:
    std::string m_path;
};

namespace Testing {

using Lines = std::vector<std::string>;

// How a call ended: the most derived class of the exception it threw and its
// message, or kind "none".
struct Outcome {
    std::string kind;
    std::string message;
};
bool operator==(const Outcome& a, const Outcome& b);
std::ostream& operator<<(std::ostream& out, const Outcome& outcome);

Outcome outcomeOf(const std::function<void()>& call);
// The message of what `call` threw, or "no error".
std::string messageOf(const std::function<void()>& call);
// Parses `text` in a parser of its own, then collects the garbage.
Outcome scriptOutcome(const std::string& text);

// Sends a command of `kind` at `time`.
void send(IniObject* target, const CommandKind* kind, float time = 0.0f);
// What `target` printed on standard output while executing `command`.
std::string printed(IniObject* target, CommandObject&& command);

// A test that runs script text in one parser, dropped with its garbage at
// the end.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    Parser& parser();
    // Parses `text` and answers the object bound to `name` (null when none).
    IniObject* run(const std::string& text, const char* name = "x");
    IniObject* eval(const std::string& expression) { return run("x = " + expression); }
    // The text form of `name` after `text` ran in a fresh parser, or "unbound".
    std::string textOf(const std::string& text, const char* name = "x");
    // Drops the parser and collects the garbage.
    void reset();

private:
    std::unique_ptr<Parser> m_parser;
};

// `TestAnimatedNumber 1`: a number that takes the time of every Update it
// receives and publishes it, like an envelope.
class AnimatedNumber : public NumberObject {
public:
    using NumberObject::NumberObject;
    bool isDynamic() const override { return true; }
    void execute(CommandObject& command) override;
};

// `TestFieldConsumer { value = ... vector = ... }`: an object whose fields are
// bound to the parameters "value" and "vector" (zero when absent).
class FieldConsumer : public IniObject {
public:
    static const TypeObject* typeObject();
    const TypeObject* type() const override { return typeObject(); }
    float field = -1.0f;
    Vec3f vector;
};

// `TestCommandRecorder "name"`: writes every command it receives into
// recordedCommands() as "name Kind time" (keyboard commands add "key=k",
// mouse commands their six numbers) and "destroyed name" when destroyed.
// Recorders alive are in liveRecorders().
class CommandRecorder : public IniObject {
public:
    explicit CommandRecorder(std::string name);
    ~CommandRecorder() override;
    const TypeObject* type() const override { return Types::Number(); }
    void execute(CommandObject& command) override;

private:
    std::string m_name;
};
Lines& recordedCommands();
std::set<IniObject*>& liveRecorders();
// The recorded lines, emptying the record.
Lines takeRecordedCommands();

// A counter the test moves by hand, in microsecond ticks.
class FakeCounter : public Counter {
public:
    int64_t ticks() const override { return m_ticks; }
    int64_t frequency() const override { return 1000000; }
    void advance(double seconds) { m_ticks += std::llround(seconds * 1e6); }

private:
    int64_t m_ticks = 123456789;
};

// Bytes held in memory and loaded like a file: a fresh copy ended by a zero.
class MemoryBlock : public DataBlock {
public:
    explicit MemoryBlock(std::string bytes) : m_bytes(std::move(bytes)) {}
    ~MemoryBlock() override { unload(); }
    void load() override;
    void unload() override;

private:
    std::string m_bytes;
};

}  // namespace Testing
}  // namespace Vexa
