#pragma once
// Recording a production frame by frame: the clock advances a fixed step per
// frame instead of following real time, and every frame the window presents
// is read back and written as a PNG file.
#include <string>
#include <vector>

#include "Syncronizer/Syncronizer.h"

namespace Vexa {

// Frame n is shown at start + n / fps; the clock finishes after the last
// frame at or before `stop`, or after `maxFrames` frames when that is not
// negative. The player asks for the time and then whether the clock has
// finished once per frame; the first time asked after that belongs to the
// next frame.
class FixedStepClock : public Syncronizer {
public:
    FixedStepClock(double start, double stop, double fps, long maxFrames);
    void start() override {}
    void pause() override {}
    void stop() override { m_finished = true; }
    float getTime() override;
    bool isFinished() override;
    bool isPaused() override { return false; }
    float startTime() const override { return static_cast<float>(m_start); }
    float stopTime() const override { return static_cast<float>(m_stop); }

    long frame() const { return m_frame; }
    // Frames the clock will show; -1 when it runs for ever.
    long frameCount() const;

private:
    double timeOf(long frame) const { return m_start + static_cast<double>(frame) / m_fps; }

    double m_start;
    double m_stop;
    double m_fps;
    long m_maxFrames;
    long m_frame = 0;
    bool m_frameShown = false;
    bool m_finished = false;
};

struct CaptureOptions {
    double fps = 30.0;
    long frames = -1;
    bool hasFrom = false;
    double from = 0.0;
    std::string out = "capture";
    std::vector<std::string> scriptArguments;
    bool help = false;
    bool version = false;
};

// Parses the tool's arguments; false with a message when they are wrong.
bool parseCaptureArguments(int argc, const char* const* argv, CaptureOptions& options,
                           std::string& error);

// Starts the production in the working directory like the player and writes
// its frames as <out>/frame_000000.png, ... Errors are reported like the
// player reports them, in one line. Answers the exit status: 0 when every
// frame was written, 1 after an error.
int runCapture(const CaptureOptions& options);

}  // namespace Vexa
