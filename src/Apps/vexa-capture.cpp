// vexa-capture: records the production in the working directory frame by
// frame as PNG files.
//
//   vexa-capture [--fps N] [--frames N] [--from SECONDS] [--out FOLDER] [-- script text...]
#include <iostream>
#include <string>

#include "Initializer/FrameCapture.h"

int main(int argc, char** argv) {
    Vexa::CaptureOptions options;
    std::string error;
    if (!Vexa::parseCaptureArguments(argc, argv, options, error)) {
        std::cerr << "vexa-capture: " << error << "\n"
                  << "usage: vexa-capture [--fps N] [--frames N] [--from SECONDS] [--out FOLDER] [-- script text...]\n";
        return 2;
    }
    Vexa::runCapture(options);
    return 0;
}
