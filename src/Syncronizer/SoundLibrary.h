#pragma once
// The table of sound-library entry points the music clock calls. The
// platform's sound layer provides one (Platform/Sound.h); tests provide their
// own. Stream handles are opaque; channel numbers are the library's.
#include <memory>

struct FSOUND_STREAM;

namespace Vexa {

// Values the music clock passes.
namespace SoundConstants {
constexpr int kFree = -1;                  // FSOUND_FREE: any free channel
constexpr int kStereoPan = -1;             // FSOUND_STEREOPAN
constexpr int kAllChannels = -3;           // FSOUND_ALL
constexpr unsigned kStreamMode = 0x20130;  // 16-bit signed mono, accurate MPEG seeking
}  // namespace SoundConstants

class SoundLibrary {
public:
    virtual float FSOUND_GetVersion() = 0;
    virtual bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags) = 0;
    virtual void FSOUND_Close() = 0;
    virtual int FSOUND_GetError() = 0;
    virtual void FSOUND_Stream_SetBufferSize(int milliseconds) = 0;
    virtual FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* name, unsigned mode, int length) = 0;
    virtual int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, void* dsp,
                                     bool startPaused) = 0;
    virtual void FSOUND_SetPan(int channel, int pan) = 0;
    virtual void FSOUND_SetVolume(int channel, int volume) = 0;
    virtual void FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int milliseconds) = 0;
    virtual void FSOUND_SetPaused(int channel, bool paused) = 0;
    virtual bool FSOUND_IsPlaying(int channel) = 0;
    virtual int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) = 0;
    virtual void FSOUND_Stream_Close(FSOUND_STREAM* stream) = 0;
    virtual ~SoundLibrary() = default;
};

// Loads the library and resolves its table; null when it cannot be loaded
// or lacks an entry point.
using SoundLibraryLoader = std::unique_ptr<SoundLibrary> (*)();

}  // namespace Vexa
