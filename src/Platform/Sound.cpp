#include "Platform/Sound.h"

#include <SDL.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "Platform/FileSystem.h"

// A stream: a decoder over one file and its playing position. The position
// lies between two decoded frames, `current` (file frame `frame`) and
// `next`; `fraction` is how far the mixer has moved from one to the other.
// Everything below `file` is touched by the device thread while the stream
// sits on a channel, so it changes only with the device locked.
struct FSOUND_STREAM {
    FSOUND_STREAM() = default;
    FSOUND_STREAM(const FSOUND_STREAM&) = delete;
    FSOUND_STREAM& operator=(const FSOUND_STREAM&) = delete;
    ~FSOUND_STREAM() {
        if (file) sf_close(file);
    }

    SNDFILE* file = nullptr;
    int channels = 0;
    int rate = 0;
    int64_t length = 0;         // frames in the file
    std::vector<float> buffer;  // decoded frames, interleaved as in the file
    int64_t bufferFrames = 0;
    int64_t bufferIndex = 0;
    float current[2] = {};
    float next[2] = {};
    bool nextValid = false;
    int64_t frame = 0;
    double fraction = 0.0;
    bool ended = false;
};

namespace Vexa::Platform {

namespace {

constexpr float kVersion = 3.63f;
constexpr int kFree = -1;
constexpr int kStereoPan = -1;
constexpr int kAll = -3;
constexpr int kDeviceFrames = 1024;
constexpr int kDefaultBufferMs = 200;
constexpr int kMinDecodeFrames = 256;

struct Channel {
    FSOUND_STREAM* stream = nullptr;
    bool paused = false;
    int volume = 255;
    int pan = kStereoPan;
};

struct State {
    bool initialized = false;
    SDL_AudioDeviceID device = 0;
    int mixRate = 0;
    std::vector<Channel> channels;
    // Every open stream, owned here and found by the handle scripts hold.
    std::map<const FSOUND_STREAM*, std::unique_ptr<FSOUND_STREAM>> streams;
    int error = FMOD_ERR_NONE;
    int bufferMs = kDefaultBufferMs;
};

State& state() {
    static State s;
    return s;
}

// Holds the device's lock, keeping the mixer out while channels and stream
// positions change.
class DeviceLock {
public:
    DeviceLock() : m_device(state().device) {
        if (m_device) SDL_LockAudioDevice(m_device);
    }
    ~DeviceLock() {
        if (m_device) SDL_UnlockAudioDevice(m_device);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID m_device;
};

bool fail(int code) {
    state().error = code;
    return false;
}

FSOUND_STREAM* noStream(int code) {
    fail(code);
    return nullptr;
}

int noChannel(int code) {
    fail(code);
    return -1;
}

bool isStream(const FSOUND_STREAM* stream) { return stream && state().streams.count(stream) != 0; }

Channel* channelAt(int channel) {
    auto& channels = state().channels;
    if (channel < 0 || channel >= static_cast<int>(channels.size())) return nullptr;
    return &channels[static_cast<std::size_t>(channel)];
}

// Applies `apply` to one channel, or to all of them for kAll.
template <typename F>
void forChannels(int channel, F apply) {
    if (!state().initialized) {
        fail(FMOD_ERR_UNINITIALIZED);
        return;
    }
    DeviceLock lock;
    if (channel == kAll) {
        for (Channel& c : state().channels) apply(c);
    } else if (Channel* c = channelAt(channel)) {
        apply(*c);
    } else {
        fail(FMOD_ERR_INVALID_PARAM);
    }
}

// The next decoded frame as left and right; a mono file feeds both sides.
// False at the end of the file.
bool readFrame(FSOUND_STREAM& s, float* out) {
    if (s.bufferIndex >= s.bufferFrames) {
        const int64_t capacity = static_cast<int64_t>(s.buffer.size()) / s.channels;
        const sf_count_t got = sf_readf_float(s.file, s.buffer.data(), capacity);
        if (got <= 0) return false;
        s.bufferFrames = got;
        s.bufferIndex = 0;
    }
    const float* in = s.buffer.data() + s.bufferIndex * s.channels;
    out[0] = in[0];
    out[1] = s.channels > 1 ? in[1] : in[0];
    ++s.bufferIndex;
    return true;
}

// Puts the stream at `frame` of its file; at or past the end it stays ended
// at the end. False when the decoder cannot seek there.
bool seek(FSOUND_STREAM& s, int64_t frame) {
    if (frame >= s.length) {
        s.frame = s.length;
        s.fraction = 0.0;
        s.ended = true;
        return true;
    }
    if (sf_seek(s.file, frame, SEEK_SET) < 0) return false;
    s.bufferFrames = 0;
    s.bufferIndex = 0;
    s.frame = frame;
    s.fraction = 0.0;
    s.ended = !readFrame(s, s.current);
    s.nextValid = !s.ended && readFrame(s, s.next);
    if (!s.nextValid) s.next[0] = s.next[1] = 0.0f;
    return true;
}

// Moves the position on by `step` file frames, decoding as it goes.
void advance(FSOUND_STREAM& s, double step) {
    s.fraction += step;
    while (s.fraction >= 1.0 && !s.ended) {
        s.fraction -= 1.0;
        ++s.frame;
        if (!s.nextValid) {
            s.ended = true;
            s.fraction = 0.0;
            return;
        }
        s.current[0] = s.next[0];
        s.current[1] = s.next[1];
        s.nextValid = readFrame(s, s.next);
        if (!s.nextValid) s.next[0] = s.next[1] = 0.0f;
    }
}

// The device callback: mixes every running channel into the stereo float
// output, resampling each stream linearly to the mixing rate. The frames
// taken here are what moves each stream's position.
void mix(void*, Uint8* bytes, int length) {
    State& st = state();
    float* out = reinterpret_cast<float*>(bytes);
    const int frames = length / static_cast<int>(2 * sizeof(float));
    std::fill(out, out + 2 * frames, 0.0f);
    for (Channel& c : st.channels) {
        FSOUND_STREAM* s = c.stream;
        if (!s || c.paused || s->ended) continue;
        const float gain = static_cast<float>(c.volume) / 255.0f;
        float left = gain;
        float right = gain;
        if (c.pan != kStereoPan) {
            right = gain * static_cast<float>(c.pan) / 255.0f;
            left = gain - right;
        }
        const double step = static_cast<double>(s->rate) / st.mixRate;
        for (int i = 0; i < frames && !s->ended; ++i) {
            const float f = static_cast<float>(s->fraction);
            out[2 * i] += (s->current[0] + (s->next[0] - s->current[0]) * f) * left;
            out[2 * i + 1] += (s->current[1] + (s->next[1] - s->current[1]) * f) * right;
            advance(*s, step);
        }
    }
}

SDL_AudioDeviceID openDevice(int mixRate) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return 0;
    SDL_AudioSpec want{};
    want.freq = mixRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kDeviceFrames;
    want.callback = mix;
    SDL_AudioSpec have{};
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return device;
}

// The default output, or the silent dummy output when no device can be
// opened, so that a production still runs (and keeps time) on a machine
// without sound.
SDL_AudioDeviceID openOutput(int mixRate) {
    SDL_AudioDeviceID device = openDevice(mixRate);
    if (device) return device;
    SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    device = openDevice(mixRate);
    SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return device;
}

class PlatformSoundLibrary : public SoundLibrary {
public:
    float FSOUND_GetVersion() override { return Platform::FSOUND_GetVersion(); }
    bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned flags) override {
        return Platform::FSOUND_Init(mixRate, maxSoftwareChannels, flags);
    }
    void FSOUND_Close() override { Platform::FSOUND_Close(); }
    int FSOUND_GetError() override { return Platform::FSOUND_GetError(); }
    void FSOUND_Stream_SetBufferSize(int milliseconds) override {
        Platform::FSOUND_Stream_SetBufferSize(milliseconds);
    }
    FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* name, unsigned mode, int length) override {
        return Platform::FSOUND_Stream_OpenFile(name, mode, length);
    }
    int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, void* dsp,
                             bool startPaused) override {
        return Platform::FSOUND_Stream_PlayEx(channel, stream, dsp, startPaused);
    }
    void FSOUND_SetPan(int channel, int pan) override { Platform::FSOUND_SetPan(channel, pan); }
    void FSOUND_SetVolume(int channel, int volume) override {
        Platform::FSOUND_SetVolume(channel, volume);
    }
    void FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int milliseconds) override {
        Platform::FSOUND_Stream_SetTime(stream, milliseconds);
    }
    void FSOUND_SetPaused(int channel, bool paused) override {
        Platform::FSOUND_SetPaused(channel, paused);
    }
    bool FSOUND_IsPlaying(int channel) override { return Platform::FSOUND_IsPlaying(channel); }
    int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) override {
        return Platform::FSOUND_Stream_GetTime(stream);
    }
    void FSOUND_Stream_Close(FSOUND_STREAM* stream) override {
        Platform::FSOUND_Stream_Close(stream);
    }
};

}  // namespace

float FSOUND_GetVersion() { return kVersion; }

// Opens the output and starts its callback; channels begin empty, so the
// device plays silence until a stream is put on one.
bool FSOUND_Init(int mixRate, int maxSoftwareChannels, unsigned) {
    State& s = state();
    if (s.initialized) return fail(FMOD_ERR_BUSY);
    if (mixRate <= 0 || maxSoftwareChannels < 1) return fail(FMOD_ERR_INVALID_PARAM);
    s.channels.assign(static_cast<std::size_t>(maxSoftwareChannels), Channel{});
    s.mixRate = mixRate;
    s.device = openOutput(mixRate);
    if (!s.device) {
        s.channels.clear();
        return fail(FMOD_ERR_INIT);
    }
    s.initialized = true;
    s.error = FMOD_ERR_NONE;
    SDL_PauseAudioDevice(s.device, 0);
    return true;
}

// Stops the device first, so no callback runs while the streams go. The last
// error stays readable after closing.
void FSOUND_Close() {
    State& s = state();
    if (!s.initialized) return;
    SDL_CloseAudioDevice(s.device);
    s.device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    s.channels.clear();
    s.streams.clear();
    s.initialized = false;
}

int FSOUND_GetError() { return state().error; }

void FSOUND_Stream_SetBufferSize(int milliseconds) {
    if (milliseconds <= 0) {
        fail(FMOD_ERR_INVALID_PARAM);
        return;
    }
    state().bufferMs = milliseconds;
}

// Opens a file the decoder recognises and positions it at its start. The
// stream always plays the file's own channels (mono or the first two), so
// the sample-format bits of `mode` change nothing; `length` is unused for
// files.
FSOUND_STREAM* FSOUND_Stream_OpenFile(const char* name, unsigned, int) {
    State& s = state();
    if (!s.initialized) return noStream(FMOD_ERR_UNINITIALIZED);
    if (!name) return noStream(FMOD_ERR_INVALID_PARAM);
    const std::string path = resolvePath(name);
    if (path.empty()) return noStream(FMOD_ERR_FILE_NOTFOUND);

    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        const int code = sf_error(nullptr);
        const bool unknown =
            code == SF_ERR_UNRECOGNISED_FORMAT || code == SF_ERR_UNSUPPORTED_ENCODING;
        return noStream(unknown ? FMOD_ERR_FILE_FORMAT : FMOD_ERR_FILE_BAD);
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        return noStream(FMOD_ERR_FILE_FORMAT);
    }
    auto stream = std::make_unique<FSOUND_STREAM>();
    stream->file = file;
    stream->channels = info.channels;
    stream->rate = info.samplerate;
    stream->length = info.frames;
    const int decodeFrames =
        std::max(kMinDecodeFrames, static_cast<int>(int64_t{s.bufferMs} * info.samplerate / 1000));
    stream->buffer.assign(static_cast<std::size_t>(decodeFrames) * info.channels, 0.0f);
    if (!seek(*stream, 0)) return noStream(FMOD_ERR_FILE_BAD);
    FSOUND_STREAM* const handle = stream.get();
    s.streams.emplace(handle, std::move(stream));
    s.error = FMOD_ERR_NONE;
    return handle;
}

// A stream sits on one channel at a time; a free channel is an empty one or
// one whose stream has ended.
int FSOUND_Stream_PlayEx(int channel, FSOUND_STREAM* stream, void*, bool startPaused) {
    State& s = state();
    if (!s.initialized) return noChannel(FMOD_ERR_UNINITIALIZED);
    if (!isStream(stream)) return noChannel(FMOD_ERR_INVALID_PARAM);
    DeviceLock lock;
    int chosen = -1;
    if (channel == kFree) {
        for (std::size_t i = 0; i < s.channels.size() && chosen < 0; ++i) {
            const FSOUND_STREAM* held = s.channels[i].stream;
            if (!held || held == stream || held->ended) chosen = static_cast<int>(i);
        }
        if (chosen < 0) return noChannel(FMOD_ERR_CHANNEL_ALLOC);
    } else if (channelAt(channel)) {
        chosen = channel;
    } else {
        return noChannel(FMOD_ERR_INVALID_PARAM);
    }
    for (Channel& c : s.channels)
        if (c.stream == stream) c.stream = nullptr;
    Channel& c = s.channels[static_cast<std::size_t>(chosen)];
    c = Channel{};
    c.stream = stream;
    c.paused = startPaused;
    s.error = FMOD_ERR_NONE;
    return chosen;
}

void FSOUND_SetPan(int channel, int pan) {
    if (pan != kStereoPan && (pan < 0 || pan > 255)) {
        fail(FMOD_ERR_INVALID_PARAM);
        return;
    }
    forChannels(channel, [pan](Channel& c) { c.pan = pan; });
}

void FSOUND_SetVolume(int channel, int volume) {
    const int clamped = std::clamp(volume, 0, 255);
    forChannels(channel, [clamped](Channel& c) { c.volume = clamped; });
}

// Seeks to the frame at `milliseconds`; past the end the stream ends there.
void FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int milliseconds) {
    if (!isStream(stream)) {
        fail(FMOD_ERR_INVALID_PARAM);
        return;
    }
    DeviceLock lock;
    const int64_t frame = int64_t{std::max(milliseconds, 0)} * stream->rate / 1000;
    if (!seek(*stream, frame)) fail(FMOD_ERR_FILE_BAD);
}

void FSOUND_SetPaused(int channel, bool paused) {
    forChannels(channel, [paused](Channel& c) { c.paused = paused; });
}

bool FSOUND_IsPlaying(int channel) {
    if (!state().initialized) return false;
    DeviceLock lock;
    const Channel* c = channelAt(channel);
    return c && c->stream && !c->stream->ended;
}

// The position the device has played up to, in whole milliseconds.
int FSOUND_Stream_GetTime(FSOUND_STREAM* stream) {
    if (!isStream(stream)) {
        fail(FMOD_ERR_INVALID_PARAM);
        return 0;
    }
    DeviceLock lock;
    const double frames = static_cast<double>(stream->frame) + stream->fraction;
    return static_cast<int>(frames * 1000.0 / stream->rate);
}

void FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    if (!isStream(stream)) {
        fail(FMOD_ERR_INVALID_PARAM);
        return;
    }
    {
        DeviceLock lock;
        for (Channel& c : state().channels)
            if (c.stream == stream) c.stream = nullptr;
    }
    state().streams.erase(stream);
}

std::unique_ptr<SoundLibrary> loadSoundLibrary() {
    return std::make_unique<PlatformSoundLibrary>();
}

}  // namespace Vexa::Platform
