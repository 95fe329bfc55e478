#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "Platform/Sound.h"
#include "Platform/WavFile.h"
#include "Support/TestKit.h"

namespace Vexa::Platform {
namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kMode = SoundConstants::kStreamMode;

// Waits up to five seconds for `done`; answers whether it came true.
template <typename F>
bool waitFor(F done) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

class SoundLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Two seconds at half the mixing rate, so the mixer resamples.
        ASSERT_TRUE(Testing::writeToneWav(m_wav, 44100, 22050, 1));
    }
    void TearDown() override { FSOUND_Close(); }
    TempDir m_dir;
    std::string m_wav = m_dir / "tone.wav";
};

// The position moves only while the channel plays and stops at the end of
// the stream. How fast it moves is the device's affair: on a loaded machine
// a device may take frames in bursts, so no bound against the wall clock.
TEST_F(SoundLayerTest, PositionFollowsTheFramesTheDeviceConsumes) {
    ASSERT_TRUE(FSOUND_Init(44100, 1, 0));
    FSOUND_Stream_SetBufferSize(50);
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(m_wav.c_str(), kMode, 0);
    ASSERT_NE(stream, nullptr);
    const int channel = FSOUND_Stream_PlayEx(SoundConstants::kFree, stream, nullptr, true);
    ASSERT_EQ(channel, 0);
    FSOUND_SetPan(channel, SoundConstants::kStereoPan);
    FSOUND_SetVolume(SoundConstants::kAllChannels, 160);
    EXPECT_TRUE(FSOUND_IsPlaying(channel));

    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 0) << "a paused channel consumes nothing";

    FSOUND_SetPaused(channel, false);
    ASSERT_TRUE(waitFor([&] { return FSOUND_Stream_GetTime(stream) >= 300; }));

    FSOUND_SetPaused(channel, true);
    const int pausedAt = FSOUND_Stream_GetTime(stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), pausedAt);

    FSOUND_Stream_SetTime(stream, 1500);
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 1500);
    FSOUND_Stream_SetTime(stream, 1900);
    FSOUND_SetPaused(channel, false);
    ASSERT_TRUE(waitFor([&] { return !FSOUND_IsPlaying(channel); }));
    EXPECT_EQ(FSOUND_Stream_GetTime(stream), 2000);

    // Seeking back into an ended stream plays it again.
    FSOUND_Stream_SetTime(stream, 1800);
    EXPECT_TRUE(FSOUND_IsPlaying(channel));
    FSOUND_Stream_Close(stream);
    EXPECT_FALSE(FSOUND_IsPlaying(channel));
}

TEST_F(SoundLayerTest, ReportsFilesItCannotOpen) {
    struct Case {
        std::string name;
        int error;
    };
    const std::vector<Case> cases = {
        {m_dir / "no_such_file.mp3", FMOD_ERR_FILE_NOTFOUND},
        {m_dir.write("not_audio.ogg", "This is a script, not music.\n"), FMOD_ERR_FILE_FORMAT},
        {m_dir.write("empty.wav", ""), FMOD_ERR_FILE_FORMAT},
        {m_dir.write("truncated.wav", "RIFF\x24\x00\x00\x00WAVEfmt "), FMOD_ERR_FILE_FORMAT},
        {m_dir.path(), FMOD_ERR_FILE_NOTFOUND},
    };
    EXPECT_EQ(FSOUND_Stream_OpenFile(m_wav.c_str(), kMode, 0), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    ASSERT_TRUE(FSOUND_Init(44100, 1, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FSOUND_Stream_OpenFile(c.name.c_str(), kMode, 0), nullptr);
        EXPECT_EQ(FSOUND_GetError(), c.error);
    }
}

// With one software channel a second stream finds no free channel until the
// first has ended; a second start of the device is refused.
TEST_F(SoundLayerTest, OneChannelTakesOneStreamAtATime) {
    ASSERT_TRUE(FSOUND_Init(44100, 1, 0));
    EXPECT_FALSE(FSOUND_Init(44100, 1, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_BUSY);
    FSOUND_STREAM* first = FSOUND_Stream_OpenFile(m_wav.c_str(), kMode, 0);
    FSOUND_STREAM* second = FSOUND_Stream_OpenFile(m_wav.c_str(), kMode, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(FSOUND_Stream_PlayEx(SoundConstants::kFree, first, nullptr, true), 0);
    EXPECT_EQ(FSOUND_Stream_PlayEx(SoundConstants::kFree, second, nullptr, true), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_CHANNEL_ALLOC);
    FSOUND_Stream_SetTime(first, 5000);
    EXPECT_EQ(FSOUND_Stream_GetTime(first), 2000);
    EXPECT_EQ(FSOUND_Stream_PlayEx(SoundConstants::kFree, second, nullptr, true), 0);
    // Closing the device takes the open streams with it.
    FSOUND_Close();
    EXPECT_FALSE(FSOUND_IsPlaying(0));
    EXPECT_TRUE(FSOUND_Init(44100, 1, 0));
}

}  // namespace
}  // namespace Vexa::Platform
