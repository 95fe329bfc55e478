// Meshes drawn by the real player: the first captured frame of a production
// that draws white meshes on black, straight in clip space.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "Mesh/MeshKit.h"
#include "Rendering/OpenGL/ImageLoaderIL.h"

namespace Vexa {
namespace {

using namespace Testing;

// The red channel of each pixel, top row first (the meshes are grey).
using Picture = std::vector<int>;
int at(const Picture& picture, int x, int y) { return picture[std::size_t(y * 64 + x)]; }
bool lit(const Picture& picture, int x, int y) { return at(picture, x, y) > 128; }

// `files` are written beside the script, which binds `meshes` and draws
// with `draws` (event list entries) in a 64 x 48 window.
Picture capture(const std::map<std::string, std::string>& files, const std::string& meshes,
                const std::string& draws) {
    TempDir dir;
    for (const auto& [name, bytes] : files) dir.write(name, bytes);
    dir.write(
        "Ini/demo.ini",
        "graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 48 }\n"
        "syncronizer = Syncronizer { start = 0 stop = 0.1 }\n"
        "window = MainWindow { }  flat = LwTransform { }\n" +
            meshes +
            "\nevents = EventList ( ( 0 1 ) graphicsSystem ClearScreen { color = < 0 0 0 1 > }\n"
            "  ( 0 1 ) graphicsSystem SetCulling { enable = 0 }\n"
            "  ( 0 1 ) flat SetView ()  ( 0 1 ) flat SetTransform ()\n" +
            draws + "\n  ( 0 1 ) window Draw () )\n");
    const std::string command = "cd '" + dir.path() + "' && " + VEXA_CAPTURE_BINARY +
                                " --fps 2 --out frames >out.txt 2>err.txt";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    ImageIL image;  // blue first
    image.decodeFile((dir / "frames/frame_000000.png").c_str());
    const int channels = image.textureFormat() == FORMAT_RGB8 ? 3 : 4;
    EXPECT_EQ(image.width() * image.height(), 64 * 48);
    Picture picture(64 * 48);
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = image.pixels()[i * channels + 2];
    return picture;
}

// An element of `count` quads.
std::string quads(int count) {
    return "element quads " + std::to_string(count) +
           "\nproperty int index0\nproperty int index1\nproperty int index2\nproperty int "
           "index3\ndata\n";
}

// A U over the whole window: its notch is the top middle third.
const std::vector<std::vector<float>> kU = {{-1, -1, 0},    {1, -1, 0},    {1, 1, 0},
                                            {0.33f, 1, 0},  {0.33f, 0, 0}, {-0.33f, 0, 0},
                                            {-0.33f, 1, 0}, {-1, 1, 0}};

TEST(MeshGolden, TextAndBinaryFilesDrawTheSameConcaveOutline) {
    std::string text = header(8, "element polygons 1\nproperty list int indices\ndata\n");
    std::string binary = header(8, "element polygons 1\nproperty list int indices\nbdata\n");
    for (const auto& p : kU) {
        text += std::to_string(p[0]) + " " + std::to_string(p[1]) + " 0\n";
        binary += f32(p[0]) + f32(p[1]) + f32(0);
    }
    text += "8 0 1 2 3 4 5 6 7\n";
    binary += u16(8);
    for (uint32_t i = 0; i < 8; ++i) binary += word(i);
    const std::string draw = "0 mesh Load ()  ( 0 1 ) mesh Draw ()";
    const Picture fromText =
        capture({{"u.r3d", text}}, "mesh = R3DMesh { file = File \"u.r3d\" }", draw);
    const Picture fromBinary =
        capture({{"u.r3d", binary}}, "mesh = R3DMesh { file = File \"u.r3d\" }", draw);
    EXPECT_TRUE(fromText == fromBinary);
    EXPECT_FALSE(lit(fromText, 32, 6));  // the notch
    EXPECT_TRUE(lit(fromText, 6, 6));    // an arm
    EXPECT_TRUE(lit(fromText, 32, 40));  // the base
}

// Top half: two quads, of which RangeDraw (0.5, 1) draws the second, on the
// right. Bottom half: a quad on the left whose morph target, at weight 1,
// lies on the right.
TEST(MeshGolden, RangeDrawAndMorphWeightsMoveWhatIsDrawn) {
    const std::string halves =
        header(6, quads(2) + "-1 0 0  0 0 0  1 0 0  -1 1 0  0 1 0  1 1 0\n0 1 4 3  1 2 5 4\n");
    const std::string morph =
        header(4, "property real rx\nproperty real ry\nproperty real rz\n" + quads(1) +
                      "-1 -1 0 0 -1 0\n0 -1 0 1 -1 0\n0 0 0 1 0 0\n-1 0 0 0 0 0\n0 1 2 3\n");
    const Picture picture =
        capture({{"quads.r3d", halves}, {"morph.r3d", morph}},
                "halves = R3DMesh { file = File \"quads.r3d\" }\n"
                "moved = R3DMesh { file = File \"morph.r3d\" endomorph = ( \"r\" 1 ) }",
                "0 halves Load ()  0 moved Load ()\n"
                "( 0 1 ) halves RangeDraw ( 0.5 1 )  ( 0 1 ) moved Draw ()");
    for (int x : {16, 48})
        for (int y : {12, 36}) EXPECT_EQ(lit(picture, x, y), x > 32) << x << "," << y;
}

// A strip folded along x = 0 towards the viewer, lit from the left by the
// shipped shader fragments: split at the fold, each face is flat (N.L 0.98
// on the left, 0.45 on the right); smoothed, the shading runs to the shared
// normal's 0.8 at the fold and stays the face's own at the outer edges.
TEST(MeshGolden, SmoothingAngleDecidesWhetherAFoldStaysSharp) {
    const std::string demo = std::string(VEXA_TEST_DATA) + "/../../demo";
    const std::string fold = header(
        6, quads(2) + "-1 -1 0  0 -1 -0.5  1 -1 0  -1 1 0  0 1 -0.5  1 1 0\n0 3 4 1  1 4 5 2\n");
    Picture pictures[2];
    for (int smooth = 0; smooth < 2; ++smooth)
        pictures[smooth] = capture(
            {{"fold.r3d", fold}},
            "directory = \"" + demo + "\"\n@include \"" + demo + "/Ini/fragments.ini\"\n" +
                "light = Light { type = \"DIRECTIONAL_LIGHT\" direction = < 0.6 0 0.8 > }\n"
                "surface = BasicMaterialProperties { baseColor = < 1 1 1 > luminosity = 0 }\n"
                "generator = SimpleGenerator ( surface )\n"
                "material = Material { generator = generator environment = Environment {"
                " lights = ( 0 light ) } }\n"
                "mesh = R3DMesh { directory = \".\" file = File \"fold.r3d\" smoothing_angle = " +
                (smooth ? "3.2" : "0.1") + " }",
            "0 surface Load ()  0 generator Load ()  0 material Load ()  0 mesh Load ()\n"
            "( 0 1 ) material Draw ()  ( 0 1 ) mesh Draw ()  ( 0 1 ) material Disable ()");
    const struct {
        int x, sharp, smooth;
    } expected[] = {{1, 251, 249}, {30, 251, 207}, {33, 114, 200}, {62, 114, 118}};
    for (const auto& e : expected) {
        EXPECT_NEAR(at(pictures[0], e.x, 24), e.sharp, 4) << e.x;
        EXPECT_NEAR(at(pictures[1], e.x, 24), e.smooth, 4) << e.x;
    }
}

}  // namespace
}  // namespace Vexa
