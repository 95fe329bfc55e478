// The player's start-up, frame loop, input forwarding and error lines, run
// in-process over a fake window and a fake clock that scripts bind through
// test-only functions.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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
#include "Syncronizer/Syncronizer.h"

namespace Vexa {
namespace {

// What the fakes share with the test: the clock's times (one per frame), the
// input the window reports while processing each frame's messages, and a log
// of every command the recorders receive.
struct Stage {
    std::vector<float> times;
    std::map<int, std::vector<std::function<void(InputListener&)>>> input;
    int frame = 0;
    bool started = false;
    std::vector<std::string> log;
    std::set<IniObject*> live;  // test objects not yet destroyed
};
Stage g_stage;

class FakeClock : public Syncronizer {
public:
    ~FakeClock() override { g_stage.log.push_back("destroyed clock"); }
    void start() override { g_stage.started = true; }
    void pause() override {}
    void stop() override {}
    float getTime() override {
        if (g_stage.times.empty()) return 0.0f;
        const std::size_t i = std::min<std::size_t>(static_cast<std::size_t>(g_stage.frame),
                                                    g_stage.times.size() - 1);
        return g_stage.times[i];
    }
    bool isFinished() override {
        return static_cast<std::size_t>(g_stage.frame) >= g_stage.times.size();
    }
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
        g_stage.live.insert(this);
    }
    ~TestGraphicsObject() override {
        g_stage.live.erase(this);
        g_stage.log.push_back("destroyed graphics");
    }
};

VEXA_DEFINE_TYPE(recorderType, "TestRecorder")

// Logs every command it receives as "<name> <kind> <time>" and its payload.
class Recorder : public IniObject {
public:
    explicit Recorder(std::string name) : m_name(std::move(name)) { g_stage.live.insert(this); }
    ~Recorder() override {
        g_stage.live.erase(this);
        g_stage.log.push_back("destroyed " + m_name);
    }
    const TypeObject* type() const override { return recorderType(); }
    void execute(CommandObject& command) override {
        std::string line =
            m_name + " " + command.commandKind()->name + " " + formatFloat(command.time());
        if (auto* key = dynamic_cast<KeyboardCommand*>(&command))
            line += " key=" + std::to_string(key->key());
        if (auto* m = dynamic_cast<MouseCommand*>(&command))
            for (int v : {m->mx, m->my, m->dx, m->dy, m->bs, m->bd}) line += " " + std::to_string(v);
        g_stage.log.push_back(line);
    }

private:
    std::string m_name;
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

// A recorder named after a standard error raises that error instead.
class F_TestRecorder : public IniFunction {
public:
    IniObject* create() override {
        const std::string name = elementString(0);
        if (name == "bad_alloc") throw std::bad_alloc();
        if (name == "out_of_range") throw std::out_of_range("vector index");
        if (name == "int") throw 7;
        return new Recorder(name);
    }
};
F_TestRecorder s_testRecorder;
const FunctionEntry kTestFunctions[] = {
    {"TestGraphics", &s_testGraphics},
    {"TestClock", &s_testClock},
    {"TestRecorder", &s_testRecorder},
};
const FunctionRegistrar s_registrar(kTestFunctions);

const char* const kShow =
    "graphicsSystem = TestGraphics ( )\n"
    "syncronizer = TestClock ( )\n"
    "events = TestRecorder \"events\"\n";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

class DemoPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_stage = Stage();
        char path[] = "/tmp/vexa-player-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        m_dir = path;
        std::filesystem::create_directory(m_dir / "Ini");
    }
    void TearDown() override {
        collectGarbage();
        EXPECT_TRUE(g_stage.live.empty()) << "test objects survived the player";
        std::filesystem::remove_all(m_dir);
    }

    // Runs the player in the production folder with `script` as Ini/demo.ini.
    Result play(const std::string& script) {
        std::ofstream(m_dir / "Ini" / "demo.ini") << script;
        const std::filesystem::path cwd = std::filesystem::current_path();
        std::filesystem::current_path(m_dir);
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
        const std::set<IniObject*> live = g_stage.live;
        for (IniObject* o : live)
            if (o->refCount() > 0) o->release();
        collectGarbage();
    }
    // The log without destruction lines.
    std::vector<std::string> commands() const {
        std::vector<std::string> out;
        for (const std::string& line : g_stage.log)
            if (line.rfind("destroyed", 0) != 0) out.push_back(line);
        return out;
    }

    std::filesystem::path m_dir;
};

using Lines = std::vector<std::string>;

TEST_F(DemoPlayerTest, InitializationGetsOneUpdateAtZeroThenEventsGetEachClockTime) {
    g_stage.times = {0.25f, 0.5f, 0.75f};
    const Result r = play(std::string(kShow) + "initialization = TestRecorder \"init\"\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(g_stage.started);
    EXPECT_EQ(g_stage.log[0], "init Update 0");
    EXPECT_EQ(g_stage.log[1], "destroyed init");
    EXPECT_EQ(commands(), (Lines{"init Update 0", "events Update 0.25", "events Update 0.5",
                                 "events Update 0.75"}));
    // The rendering objects go last, after everything else was collected.
    EXPECT_EQ(g_stage.log.back(), "destroyed graphics");
    EXPECT_NE(std::find(g_stage.log.begin(), g_stage.log.end(), "destroyed clock"),
              g_stage.log.end());
}

TEST_F(DemoPlayerTest, ClockFinishedAtTheFirstFrameSendsNothingToEvents) {
    const Result r = play(std::string(kShow) + "initialization = TestRecorder \"init\"\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(g_stage.started);
    EXPECT_EQ(commands(), (Lines{"init Update 0"}));
}

// Every key event reaches the handler, releases included; only pressing
// Escape ends the loop, after the current frame.
TEST_F(DemoPlayerTest, KeysAreForwardedAndEscapeEndsTheLoopAfterTheFrame) {
    g_stage.times = {1, 2, 3, 4};
    g_stage.input[0] = {[](InputListener& l) { l.key(true, 30); },
                        [](InputListener& l) { l.key(false, 30); },
                        [](InputListener& l) { l.key(false, 1); }};
    g_stage.input[1] = {[](InputListener& l) { l.key(true, 1); }};
    const Result r = play(std::string(kShow) + "keyboardHandler = TestRecorder \"keys\"\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(commands(), (Lines{"events Update 1", "keys Keyboard 1 key=30", "keys Keyboard 1 key=30",
                                 "keys Keyboard 1 key=1", "events Update 2", "keys Keyboard 2 key=1"}));
}

TEST_F(DemoPlayerTest, MouseEventsReachTheMouseHandlerAsMouseCommands) {
    g_stage.times = {1, 2};
    g_stage.input[0] = {[](InputListener& l) { l.mouseMove(0, 10, 20); },
                        [](InputListener& l) { l.mouseButton(1, 12, 25); }};
    g_stage.input[1] = {[](InputListener& l) { l.mouseMove(1, 15, 25); },
                        [](InputListener& l) { l.mouseButton(0, 15, 25); },
                        [](InputListener& l) { l.resized(10, 10); }};
    const Result r = play(std::string(kShow) + "mouseHandler = TestRecorder \"mouse\"\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(commands(), (Lines{"events Update 1", "mouse Mouse 1 10 20 0 0 0 0",
                                 "mouse Mouse 1 12 25 2 5 1 1", "events Update 2",
                                 "mouse Mouse 2 15 25 3 0 1 0", "mouse Mouse 2 15 25 0 0 0 0"}));
}

TEST_F(DemoPlayerTest, InputWithoutHandlersIsHarmlessAndEventsMayBeOfAnyType) {
    g_stage.times = {1, 2, 3};
    g_stage.input[0] = {[](InputListener& l) { l.key(true, 5); },
                        [](InputListener& l) { l.mouseMove(0, 1, 1); }};
    g_stage.input[1] = {[](InputListener& l) { l.key(true, 1); }};
    const Result r = play("graphicsSystem = TestGraphics ( )\nsyncronizer = TestClock ( )\n"
                          "events = 1\n");
    EXPECT_EQ(r.status, 0);
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
        {"graphicsSystem = TestGraphics ( )\nevents = TestRecorder \"events\"\n"
         "initialization = TestRecorder \"init\"",
         "incomplete initialization file, no syncronizer defined\n"},
        {"graphicsSystem = TestGraphics ( )\nevents = TestRecorder \"events\"\n"
         "syncronizer = TestRecorder \"clock\"",
         "incomplete initialization file, no syncronizer defined\n"},
        {std::string(kShow) + "x = Draw 1",
         "Exception: Ini/demo.ini(4):\nfatal: While evaluating Draw 1:\n"
         "Simple command takes no parameters.\n"},
        {std::string(kShow) + "x = TestRecorder \"bad_alloc\"", "Out of memory\n"},
        {std::string(kShow) + "x = TestRecorder \"out_of_range\"", "Internal error: vector index\n"},
        {std::string(kShow) + "x = TestRecorder \"int\"", "Internal error: unknown exception\n"},
    };
    for (const auto& c : cases) {
        g_stage = Stage();
        g_stage.times = {1};
        const Result r = play(c.script);
        EXPECT_EQ(r.status, 0) << c.script;
        EXPECT_EQ(r.err, c.line) << c.script;
        EXPECT_EQ(r.out, "") << c.script;
        EXPECT_FALSE(g_stage.started) << c.script;
        EXPECT_EQ(commands(), Lines{}) << c.script;
        releaseLeftovers();
    }
}

}  // namespace
}  // namespace Vexa
