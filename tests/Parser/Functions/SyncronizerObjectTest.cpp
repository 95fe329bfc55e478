#include "Parser/Functions/SyncronizerObject.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "Parser/Exceptions.h"
#include "Parser/IniFunction.h"
#include "Platform/WavFile.h"
#include "Syncronizer/MusicSyncronizer.h"
#include "Syncronizer/TimerSyncronizer.h"

namespace Vexa {
namespace {

struct Parameter {
    const char* name;
    IniObject* value;
};

// Calls "Syncronizer" with a block binding `parameters` as its argument and
// scope. The result is touched, so the next collection frees it.
SyncronizerObject* callSyncronizer(const std::vector<Parameter>& parameters) {
    auto* block = new BlockObject();
    for (const Parameter& p : parameters) block->bind(p.name, p.value, false);
    block->addRef();
    IniObject* result = nullptr;
    try {
        result = IniFunction::call("Syncronizer", block, block);
    } catch (...) {
        block->release();
        throw;
    }
    block->release();
    EXPECT_TRUE(IniObject::isOfType(result, Types::Syncronizer()));
    result->touch();
    return static_cast<SyncronizerObject*>(result);
}

// The exception "Syncronizer" raises for `parameters`.
template <typename E>
E callFailure(const std::vector<Parameter>& parameters) {
    try {
        callSyncronizer(parameters);
    } catch (const E& e) {
        return e;
    }
    ADD_FAILURE() << "no exception";
    return E("", "", 0);
}

TEST(SyncronizerFunction, WithoutMusicBuildsTheTimerClock) {
    struct Case {
        const char* name;
        std::vector<Parameter> parameters;
        float firstTime;
        bool finishedAtOnce;
    };
    const std::vector<Case> cases = {
        {"defaults", {}, 0.0f, false},
        {"start", {{"start", new NumberObject(10.0f)}, {"speed", new NumberObject(2.0f)}}, 10.0f,
         false},
        {"stop below start", {{"start", new NumberObject(5.0f)}, {"stop", new NumberObject(4.0f)}},
         0.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SyncronizerObject* object = callSyncronizer(c.parameters);
        Syncronizer* clock = object->syncronizer();
        ASSERT_NE(dynamic_cast<TimerSyncronizer*>(clock), nullptr);
        EXPECT_TRUE(clock->isFinished());
        EXPECT_EQ(clock->getTime(), 0.0f);
        clock->start();
        const float t = clock->getTime();
        EXPECT_EQ(clock->isFinished(), c.finishedAtOnce);
        EXPECT_GE(t, c.firstTime);
        EXPECT_LT(t, c.firstTime + 1.0f);
    }
    collectGarbage();
}

TEST(SyncronizerFunction, MusicSelectsTheMusicClockOverTheSoundLayer) {
    const std::string wav = ::testing::TempDir() + "vexa_sync_" + std::to_string(::getpid()) + ".wav";
    ASSERT_TRUE(Testing::writeToneWav(wav, 44100, 44100, 2));
    SyncronizerObject* object = callSyncronizer({{"music", new StringObject(wav)},
                                                 {"start", new NumberObject(0.5f)},
                                                 {"speed", new NumberObject(100.0f)}});
    Syncronizer* clock = object->syncronizer();
    ASSERT_NE(dynamic_cast<MusicSyncronizer*>(clock), nullptr);
    clock->start();
    const float t = clock->getTime();
    EXPECT_GE(t, 0.5f);
    EXPECT_LT(t, 1.0f) << "speed is ignored";
    collectGarbage();
    EXPECT_FALSE(MusicSyncronizer::isLibraryLoaded());
    std::remove(wav.c_str());
}

TEST(SyncronizerFunction, MusicFailuresBecomeFunctionErrors) {
    const std::string dir = ::testing::TempDir();
    const std::string text = dir + "vexa_sync_" + std::to_string(::getpid()) + ".txt";
    std::FILE* file = std::fopen(text.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("not music", file);
    std::fclose(file);
    struct Case {
        std::string music;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"", "Cannot find ."},
        {dir + "vexa_no_such.ogg", "Cannot find " + dir + "vexa_no_such.ogg."},
        {text, "Unknown file format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.music);
        const auto e = callFailure<FunctionParseException>({{"music", new StringObject(c.music)}});
        EXPECT_EQ(e.message(), c.message);
        EXPECT_STREQ(e.unit(), "Parser/Functions/SyncronizerObject");
        EXPECT_FALSE(MusicSyncronizer::isLibraryLoaded());
    }
    std::remove(text.c_str());
    collectGarbage();
}

TEST(SyncronizerFunction, ParameterOfTheWrongTypeIsAParseError) {
    const auto e = callFailure<ParseException>({{"music", new NumberObject(1.0f)}});
    EXPECT_EQ(e.message(), "music is Number. String was expected.");
    collectGarbage();
}

}  // namespace
}  // namespace Vexa
