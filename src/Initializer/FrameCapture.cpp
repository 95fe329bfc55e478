#include "Initializer/FrameCapture.h"

#include <IL/il.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "Initializer/DemoPlayer.h"
#include "Parser/Functions/RenderingObjects.h"
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
    if (std::isfinite(m_stop)) count = m_stop < m_start ? 0 : static_cast<long>(std::floor((m_stop - m_start) * m_fps)) + 1;
    if (m_maxFrames >= 0 && (count < 0 || m_maxFrames < count)) count = m_maxFrames;
    return count;
}

bool parseCaptureArguments(int argc, const char* const* argv, CaptureOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
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

bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
    static bool initialised = false;
    if (!initialised) {
        ilInit();
        initialised = true;
    }
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool ok = ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, 4, IL_RGBA,
                         IL_UNSIGNED_BYTE, const_cast<uint8_t*>(rgba.data())) != IL_FALSE;
    if (ok) {
        ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
        ilEnable(IL_FILE_OVERWRITE);
        ok = ilSave(IL_PNG, path.c_str()) != IL_FALSE;
    }
    ilDeleteImages(1, &image);
    while (ilGetError() != IL_NO_ERROR) {
    }
    return ok;
}

long runCapture(const CaptureOptions& options) {
    // Frames are rendered off screen whatever display there is.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    mkdir(options.out.c_str(), 0777);

    std::vector<std::string> args{"vexa-capture"};
    args.insert(args.end(), options.scriptArguments.begin(), options.scriptArguments.end());
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());

    long written = 0;
    auto player = std::make_unique<DemoPlayer>();
    std::unique_ptr<FixedStepClock> clock;
    const auto began = std::chrono::steady_clock::now();
    runReportingErrors(
        [&] {
            player->startup(static_cast<int>(argv.size()), argv.data());
            Syncronizer* own = player->timeSource();
            const double start = options.hasFrom ? options.from : own->startTime();
            clock = std::make_unique<FixedStepClock>(start, own->stopTime(), options.fps, options.frames);
            const long total = clock->frameCount();
            RenderMachine* machine = player->renderMachine();
            setPresentObserver([&](RenderTarget* target) {
                if (!dynamic_cast<Window*>(target)) return;
                const int w = target->getWidth();
                const int h = target->getHeight();
                std::vector<uint8_t> pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
                machine->readPixels(pixels.data(), 0, 0, w, h);
                // A frame on screen has no transparency, whatever alpha was drawn.
                for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
                char name[32];
                std::snprintf(name, sizeof name, "/frame_%06ld.png", clock->frame());
                if (!writePng(options.out + name, w, h, pixels))
                    std::cerr << "cannot write " << options.out << name << '\n';
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
    return written;
}

}  // namespace Vexa
