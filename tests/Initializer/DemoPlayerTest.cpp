// The player's start-up, frame loop, input forwarding and error lines, run
// in-process over a fake window and a fake clock that scripts bind through
// test-only functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "Initializer/DemoPlayer.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/SyncronizerObject.h"
#include "Parser/IniCommands.h"
#include "Parser/IniFunction.h"
#include "Rendering/Common/RenderWindow.h"
#include "Support/TestKit.h"
#include "Syncronizer/Syncronizer.h"

namespace Vexa {
namespace {

using Testing::Lines;
using Testing::recordedCommands;

// What the fakes share with the test: the clock's times (one per frame) and
// the input the window reports while processing each frame's messages. The
// commands the recorders receive and what is destroyed go to the kit's record.
struct Stage {
    std::vector<float> times;
    std::map<int, std::vector<std::function<void(InputListener&)>>> input;
    int frame = 0;
    bool started = false;
    IniObject* graphics = nullptr;  // while alive
};
Stage g_stage;

class FakeClock : public Syncronizer {
public:
    ~FakeClock() override { recordedCommands().push_back("destroyed clock"); }
    void start() override { g_stage.started = true; }
    void pause() override {}
    void stop() override {}
    float getTime() override {
        if (g_stage.times.empty()) return 0.0f;
        return g_stage.times[std::min<std::size_t>(g_stage.frame, g_stage.times.size() - 1)];
    }
    bool isFinished() override { return std::size_t(g_stage.frame) >= g_stage.times.size(); }
    bool isPaused() override { return false; }
};

class FakeWindow : public Window {
public:
    int getWidth() const override { return 640; }
    int getHeight() const override { return 480; }
    void present() override {}
    void makeCurrent() override {}
    void makeCurrent(RenderMachine*) override {}
    void processMessages() override {
        for (auto& event : g_stage.input[g_stage.frame])
            if (listener()) event(*listener());
        ++g_stage.frame;
    }
    void setTitle(const char*) override {}
    void showCursor(bool) override {}
};

class TestGraphicsObject : public GraphicsSystemObject {
public:
    TestGraphicsObject() : GraphicsSystemObject(nullptr, std::make_unique<FakeWindow>()) {
        g_stage.graphics = this;
    }
    ~TestGraphicsObject() override {
        g_stage.graphics = nullptr;
        recordedCommands().push_back("destroyed graphics");
    }
};

class F_TestGraphics : public IniFunction {
public:
    IniObject* create() override { return new TestGraphicsObject(); }
};
F_TestGraphics s_testGraphics;

class F_TestClock : public IniFunction {
public:
    IniObject* create() override { return new SyncronizerObject(std::make_unique<FakeClock>()); }
};
F_TestClock s_testClock;

// Raises the standard error it names.
class F_TestThrow : public IniFunction {
public:
    IniObject* create() override {
        const std::string name = elementString(0);
        if (name == "bad_alloc") throw std::bad_alloc();
        if (name == "out_of_range") throw std::out_of_range("vector index");
        throw 7;
    }
};
F_TestThrow s_testThrow;
const FunctionEntry kTestFunctions[] = {
    {"TestGraphics", &s_testGraphics},
    {"TestClock", &s_testClock},
    {"TestThrow", &s_testThrow},
};
const FunctionRegistrar s_registrar(kTestFunctions);

const char* const kShow =
    "graphicsSystem = TestGraphics ( )\n"
    "syncronizer = TestClock ( )\n"
    "events = TestCommandRecorder \"events\"\n";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class DemoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_stage = Stage();
        recordedCommands().clear();
    }
    void TearDown() override {
        collectGarbage();
        EXPECT_TRUE(Testing::liveRecorders().empty() && !g_stage.graphics)
            << "test objects survived the player";
    }

    // Runs the player in the production folder with `script` as Ini/demo.ini.
    Result play(const std::string& script) {
        m_dir.write("Ini/demo.ini", script);
        const std::filesystem::path cwd = std::filesystem::current_path();
        std::filesystem::current_path(m_dir.path());
        const char* argv[] = {"vexa", nullptr};
        Result result;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        result.status = runPlayer(1, argv);
        result.err = testing::internal::GetCapturedStderr();
        result.out = testing::internal::GetCapturedStdout();
        std::filesystem::current_path(cwd);
        return result;
    }
    // After a start-up error the player keeps the references it took; the
    // test drops them so that nothing leaks.
    void releaseLeftovers() {
        std::set<IniObject*> live = Testing::liveRecorders();
        if (g_stage.graphics) live.insert(g_stage.graphics);
        for (IniObject* o : live)
            if (o->refCount() > 0) o->release();
        collectGarbage();
    }
    // The record without destruction lines.
    static Lines commands() {
        Lines out;
        for (const std::string& line : recordedCommands())
            if (line.rfind("destroyed", 0) != 0) out.push_back(line);
        return out;
    }

    TempDir m_dir;
};

TEST_F(DemoPlayerTest, InitializationGetsOneUpdateAtZeroThenEventsGetEachClockTime) {
    g_stage.times = {0.25f, 0.5f, 0.75f};
    const Result r = play(std::string(kShow) + "initialization = TestCommandRecorder \"init\"\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err + r.out, "");
    EXPECT_TRUE(g_stage.started);
    EXPECT_EQ(recordedCommands()[1], "destroyed init");
    EXPECT_EQ(commands(), (Lines{"init Update 0", "events Update 0.25", "events Update 0.5",
                                 "events Update 0.75"}));
    // The rendering objects go last, after everything else was collected.
    EXPECT_EQ(recordedCommands().back(), "destroyed graphics");
    EXPECT_NE(std::find(recordedCommands().begin(), recordedCommands().end(), "destroyed clock"),
              recordedCommands().end());
}

TEST_F(DemoPlayerTest, ClockFinishedAtTheFirstFrameSendsNothingToEvents) {
    const Result r = play(std::string(kShow) + "initialization = TestCommandRecorder \"init\"\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(g_stage.started);
    EXPECT_EQ(commands(), (Lines{"init Update 0"}));
}

// Every key event reaches the keyboard handler, releases included, and mouse
// events the mouse handler; only pressing Escape ends the loop, after the
// current frame.
TEST_F(DemoPlayerTest, InputReachesItsHandlerAndEscapeEndsTheLoopAfterTheFrame) {
    g_stage.times = {1, 2, 3, 4};
    g_stage.input[0] = {
        [](InputListener& l) { l.key(true, 30); }, [](InputListener& l) { l.key(false, 30); },
        [](InputListener& l) { l.key(false, 1); }, [](InputListener& l) { l.mouseMove(0, 10, 20); },
        [](InputListener& l) { l.mouseButton(1, 12, 25); }};
    g_stage.input[1] = {[](InputListener& l) { l.mouseMove(1, 15, 25); },
                        [](InputListener& l) { l.mouseButton(0, 15, 25); },
                        [](InputListener& l) { l.resized(10, 10); },
                        [](InputListener& l) { l.key(true, 1); }};
    const Result r = play(std::string(kShow) + "keyboardHandler = TestCommandRecorder \"keys\"\n" +
                          "mouseHandler = TestCommandRecorder \"mouse\"\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(commands(), (Lines{"events Update 1", "keys Keyboard 1 key=30",
                                 "keys Keyboard 1 key=30", "keys Keyboard 1 key=1",
                                 "mouse Mouse 1 10 20 0 0 0 0", "mouse Mouse 1 12 25 2 5 1 1",
                                 "events Update 2", "mouse Mouse 2 15 25 3 0 1 0",
                                 "mouse Mouse 2 15 25 0 0 0 0", "keys Keyboard 2 key=1"}));
}

TEST_F(DemoPlayerTest, InputWithoutHandlersIsHarmlessAndEventsMayBeOfAnyType) {
    g_stage.times = {1, 2, 3};
    g_stage.input[0] = {[](InputListener& l) { l.key(true, 5); },
                        [](InputListener& l) { l.mouseMove(0, 1, 1); }};
    g_stage.input[1] = {[](InputListener& l) { l.key(true, 1); }};
    const Result r =
        play("graphicsSystem = TestGraphics ( )\nsyncronizer = TestClock ( )\nevents = 1");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(g_stage.frame, 2);
}

TEST_F(DemoPlayerTest, StartUpErrorsPrintOneLineAndAnswerZero) {
    const struct {
        std::string script;
        const char* line;
    } cases[] = {
        {"a = 1", "incomplete initialization file, no graphicsSystem defined\n"},
        {"graphicsSystem = 1\nevents = 1\nsyncronizer = TestClock ( )",
         "incomplete initialization file, no graphicsSystem defined\n"},
        {"graphicsSystem = TestGraphics ( )\nsyncronizer = TestClock ( )",
         "incomplete initialization file, no events defined\n"},
        {"graphicsSystem = TestGraphics ( )\nevents = TestCommandRecorder \"events\"\n"
         "initialization = TestCommandRecorder \"init\"",
         "incomplete initialization file, no syncronizer defined\n"},
        {"graphicsSystem = TestGraphics ( )\nevents = TestCommandRecorder \"events\"\n"
         "syncronizer = TestCommandRecorder \"clock\"",
         "incomplete initialization file, no syncronizer defined\n"},
        {std::string(kShow) + "x = Draw 1",
         "Exception: Ini/demo.ini(4):\nfatal: While evaluating Draw 1:\n"
         "Simple command takes no parameters.\n"},
        {std::string(kShow) + "x = TestThrow \"bad_alloc\"", "Out of memory\n"},
        {std::string(kShow) + "x = TestThrow \"out_of_range\"", "Internal error: vector index\n"},
        {std::string(kShow) + "x = TestThrow \"int\"", "Internal error: unknown exception\n"},
    };
    for (const auto& c : cases) {
        SetUp();
        g_stage.times = {1};
        const Result r = play(c.script);
        EXPECT_EQ(r.status, 0) << c.script;
        EXPECT_EQ(r.err + r.out, c.line) << c.script;
        EXPECT_FALSE(g_stage.started) << c.script;
        EXPECT_EQ(commands(), Lines{}) << c.script;
        releaseLeftovers();
    }
}

}  // namespace
}  // namespace Vexa
