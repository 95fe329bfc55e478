#pragma once
// The clock locked to a music track: it runs on the performance counter and
// jumps to the music's playing position whenever the two drift apart by more
// than a tenth of a second.
//
// The sound library is process-wide: the first music clock loads and starts
// it, later ones reuse it, and destroying a music clock closes and unloads it.
#include <string>

#include "Syncronizer/PerformanceTimer.h"
#include "Syncronizer/SoundLibrary.h"
#include "Syncronizer/Syncronizer.h"

namespace Vexa {

class MusicSyncronizer : public Syncronizer {
public:
    // Opens `music` paused at its beginning. `speed` is kept but never
    // applied. `counter` (not owned) replaces the steady clock when given.
    // Raises Exception when the library or the file cannot be used.
    MusicSyncronizer(float speed, float start, float stop, const std::string& music,
                     const Counter* counter = nullptr);
    ~MusicSyncronizer() override;

    MusicSyncronizer(const MusicSyncronizer&) = delete;
    MusicSyncronizer& operator=(const MusicSyncronizer&) = delete;

    void start() override;
    void pause() override;
    void stop() override;
    float getTime() override;
    float startTime() const override { return m_start; }
    float stopTime() const override { return m_stop; }
    bool isFinished() override { return m_finished; }
    bool isPaused() override { return m_paused; }

    // Replaces the function that loads the sound library; answers the one
    // it replaces. Takes effect at the next load.
    static SoundLibraryLoader setLibraryLoader(SoundLibraryLoader loader);
    // Whether the process-wide library is loaded.
    static bool isLibraryLoaded();

private:
    PerformanceTimer m_timer;
    float m_startStamp = 0.0f;  // stopwatch seconds when the clock (re)started
    float m_pauseStamp = 0.0f;  // stopwatch seconds at the last pause
    float m_offset = 0.0f;      // total paused time plus drift corrections
    bool m_paused = false;
    bool m_finished = true;
    [[maybe_unused]] float m_speed;  // kept, as the timer clock keeps it; never applied
    float m_start;
    float m_stop;
    std::string m_music;
    FSOUND_STREAM* m_stream = nullptr;
    int m_channel = -1;
};

}  // namespace Vexa
