// The clock a script makes: the timer clock from its parameters, the music
// clock when music is named. Its failures are in ScriptErrorsTest.
#include <gtest/gtest.h>

#include <string>

#include "Parser/Functions/SyncronizerObject.h"
#include "Platform/WavFile.h"
#include "Support/TestKit.h"
#include "Syncronizer/MusicSyncronizer.h"
#include "Syncronizer/TimerSyncronizer.h"

namespace Vexa {
namespace {

class SyncronizerFunctionTest : public Testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        setSyncronizerCounter(&m_counter);
    }
    void TearDown() override {
        setSyncronizerCounter(nullptr);
        ScriptTest::TearDown();
    }
    Syncronizer* clock(const std::string& expression) {
        IniObject* object = eval(expression);
        EXPECT_TRUE(IniObject::isOfType(object, Types::Syncronizer())) << expression;
        return static_cast<SyncronizerObject*>(object)->syncronizer();
    }
    Testing::FakeCounter m_counter;
};

TEST_F(SyncronizerFunctionTest, WithoutMusicBuildsTheTimerClock) {
    const struct {
        const char* expression;
        float afterOneSecond;
        bool finished;
    } cases[] = {
        {"Syncronizer { }", 1.0f, false},
        {"Syncronizer { start = 10 speed = 2 }", 12.0f, false},
        {"Syncronizer { start = 2 stop = 2.5 }", 0.0f, true},
    };
    for (const auto& c : cases) {
        Syncronizer* timer = clock(c.expression);
        ASSERT_NE(dynamic_cast<TimerSyncronizer*>(timer), nullptr) << c.expression;
        EXPECT_TRUE(timer->isFinished());
        timer->start();
        m_counter.advance(1.0);
        EXPECT_EQ(timer->getTime(), c.afterOneSecond) << c.expression;
        EXPECT_EQ(timer->isFinished(), c.finished) << c.expression;
    }
}

TEST_F(SyncronizerFunctionTest, MusicSelectsTheMusicClockOverTheSoundLayer) {
    TempDir dir;
    ASSERT_TRUE(Testing::writeToneWav(dir / "music.wav", 44100, 44100, 2));
    EXPECT_NE(dynamic_cast<MusicSyncronizer*>(
                  clock("Syncronizer { music = \"" + (dir / "music.wav") + "\" }")),
              nullptr);
    reset();
    EXPECT_FALSE(MusicSyncronizer::isLibraryLoaded());
}

}  // namespace
}  // namespace Vexa
