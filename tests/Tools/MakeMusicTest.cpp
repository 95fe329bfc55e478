#include <gtest/gtest.h>

#include <string>

#include "Platform/Sound.h"

namespace Vexa::Platform {
namespace {

// The example's music, as tools/make_music writes it, plays through our own
// sound layer for its whole length: a seek far past the end stops at 75 s.
TEST(MakeMusicTest, ExampleMusicOpensWithTheSoundLayerAndLastsSeventyFiveSeconds) {
    ASSERT_TRUE(FSOUND_Init(44100, 1, 0));
    const std::string music = std::string(VEXA_DEMO_DATA) + "/music.ogg";
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(music.c_str(), SoundConstants::kStreamMode, 0);
    ASSERT_NE(stream, nullptr) << FSOUND_GetError();
    FSOUND_Stream_SetTime(stream, 1000000);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 75000);
    FSOUND_Stream_Close(stream);
    FSOUND_Close();
}

}  // namespace
}  // namespace Vexa::Platform
