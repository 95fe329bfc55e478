// Runs the real player on small productions in temporary folders and compares
// its standard output, standard error and exit status byte for byte.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "Platform/ImageWriter.h"
#include "Rendering/OpenGL/ImageLoaderIL.h"
#include "Support/TestKit.h"

namespace {

namespace fs = std::filesystem;

struct Production {
    std::map<std::string, std::string> files;    // written into the folder
    std::map<std::string, std::string> archive;  // packed into cfg.dat
    std::vector<std::string> arguments;
};

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

class GoldenTest : public ::testing::Test {
protected:
    Outcome play(const Production& production, const char* binary = VEXA_BINARY) {
        const std::string run = "run" + std::to_string(m_runs++);
        const fs::path folder = m_dir / run;
        fs::create_directories(folder);
        for (const auto& [name, text] : production.files) m_temp.write(run + "/" + name, text);
        if (!production.archive.empty()) {
            std::string members;
            for (const auto& [name, text] : production.archive) {
                m_temp.write(run + "-archive/" + name, text);
                members += " " + quote(name);
            }
            const std::string tar = "cd " + quote(m_temp / (run + "-archive")) + " && tar -cf " +
                                    quote((folder / "cfg.dat").string()) + members;
            EXPECT_EQ(std::system(tar.c_str()), 0) << tar;
        }
        m_lastFolder = folder;
        std::string command = "cd " + quote(folder.string()) + " && " + quote(binary);
        for (const std::string& a : production.arguments) command += " " + quote(a);
        command += " >out.txt 2>err.txt";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(folder / "out.txt"),
                readAll(folder / "err.txt")};
    }

    Vexa::TempDir m_temp;
    fs::path m_dir = m_temp.path();
    fs::path m_lastFolder;
    int m_runs = 0;
};

Production demo(const std::string& script) { return {{{"Ini/demo.ini", script}}, {}, {}}; }

// The message of `Draw n` evaluated at line 1 of the main script.
std::string drawError(int n) {
    return "Exception: Ini/demo.ini(1):\nfatal: While evaluating Draw " + std::to_string(n) +
           ":\nSimple command takes no parameters.\n";
}

// A captured 64x48 frame: each channel of pixel (x, y), counted from the
// top, as "1" when over half and "0" otherwise, red first ("100" is red).
std::string colourAt(const fs::path& frame, int x, int y) {
    Vexa::ImageIL image;  // top row first, blue first
    image.decodeFile(frame.c_str());
    if (image.width() != 64 || image.height() != 48) return "size";
    const int channels = image.textureFormat() == Vexa::FORMAT_RGB8 ? 3 : 4;
    const uint8_t* p = image.pixels() + (y * 64 + x) * channels;
    return std::string{char('0' + (p[2] > 128)), char('0' + (p[1] > 128)),
                       char('0' + (p[0] > 128))};
}

// Each error is one line of standard error with the file and line it arose
// at. The command line is script text read before the main script, and the
// archive cfg.dat is searched before the file system, for the main script
// and for includes.
TEST_F(GoldenTest, ReportsOneLineAndReadsTheCommandLineAndTheArchiveFirst) {
    const std::pair<Production, std::string> cases[] = {
        {{}, "Resource not found: Ini/demo.ini missing\n"},
        {{{{"Ini/demo.ini", "x = 1\n@include \"Ini/part.ini\""}, {"Ini/part.ini", "a = 1\n}"}},
          {},
          {}},
         "Exception: Ini/part.ini(2):\nfatal: syntax error: (symbol, '}' = 125)\n"},
        {{{{"Ini/demo.ini", "@ifnot x x = 7 @endif y = Draw x"}}, {}, {"x", "=", "5"}},
         drawError(5)},
        {{{}, {}, {"a", "b"}}, "Exception: memory(1):\nfatal: syntax error: (name, a)\n"},
        {{{{"Ini/demo.ini", "y = Draw 2"}}, {{"Ini/demo.ini", "y = Draw 1"}}, {}}, drawError(1)},
        {{{{"Ini/part.ini", "v = 2"}},
          {{"Ini/demo.ini", "@include \"Ini/part.ini\" y = Draw v"}},
          {}},
         drawError(2)},
    };
    for (const auto& [production, err] : cases) {
        const Outcome run = play(production);
        EXPECT_EQ(run.status, 0) << err;
        EXPECT_EQ(run.out, "") << err;
        EXPECT_EQ(run.err, err);
    }
}

// The capture tool answers --help and --version, and refuses a folder it
// cannot make at once with one line, before the production is looked for.
TEST_F(GoldenTest, CaptureToolAnswersHelpAndRefusesAnUnwritableFolderOnce) {
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* out;  // start of standard output
        const char* err;
    } cases[] = {
        {{"--help"}, 0, "usage: vexa-capture [--fps N]", ""},
        {{"--version"}, 0, "vexa-capture ", ""},
        {{"--out", "file/frames"},
         1,
         "",
         "vexa-capture: cannot write frames into file/frames: Not a directory\n"},
    };
    for (const auto& c : cases) {
        const Outcome run = play({{{"file", ""}}, {}, c.arguments}, VEXA_CAPTURE_BINARY);
        EXPECT_EQ(run.status, c.status) << c.arguments[0];
        EXPECT_EQ(run.out.rfind(c.out, 0), 0u) << c.arguments[0] << ": " << run.out;
        EXPECT_EQ(run.err, c.err) << c.arguments[0];
    }
}

// A show runs its timeline against the clock: point events carry their own
// times, so what they print does not depend on the frame rate.
TEST_F(GoldenTest, PlaysATimelineUntilTheClockStops) {
    const Outcome run =
        play(demo("graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 48 }\n"
                  "syncronizer = Syncronizer { start = 0 stop = 0.3 }\n"
                  "tp = TimePrinter ()\n"
                  "initialization = tp\n"
                  "events = EventList ( 0.1 tp Update ()  0.2 \"late\" Print ()\n"
                  "                     ( 0 0.3 ) graphicsSystem ClearScreen { }\n"
                  "                     ( 0 0.3 ) MainWindow { } Draw () )\n"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "command time: 0\ncommand time: 0.1\n\"late\"\n");
    EXPECT_EQ(run.err, "");
}

// The capture tool steps the clock by 1 / fps and writes each presented frame;
// a picture blitted over the whole window shows its top row at the top.
TEST_F(GoldenTest, CaptureWritesEveryFrameUpright) {
    const fs::path picture = m_dir / "picture.png";
    // Two rows, bottom first: blue at the bottom, red at the top.
    Vexa::Platform::writePng(picture.string(), 2, 2,
                             {0, 0, 255, 255, 0, 0, 255, 255, 255, 0, 0, 255, 255, 0, 0, 255});
    Production production = demo(
        "graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 48 }\n"
        "syncronizer = Syncronizer { start = 0 stop = 1 }\n"
        "pic = Texture2D { directory = \"" +
        m_dir.string() +
        "\" file = File \"picture.png\" }\n"
        "blit = Blit { texture = pic center = < 0 0 > dimensions = < 2 2 > }\n"
        "green = ClearScreen { color = < 0 1 0 1 > }\n"
        "events = EventList ( 0 pic Load ()  ( 0 1 ) blit Draw ()\n"
        "                     ( 0.5 1 1 ) graphicsSystem green\n"
        "                     ( 0 1 2 ) MainWindow { } Draw () )\n");
    production.arguments = {"--fps", "2", "--out", "frames"};
    const Outcome run = play(production, VEXA_CAPTURE_BINARY);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    ASSERT_NE(run.err.find("frame 3 of 3"), std::string::npos) << run.err;
    const fs::path frames = m_lastFolder / "frames";
    EXPECT_FALSE(fs::exists(frames / "frame_000003.png"));
    // Rows at the centres of the picture's two texel rows.
    const char* const expected[][3] = {{"frame_000000.png", "100", "001"},
                                       {"frame_000001.png", "010", "010"},
                                       {"frame_000002.png", "010", "010"}};
    for (const auto& [file, top, bottom] : expected) {
        EXPECT_EQ(colourAt(frames / file, 32, 12), top) << file;
        EXPECT_EQ(colourAt(frames / file, 32, 36), bottom) << file;
    }
}

// A quad drawn into a texture over the upper right quarter of a left-handed
// camera's view shows there when the texture is blitted over the window.
TEST_F(GoldenTest, SceneRenderedIntoATextureStaysUpright) {
    Production production = demo(
        "graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 48 }\n"
        "syncronizer = Syncronizer { start = 0 stop = 0.1 }\n"
        "tex = Texture2D { targetable = 1 width = 64 height = 64 }\n"
        "rt = TextureTarget { texture = tex }  corner = LwTransform { x = 1 y = 1 }\n"
        "window = MainWindow { }  camera = Camera { }  quad = SimpleBlit { }\n"
        "aim = LookAt { pos = < 0 0 -2 > target = < 0 0 0 > up = < 0 1 0 > fov = 90 }\n"
        "flat = LwTransform { }  blit = Blit { texture = tex center = < 0 0 > dimensions = < 2 2 > "
        "}\n"
        // The mirrored projection turns the quad's winding around.
        "events = EventList ( 0 tex Load ()  0 camera aim\n"
        "  ( 0 1 ) graphicsSystem SetViewport { target = rt }\n"
        "  ( 0 1 ) graphicsSystem ClearScreen { color = < 0 0 0 1 > }  ( 0 1 ) graphicsSystem "
        "SetCulling { enable = 0 }\n"
        "  ( 0 1 ) camera SetupTextureRendering ()  ( 0 1 ) corner SetTransform ()\n"
        "  ( 0 1 ) quad Draw ()  ( 0 1 ) rt Draw ()\n"
        "  ( 0 1 ) graphicsSystem SetViewport { target = window }  ( 0 1 ) flat SetView ()\n"
        "  ( 0 1 ) blit Draw ()  ( 0 1 ) window Draw () )\n");
    production.arguments = {"--fps", "2", "--out", "frames"};
    const Outcome run = play(production, VEXA_CAPTURE_BINARY);
    ASSERT_EQ(run.status, 0) << run.err;
    const int samples[][2] = {{48, 12}, {16, 12}, {48, 36}, {16, 36}};
    for (const auto& [x, y] : samples)
        EXPECT_EQ(colourAt(m_lastFolder / "frames" / "frame_000000.png", x, y),
                  x > 32 && y < 24 ? "111" : "000")
            << x << "," << y;
}

// A SinSphere scaled by 0.4 and seen along z covers the pixels where the
// field, at its lowest along the line of sight, is below 0.
TEST_F(GoldenTest, SinSphereCoversTheOutlineItsFieldPredicts) {
    Production production = demo(
        "graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 48 }\n"
        "syncronizer = Syncronizer { start = 0 stop = 0.1 }  fit = LwTransform { sx = 0.4 sy = "
        "0.4 sz = 0.4 }\n"
        "sphere = TriangulateMesh { function = SinSphere { phases = < 0 0 0 > } voxelsize = 0.1\n"
        "  primitive_max = 100000 vertex_max = 65536 }\n"
        "events = EventList ( ( 0 1 ) graphicsSystem ClearScreen { color = < 0 0 0 1 > }\n"
        "  ( 0 1 ) fit SetTransform ()  ( 0 1 ) sphere Update ()  ( 0 1 ) sphere Draw ()\n"
        "  ( 0 1 ) MainWindow { } Draw () )\n");
    production.arguments = {"--fps", "2", "--out", "frames"};
    ASSERT_EQ(play(production, VEXA_CAPTURE_BINARY).status, 0);
    auto term = [](double t) { return std::sin(4 * t) + t * t; };
    double lowest = 1e9;
    for (double z = -2.5; z <= 2.5; z += 1e-4) lowest = std::min(lowest, term(z));
    for (int y = 0; y < 48; y += 2)
        for (int x = 0; x < 64; x += 2) {
            const double f =
                term(((x + 0.5) / 32 - 1) / 0.4) + term((1 - (y + 0.5) / 24) / 0.4) + lowest - 1;
            if (std::fabs(f) < 0.8) continue;  // near the outline
            EXPECT_EQ(colourAt(m_lastFolder / "frames" / "frame_000000.png", x, y),
                      f < 0 ? "111" : "000")
                << x << "," << y;
        }
}

}  // namespace
