#include "Syncronizer/MusicSyncronizer.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "Parser/Exceptions.h"
#include "Platform/FileSystem.h"
#include "Platform/Sound.h"

namespace Vexa {

static const char* const kUnit = "Syncronizer/MusicSyncronizer";

namespace {

const char* const kLibraryName = "fmod.dll";
constexpr float kMinVersion = 3.63f;
constexpr float kMaxDrift = 0.1f;

// Texts of the library's error codes, indexed by code.
const char* const kErrorTexts[] = {
    "No errors",
    "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first.",
    "This command failed because FSOUND_Init was not called",
    "Error initializing output device.",
    "The output device is already in use and cannot be reused.",
    "Playing the sound failed.",
    "Soundcard does not support the features needed for this soundsystem (16bit stereo output)",
    "Error setting cooperative level for hardware.",
    "Error creating hardware sound buffer.",
    "File not found",
    "Unknown file format",
    "Error loading file",
    "Not enough memory ",
    "The version number of this file format is not supported",
    "An invalid parameter was passed to this function",
    "Tried to use an EAX command on a non EAX enabled channel or output.",
    "Failed to allocate a new channel",
    "Recording not supported on this device",
    "Required Mediaplayer codec is not installed",
};
static_assert(sizeof(kErrorTexts) / sizeof(kErrorTexts[0]) == 19, "one text per error code");

const char* errorText(int code) {
    const int count = static_cast<int>(sizeof(kErrorTexts) / sizeof(kErrorTexts[0]));
    return code >= 0 && code < count ? kErrorTexts[code] : "Unknown error";
}

// The process-wide table of entry points, loaded at most once at a time.
std::unique_ptr<SoundLibrary>& library() {
    static std::unique_ptr<SoundLibrary> table;
    return table;
}

SoundLibraryLoader& loader() {
    static SoundLibraryLoader current = &Platform::loadSoundLibrary;
    return current;
}

// Loads the library, checks its version and starts it. A library found
// loaded is used as it is. A failed start-up leaves nothing loaded.
void startLibrary() {
    auto& table = library();
    if (table) return;
    std::unique_ptr<SoundLibrary> loaded = loader()();
    if (!loaded)
        VEXA_THROW(Exception, std::string("FMOD library '") + kLibraryName + "' not found.");
    if (loaded->FSOUND_GetVersion() < kMinVersion) {
        std::ostringstream text;
        text << "fatal: FMOD version too old, get at least " << kMinVersion;
        VEXA_THROW(Exception, text.str());
    }
    if (!loaded->FSOUND_Init(44100, 1, 0)) {
        loaded->FSOUND_Close();
        VEXA_THROW(Exception, errorText(loaded->FSOUND_GetError()));
    }
    table = std::move(loaded);
}

// Gives up a library that a failed construction started, so that the next
// music clock starts from a clean state. The library was closed already when
// the failure came from the library itself.
void abandonLibrary(bool closed) {
    auto& table = library();
    if (!table) return;
    if (!closed) table->FSOUND_Close();
    table.reset();
}

}  // namespace

SoundLibraryLoader MusicSyncronizer::setLibraryLoader(SoundLibraryLoader newLoader) {
    SoundLibraryLoader previous = loader();
    loader() = newLoader ? newLoader : &Platform::loadSoundLibrary;
    return previous;
}

bool MusicSyncronizer::isLibraryLoaded() { return library() != nullptr; }

// Starts the library on first use, then opens the music as a stream that
// sits paused at its beginning on a channel of its own, played in stereo.
MusicSyncronizer::MusicSyncronizer(float speed, float start, float stop, const std::string& music,
                                   const Counter* counter)
    : m_timer(counter), m_speed(speed), m_start(start), m_stop(stop), m_music(music) {
    startLibrary();
    SoundLibrary& fmod = *library();
    m_timer.reset();
    fmod.FSOUND_Stream_SetBufferSize(50);

    std::FILE* file = Platform::openFile(m_music, "rb");
    if (!file) {
        abandonLibrary(false);
        VEXA_THROW(Exception, "Cannot find " + m_music + ".");
    }
    std::fclose(file);

    m_stream = fmod.FSOUND_Stream_OpenFile(m_music.c_str(), SoundConstants::kStreamMode, 0);
    if (!m_stream) {
        fmod.FSOUND_Close();
        const std::string text = errorText(fmod.FSOUND_GetError());
        abandonLibrary(true);
        VEXA_THROW(Exception, text);
    }
    m_channel = fmod.FSOUND_Stream_PlayEx(SoundConstants::kFree, m_stream, nullptr, true);
    if (m_channel == -1) {
        fmod.FSOUND_Close();
        const std::string text = errorText(fmod.FSOUND_GetError());
        abandonLibrary(true);
        VEXA_THROW(Exception, text);
    }
    fmod.FSOUND_SetPan(m_channel, SoundConstants::kStereoPan);
    fmod.FSOUND_SetVolume(SoundConstants::kAllChannels, 160);
}

// Closes the stream and the library and unloads it; a library that another
// clock has unloaded already is left alone.
MusicSyncronizer::~MusicSyncronizer() {
    auto& table = library();
    if (!table) return;
    table->FSOUND_Stream_Close(m_stream);
    table->FSOUND_Close();
    table.reset();
}

// From finished the clock and the music begin again at `start`; from paused
// the music seeks to the paused time before both resume.
void MusicSyncronizer::start() {
    SoundLibrary* fmod = library().get();
    if (m_finished) {
        m_startStamp = static_cast<float>(m_timer.elapsed());
        m_offset = 0.0f;
        m_finished = false;
        if (fmod) {
            fmod->FSOUND_Stream_SetTime(m_stream, static_cast<int>(m_start * 1000.0));
            fmod->FSOUND_SetPaused(m_channel, false);
        }
    } else if (m_paused) {
        const float t = getTime();
        if (fmod) fmod->FSOUND_Stream_SetTime(m_stream, static_cast<int>(t * 1000.0));
        m_offset += static_cast<float>(m_timer.elapsed()) - m_pauseStamp;
        m_paused = false;
        if (fmod) fmod->FSOUND_SetPaused(m_channel, false);
    }
}

void MusicSyncronizer::pause() {
    m_pauseStamp = static_cast<float>(m_timer.elapsed());
    m_paused = true;
    if (SoundLibrary* fmod = library().get()) fmod->FSOUND_SetPaused(m_channel, true);
}

void MusicSyncronizer::stop() {
    m_finished = true;
    m_paused = false;
    if (SoundLibrary* fmod = library().get()) fmod->FSOUND_SetPaused(m_channel, true);
}

// Counter time since the start (speed is not applied), corrected to the
// music's position when the two differ by more than kMaxDrift; the offset
// takes up the difference so the counter continues from the music's time.
// Once the music has ended the counter alone drives the clock.
float MusicSyncronizer::getTime() {
    if (m_finished) return 0.0f;
    const float reading = m_paused ? m_pauseStamp : static_cast<float>(m_timer.elapsed());
    float t = reading - m_startStamp - m_offset + m_start;
    SoundLibrary* fmod = library().get();
    if (fmod && fmod->FSOUND_IsPlaying(m_channel)) {
        const float m = static_cast<float>(fmod->FSOUND_Stream_GetTime(m_stream) * 0.001);
        const float d = t - m;
        if (std::fabs(d) > kMaxDrift) {
            m_offset += d;
            t = m;
        }
    }
    if (t <= m_stop) return t;
    m_finished = true;
    m_paused = false;
    return 0.0f;
}

}  // namespace Vexa
