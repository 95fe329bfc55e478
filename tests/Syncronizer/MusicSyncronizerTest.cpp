#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Support/TestKit.h"
#include "Syncronizer/MusicSyncronizer.h"

namespace Vexa {
namespace {

using Testing::FakeCounter;

// What the fake library answers and what it was asked. Queries (IsPlaying,
// Stream_GetTime, GetError) are answered but not logged.
struct FakeSound {
    bool loadable = true;
    float version = 3.63f;
    bool initOk = true;
    bool openOk = true;
    int playChannel = 3;
    int error = 0;
    bool playing = true;
    int positionMs = 0;
    std::vector<std::string> calls;
};
FakeSound g_fake;

FSOUND_STREAM* fakeStream() {
    static char token = 0;
    return reinterpret_cast<FSOUND_STREAM*>(&token);
}

std::string text(int value) { return std::to_string(value); }
std::string text(const char* value) { return value; }
std::string text(FSOUND_STREAM* stream) { return stream == fakeStream() ? "stream" : "other"; }

class FakeSoundLibrary : public SoundLibrary {
public:
    float FSOUND_GetVersion() override { return log("GetVersion"), g_fake.version; }
    bool FSOUND_Init(int rate, int channels, unsigned flags) override {
        return log("Init", rate, channels, int(flags)), g_fake.initOk;
    }
    void FSOUND_Close() override { log("Close"); }
    int FSOUND_GetError() override { return g_fake.error; }
    void FSOUND_Stream_SetBufferSize(int ms) override { log("SetBufferSize", ms); }
    FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* name, unsigned mode, int length) override {
        log("OpenFile", name, int(mode), length);
        return g_fake.openOk ? fakeStream() : nullptr;
    }
    int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, void* dsp, bool paused) override {
        log("PlayEx", channel, stream, dsp ? "dsp" : "null", paused ? "paused" : "playing");
        return g_fake.playChannel;
    }
    void FSOUND_SetPan(int channel, int pan) override { log("SetPan", channel, pan); }
    void FSOUND_SetVolume(int channel, int volume) override { log("SetVolume", channel, volume); }
    void FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms) override {
        log("SetTime", stream, ms);
        g_fake.positionMs = ms;
    }
    void FSOUND_SetPaused(int channel, bool paused) override {
        log("SetPaused", channel, int(paused));
    }
    bool FSOUND_IsPlaying(int) override { return g_fake.playing; }
    int FSOUND_Stream_GetTime(FSOUND_STREAM*) override { return g_fake.positionMs; }
    void FSOUND_Stream_Close(FSOUND_STREAM* stream) override { log("StreamClose", stream); }

private:
    template <typename... Values>
    static void log(const char* name, Values... values) {
        std::string call = name;
        ((call += " " + text(values)), ...);
        g_fake.calls.push_back(call);
    }
};

std::unique_ptr<SoundLibrary> loadFake() {
    return g_fake.loadable ? std::make_unique<FakeSoundLibrary>() : nullptr;
}

class MusicSyncronizerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_fake = FakeSound{};
        m_previousLoader = MusicSyncronizer::setLibraryLoader(&loadFake);
    }
    void TearDown() override {
        EXPECT_FALSE(MusicSyncronizer::isLibraryLoaded());
        MusicSyncronizer::setLibraryLoader(m_previousLoader);
    }

    // A clock already started at `start`, with the log emptied.
    std::unique_ptr<MusicSyncronizer> started(float start, float stop) {
        auto clock = std::make_unique<MusicSyncronizer>(1.0f, start, stop, m_music, &m_counter);
        clock->start();
        g_fake.calls.clear();
        return clock;
    }

    // The message of the Exception the constructor raises; empty when none.
    std::string constructionError(const std::string& music) {
        try {
            MusicSyncronizer clock(1.0f, 0.0f, 100.0f, music, &m_counter);
        } catch (const Exception& e) {
            EXPECT_STREQ(e.unit(), "Syncronizer/MusicSyncronizer");
            return e.message();
        }
        return "";
    }

    FakeCounter m_counter;
    TempDir m_dir;
    std::string m_music = m_dir.write("music.ogg", "");
    SoundLibraryLoader m_previousLoader = nullptr;
};

TEST_F(MusicSyncronizerTest, OpensTheMusicPausedAndClosesTheLibraryWhenDestroyed) {
    {
        MusicSyncronizer clock(1.0f, 0.0f, 100.0f, m_music, &m_counter);
        EXPECT_TRUE(clock.isFinished());
        EXPECT_FLOAT_EQ(clock.getTime(), 0.0f);
        EXPECT_TRUE(MusicSyncronizer::isLibraryLoaded());
    }
    const std::vector<std::string> expected = {
        "GetVersion",
        "Init 44100 1 0",
        "SetBufferSize 50",
        "OpenFile " + m_music + " 131376 0",
        "PlayEx -1 stream null paused",
        "SetPan 3 -1",
        "SetVolume -3 160",
        "StreamClose stream",
        "Close",
    };
    EXPECT_EQ(g_fake.calls, expected);
}

// Each step of the start-up that can fail, with the library's error code:
// the message, and the last call made (the library is closed again).
TEST_F(MusicSyncronizerTest, ReportsEachFailureWithItsMessage) {
    const struct {
        std::string failing;
        int error;
        const char* message;
        const char* lastCall;
    } cases[] = {
        {"load", 0, "FMOD library 'fmod.dll' not found.", nullptr},
        {"version", 0, "fatal: FMOD version too old, get at least 3.63", "GetVersion"},
        {"init", 3, "Error initializing output device.", "Close"},
        {"init", 0, "No errors", "Close"},
        {"open", 10, "Unknown file format", "Close"},
        {"open", 18, "Required Mediaplayer codec is not installed", "Close"},
        {"open", 19, "Unknown error", "Close"},
        {"play", 16, "Failed to allocate a new channel", "Close"},
    };
    for (const auto& c : cases) {
        g_fake = FakeSound{};
        g_fake.loadable = c.failing != "load";
        g_fake.version = c.failing == "version" ? 3.62f : 3.63f;
        g_fake.initOk = c.failing != "init";
        g_fake.openOk = c.failing != "open";
        g_fake.playChannel = c.failing == "play" ? -1 : 3;
        g_fake.error = c.error;
        EXPECT_EQ(constructionError(m_music), c.message) << c.failing;
        EXPECT_FALSE(MusicSyncronizer::isLibraryLoaded());
        EXPECT_EQ(g_fake.calls.empty() ? "" : g_fake.calls.back(), c.lastCall ? c.lastCall : "");
    }
    // A missing file is not handed to the library.
    for (const std::string& name : {std::string(), m_dir / "no_such_music.mp3"}) {
        g_fake = FakeSound{};
        EXPECT_EQ(constructionError(name), "Cannot find " + name + ".");
        for (const std::string& call : g_fake.calls) EXPECT_NE(call.rfind("OpenFile", 0), 0u);
        EXPECT_FALSE(MusicSyncronizer::isLibraryLoaded());
    }
}

TEST_F(MusicSyncronizerTest, PauseFreezesAndResumeSeeksTheMusicToThePausedTime) {
    auto clock = started(1.0f, 100.0f);
    m_counter.advance(2.0);
    g_fake.positionMs = 3000;
    clock->pause();
    EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"SetPaused 3 1"}));
    EXPECT_TRUE(clock->isPaused());
    m_counter.advance(10.0);
    EXPECT_FLOAT_EQ(clock->getTime(), 3.0f);

    g_fake.calls.clear();
    clock->start();
    EXPECT_EQ(g_fake.calls, (std::vector<std::string>{"SetTime stream 3000", "SetPaused 3 0"}));
    EXPECT_FALSE(clock->isPaused());
    m_counter.advance(0.5);
    g_fake.positionMs = 3500;
    EXPECT_FLOAT_EQ(clock->getTime(), 3.5f);
}

// The clock reads counter time t; the music reports m. A drift above a tenth
// of a second moves the clock to m and later readings continue from there.
TEST_F(MusicSyncronizerTest, FollowsTheMusicOnlyWhenItDriftsMoreThanATenth) {
    struct Case {
        int musicMs;
        float expected;       // reading at counter time 2.0
        float expectedLater;  // one second later, the music no longer playing
    };
    const std::vector<Case> cases = {
        {2000, 2.0f, 3.0f},   {2090, 2.0f, 3.0f},   {1910, 2.0f, 3.0f},
        {2110, 2.11f, 3.11f}, {1890, 1.89f, 2.89f}, {7000, 7.0f, 8.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.musicMs);
        g_fake = FakeSound{};
        auto clock = started(0.0f, 100.0f);
        m_counter.advance(2.0);
        g_fake.positionMs = c.musicMs;
        EXPECT_NEAR(clock->getTime(), c.expected, 1e-5);
        g_fake.playing = false;
        m_counter.advance(1.0);
        EXPECT_NEAR(clock->getTime(), c.expectedLater, 1e-5);
    }
}

TEST_F(MusicSyncronizerTest, RunsOnTheCounterAfterTheMusicEndsUntilStop) {
    auto clock = started(1.0f, 4.0f);
    g_fake.playing = false;
    g_fake.positionMs = 999999;
    m_counter.advance(3.0);
    EXPECT_FLOAT_EQ(clock->getTime(), 4.0f);
    m_counter.advance(0.5);
    EXPECT_FLOAT_EQ(clock->getTime(), 0.0f);
    EXPECT_TRUE(clock->isFinished());
    // Finishing by time leaves the music alone.
    EXPECT_TRUE(g_fake.calls.empty());
}

// Start seeks the music to the start and unpauses it, whatever the speed;
// stop pauses it, and a later start begins again.
TEST_F(MusicSyncronizerTest, StartSeeksToStartIgnoringSpeedAndStopPauses) {
    MusicSyncronizer clock(3.0f, 1.0f, 100.0f, m_music, &m_counter);
    g_fake.calls.clear();
    clock.start();
    m_counter.advance(1.0);
    g_fake.positionMs = 2000;
    EXPECT_FLOAT_EQ(clock.getTime(), 2.0f);
    m_counter.advance(4.0);
    clock.stop();
    EXPECT_TRUE(clock.isFinished());
    EXPECT_FLOAT_EQ(clock.getTime(), 0.0f);
    clock.start();
    EXPECT_EQ(g_fake.calls,
              (std::vector<std::string>{"SetTime stream 1000", "SetPaused 3 0", "SetPaused 3 1",
                                        "SetTime stream 1000", "SetPaused 3 0"}));
    g_fake.playing = false;
    m_counter.advance(0.25);
    EXPECT_FLOAT_EQ(clock.getTime(), 1.25f);
}

}  // namespace
}  // namespace Vexa
