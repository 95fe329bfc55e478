// vexa-capture: records the production in the working directory frame by
// frame as PNG files.
#include <iostream>
#include <string>

#include "Initializer/FrameCapture.h"

namespace {

const char* const kUsage =
    "usage: vexa-capture [--fps N] [--frames N] [--from SECONDS] [--out FOLDER] [-- script "
    "text...]\n";

const char* const kHelp =
    "Records the production in the working directory as PNG files, one per frame,\n"
    "stepping its clock by 1/fps instead of following real time.\n"
    "\n"
    "  --fps N           frames per second of production time (default 30)\n"
    "  --frames N        stop after N frames (default: at the clock's stop time)\n"
    "  --from SECONDS    time of the first frame (default: the clock's start time)\n"
    "  --out FOLDER      folder of frame_000000.png, ... (default capture), made when missing\n"
    "  --help            show this text\n"
    "  --version         show the version\n"
    "  -- text...        the rest is script text read before Ini/demo.ini, as vexa reads\n"
    "                    its arguments\n";

}  // namespace

int main(int argc, char** argv) {
    Vexa::CaptureOptions options;
    std::string error;
    if (!Vexa::parseCaptureArguments(argc, argv, options, error)) {
        std::cerr << "vexa-capture: " << error << "\n" << kUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kUsage << kHelp;
        return 0;
    }
    if (options.version) {
        std::cout << "vexa-capture " VEXA_VERSION "\n";
        return 0;
    }
    return Vexa::runCapture(options);
}
