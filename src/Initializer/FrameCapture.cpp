#include "Initializer/FrameCapture.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "Initializer/DemoPlayer.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Platform/Environment.h"
#include "Platform/FileSystem.h"
#include "Platform/ImageWriter.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

FixedStepClock::FixedStepClock(double start, double stop, double fps, long maxFrames)
    : m_start(start), m_stop(stop), m_fps(fps), m_maxFrames(maxFrames) {}

float FixedStepClock::getTime() {
    if (m_frameShown && !m_finished) {
        ++m_frame;
        m_frameShown = false;
    }
    return static_cast<float>(timeOf(m_frame));
}

bool FixedStepClock::isFinished() {
    m_frameShown = true;
    if (m_maxFrames >= 0 && m_frame >= m_maxFrames) m_finished = true;
    if (timeOf(m_frame) > m_stop) m_finished = true;
    return m_finished;
}

long FixedStepClock::frameCount() const {
    long count = -1;
    if (std::isfinite(m_stop))
        count =
            m_stop < m_start ? 0 : static_cast<long>(std::floor((m_stop - m_start) * m_fps)) + 1;
    if (m_maxFrames >= 0 && (count < 0 || m_maxFrames < count)) count = m_maxFrames;
    return count;
}

bool parseCaptureArguments(int argc, const char* const* argv, CaptureOptions& options,
                           std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "--version") {
            (arg == "--help" ? options.help : options.version) = true;
            continue;
        }
        if (arg == "--") {
            for (++i; i < argc; ++i) options.scriptArguments.emplace_back(argv[i]);
            break;
        }
        auto value = [&](double& out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            char* end = nullptr;
            out = std::strtod(argv[++i], &end);
            if (!end || *end != '\0' || !std::isfinite(out)) {
                error = arg + " needs a number, got " + argv[i];
                return false;
            }
            return true;
        };
        double number = 0.0;
        if (arg == "--fps") {
            if (!value(number)) return false;
            if (!(number > 0.0)) {
                error = "--fps must be greater than 0";
                return false;
            }
            options.fps = number;
        } else if (arg == "--frames") {
            if (!value(number)) return false;
            if (number < 0.0) {
                error = "--frames must not be negative";
                return false;
            }
            options.frames = static_cast<long>(number);
        } else if (arg == "--from") {
            if (!value(number)) return false;
            options.hasFrom = true;
            options.from = number;
        } else if (arg == "--out") {
            if (i + 1 >= argc) {
                error = "--out needs a folder";
                return false;
            }
            options.out = argv[++i];
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

int runCapture(const CaptureOptions& options) {
    // The folder is checked once, before anything is rendered.
    std::string reason;
    if (!Platform::makeWritableFolder(options.out, reason)) {
        std::cerr << "vexa-capture: cannot write frames into " << options.out << ": " << reason
                  << '\n';
        return 1;
    }
    // Frames are rendered off screen whatever display there is.
    Platform::preferOffscreenVideo();

    std::vector<std::string> args{"vexa-capture"};
    args.insert(args.end(), options.scriptArguments.begin(), options.scriptArguments.end());
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());

    long written = 0;
    bool writeFailed = false;
    std::unique_ptr<DemoPlayer> player;
    std::unique_ptr<FixedStepClock> clock;
    const auto began = std::chrono::steady_clock::now();
    const bool reported = runReportingErrors(
        [&] {
            player = std::make_unique<DemoPlayer>();
            player->startup(static_cast<int>(argv.size()), argv.data());
            Syncronizer* own = player->timeSource();
            const double start = options.hasFrom ? options.from : own->startTime();
            clock = std::make_unique<FixedStepClock>(start, own->stopTime(), options.fps,
                                                     options.frames);
            const long total = clock->frameCount();
            RenderMachine* machine = player->renderMachine();
            setPresentObserver([&](RenderTarget* target) {
                if (!dynamic_cast<Window*>(target)) return;
                const int w = target->getWidth();
                const int h = target->getHeight();
                std::vector<uint8_t> pixels(static_cast<std::size_t>(w) *
                                            static_cast<std::size_t>(h) * 4);
                machine->readPixels(pixels.data(), 0, 0, w, h);
                // A frame on screen has no transparency, whatever alpha was drawn.
                for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
                char name[32];
                std::snprintf(name, sizeof name, "/frame_%06ld.png", clock->frame());
                // A frame that cannot be written (a full disk) ends the capture.
                if (!Platform::writePng(options.out + name, w, h, pixels)) {
                    if (!writeFailed)
                        std::cerr << "vexa-capture: cannot write " << options.out << name << '\n';
                    writeFailed = true;
                    clock->stop();
                    return;
                }
                ++written;
                const double elapsed =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
                std::cerr << "frame " << clock->frame() + 1;
                if (total >= 0) std::cerr << " of " << total;
                std::cerr << ", " << elapsed << " s, " << (elapsed > 0 ? written / elapsed : 0.0)
                          << " frames/s\n";
            });
            player->run(clock.get());
            setPresentObserver(nullptr);
            player.reset();
        },
        [&] {
            setPresentObserver(nullptr);
            player.reset();
        });
    collectGarbage();
    return reported || writeFailed ? 1 : 0;
}

}  // namespace Vexa
