#pragma once
// The sound layer: the FSOUND calls the music clock makes, played through the
// platform's audio output and decoded from WAV, FLAC, Ogg Vorbis, Opus or MP3.
//
// One output device mixes a fixed pool of software channels; a stream plays
// on one channel. A stream's position counts the frames the device has taken
// from it, so it advances only as fast as the sound is really played. The
// device runs on a thread of its own; every call here locks it briefly.
#include <memory>

#include "Syncronizer/SoundLibrary.h"

struct FSOUND_STREAM;

namespace Vexa::Platform {

// Error codes reported by FSOUND_GetError.
enum FmodError {
    FMOD_ERR_NONE = 0,
    FMOD_ERR_BUSY = 1,
    FMOD_ERR_UNINITIALIZED = 2,
    FMOD_ERR_INIT = 3,
    FMOD_ERR_ALLOCATED = 4,
    FMOD_ERR_PLAY = 5,
    FMOD_ERR_OUTPUT_FORMAT = 6,
    FMOD_ERR_COOPERATIVELEVEL = 7,
    FMOD_ERR_CREATEBUFFER = 8,
    FMOD_ERR_FILE_NOTFOUND = 9,
    FMOD_ERR_FILE_FORMAT = 10,
    FMOD_ERR_FILE_BAD = 11,
    FMOD_ERR_MEMORY = 12,
    FMOD_ERR_VERSION = 13,
    FMOD_ERR_INVALID_PARAM = 14,
    FMOD_ERR_NO_EAX = 15,
    FMOD_ERR_CHANNEL_ALLOC = 16,
    FMOD_ERR_RECORD = 17,
    FMOD_ERR_MEDIAPLAYER = 18,
};

float FSOUND_GetVersion();
// Opens the output device at `mixRate` with `maxSoftwareChannels` channels.
bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags);
// Closes every stream and the device. Safe to call when not started.
void FSOUND_Close();
int FSOUND_GetError();
// How much a stream opened afterwards decodes at a time.
void FSOUND_Stream_SetBufferSize(int milliseconds);
// Null on failure: FMOD_ERR_FILE_NOTFOUND, FMOD_ERR_FILE_FORMAT, ...
FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* name, unsigned mode, int length);
// `channel` -1 takes any free channel. Answers the channel or -1.
int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, void* dsp, bool startPaused);
// `pan` 0 (left) to 255 (right), or -1 for the stream's own stereo image.
void FSOUND_SetPan(int channel, int pan);
// `volume` 0 to 255; `channel` -3 sets every channel.
void FSOUND_SetVolume(int channel, int volume);
void FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int milliseconds);
void FSOUND_SetPaused(int channel, bool paused);
// True while a stream is on the channel and has not ended, paused or not.
bool FSOUND_IsPlaying(int channel);
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream);
void FSOUND_Stream_Close(FSOUND_STREAM* stream);

// The layer above as the music clock's table of entry points.
std::unique_ptr<SoundLibrary> loadSoundLibrary();

}  // namespace Vexa::Platform
