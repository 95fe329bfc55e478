// The example production shipped in demo/ records from start to end without
// an error, and every scene puts a picture on the screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Rendering/OpenGL/ImageLoaderIL.h"
#include "Support/TestKit.h"

namespace {

namespace fs = std::filesystem;

// The mean of all channels but alpha over every 8th pixel of every 8th row.
double brightness(const fs::path& frame) {
    Vexa::ImageIL image;
    image.decodeFile(frame.c_str());
    const int channels = image.textureFormat() == Vexa::FORMAT_RGB8 ? 3 : 4;
    double sum = 0;
    int count = 0;
    for (int y = 0; y < image.height(); y += 8)
        for (int x = 0; x < image.width(); x += 8)
            for (int c = 0; c < 3; ++c, ++count)
                sum += image.pixels()[(y * image.width() + x) * channels + c];
    return count ? sum / count : 0;
}

// One frame every four seconds: the middle of each eight-second scene. The
// show starts and ends black (its fade); every frame between shows something.
// The silent sound driver keeps a machine's own sound library quiet.
TEST(BundledShow, RecordsEveryScene) {
    Vexa::TempDir temp;
    const fs::path dir = temp.path();
    const std::string demo = std::string(VEXA_TEST_DATA) + "/../../demo";
    const fs::path frames = dir / "frames";
    const std::string command =
        "cd '" + demo + "' && SDL_AUDIODRIVER=dummy '" VEXA_CAPTURE_BINARY "' --fps 0.25 --out '" +
        frames.string() + "' >'" + (dir / "out").string() + "' 2>'" + (dir / "err").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream err(dir / "err");
    std::string line, last;
    while (std::getline(err, line)) {
        EXPECT_EQ(line.rfind("frame ", 0), 0u) << line;
        last = line;
    }
    const int count = 19;
    EXPECT_EQ(last.rfind("frame " + std::to_string(count) + " of " + std::to_string(count), 0), 0u)
        << last;
    for (int n = 1; n + 1 < count; ++n) {
        std::ostringstream name;
        name << "frame_" << std::string(6 - std::to_string(n).size(), '0') << n << ".png";
        EXPECT_GT(brightness(frames / name.str()), 8.0) << name.str() << " at " << 4 * n << " s";
    }
}

}  // namespace
