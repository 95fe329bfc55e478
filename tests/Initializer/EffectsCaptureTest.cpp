// The trail, warp and slice effects drawn by the capture tool from a small
// production, one effect a frame, with the shaders shipped in demo/: each
// picture is checked where the effect's own numbers fix it.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "Platform/ImageWriter.h"
#include "Rendering/OpenGL/ImageLoaderIL.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

const std::string kDemo = std::string(VEXA_TEST_DATA) + "/../../demo";
constexpr int kSize = 128;

// Frame 0: two trails of a white picture. One of four quads 0.4 wide, each
// moved 0.5 to the right of the one before, at full weight; one of four
// nested quads 0.12 wide scaled by 2 each, a quarter weight each.
// Frame 1: the image warp with one lens that pulls every point to (0.5, 0),
// over a texture target's picture, red on the left and blue on the right
// (targets are rectangle textures, read in texels). Frame 2: the volume
// slices tinted (1, 0.5, 0.25).
const char* const kScript = R"(
graphicsSystem = GraphicsSystem { type = "gl" width = 128 height = 128 }
syncronizer = Syncronizer { start = 0 stop = 0.5 }
white = Texture2D { file = File "white.png" }
halves = Texture2D { file = File "halves.png" }
screen = MainWindow { }
canvas = Texture2D { targetable = 1 width = 48 height = 48 }
canvasTarget = TextureTarget { texture = canvas }
canvasBlit = Blit { texture = halves center = < 0 0 > dimensions = < 2 2 > }
moved = TextureArray { graphicsSystem = graphicsSystem texture = white number = 4 scale = 1
    movement = < 1.5 0 > dimensions = < 0.4 0.4 > center = < -0.75 0.5 > intensity = 4 }
grown = TextureArray { graphicsSystem = graphicsSystem texture = white number = 4 scale = 8
    movement = < 0 0 > dimensions = < 0.12 0.12 > center = < 0 -0.5 > }
directory = demo
warp = ImageWarp { graphicsSystem = graphicsSystem p1 = < 0.5 0 1 1000 >
    shader = VertexShader { file = File "shaders/warp.vp" constants = VertexConstants { } }
    material = Material { attributes = ( 0 TextureStage { texture = canvas stage = 0 } ) } }
slices = SliceVolume { graphicsSystem = graphicsSystem shader = VertexShader {
    file = File "shaders/slice.vp" constants = VertexConstants { constant1 = < 1 0.5 0.25 1 > } } }
events = EventList ( 0 white Load ()  0 halves Load ()  0 canvas Load ()
    ( 0 1 ) graphicsSystem ResetState ()  ( 0 1 ) graphicsSystem SetCulling { enable = 0 }
    ( 0 1 ) graphicsSystem ClearScreen { color = < 0 0 0 1 > }
    ( 0 0.2 1 ) moved Draw ()  ( 0 0.2 1 ) grown Draw ()
    ( 0.25 0.45 1 ) graphicsSystem SetViewport { target = canvasTarget }
    ( 0.25 0.45 1 ) canvasBlit Draw ()  ( 0.25 0.45 1 ) canvasTarget Draw ()
    ( 0.25 0.45 1 ) graphicsSystem SetViewport { target = screen }
    ( 0.25 0.45 1 ) graphicsSystem SetCulling { enable = 0 }  ( 0.25 0.45 1 ) warp Draw ()
    ( 0.5 1 1 ) graphicsSystem DepthTest 0  ( 0.5 1 1 ) slices Draw ()
    ( 0 1 2 ) screen Draw () )
)";

using Rgb = std::array<int, 3>;

// The pixel at (x, y) in clip space of a decoded frame (top row first, blue
// first).
Rgb pixel(ImageIL& frame, float x, float y) {
    if (frame.width() != kSize || frame.height() != kSize) return {-1, -1, -1};
    const int channels = frame.textureFormat() == FORMAT_RGB8 ? 3 : 4;
    const int column = static_cast<int>((x + 1) * kSize / 2);
    const int row = static_cast<int>((1 - y) * kSize / 2);
    const uint8_t* p = frame.pixels() + (row * kSize + column) * channels;
    return {p[2], p[1], p[0]};
}

bool near(const Rgb& a, const Rgb& b, int tolerance) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(a[c] - b[c]) > tolerance) return false;
    return true;
}

TEST(EffectsCaptureTest, EachEffectDrawsWhereItsNumbersPutIt) {
    const TempDir folder;
    std::string script = kScript;
    script.replace(script.find("demo\n"), 4, "\"" + kDemo + "\"");
    folder.write("demo/Ini/demo.ini", script);
    ASSERT_TRUE(Platform::writePng(folder / "demo/white.png", 2, 2, std::vector<uint8_t>(16, 255)));
    ASSERT_TRUE(
        Platform::writePng(folder / "demo/halves.png", 2, 1, {255, 0, 0, 255, 0, 0, 255, 255}));
    const std::string command = "cd " + folder.path() + "/demo && " + VEXA_CAPTURE_BINARY +
                                " --fps 4 --out frames >out.txt 2>err.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    ImageIL frames[3];
    for (int n = 0; n < 3; ++n)
        frames[n].decodeFile(
            (folder / ("demo/frames/frame_00000" + std::to_string(n) + ".png")).c_str());
    const Rgb black{0, 0, 0}, white{255, 255, 255};

    for (int q = 0; q < 4; ++q) {
        EXPECT_EQ(pixel(frames[0], -0.75f + 0.5f * q, 0.5f), white) << "quad " << q;
        EXPECT_EQ(pixel(frames[0], -0.5f + 0.5f * q, 0.5f), black) << "after quad " << q;
    }
    // Inside 4, 3, 2, 1 and none of the nested quads (half widths 0.06 to 0.48).
    const float offsets[] = {0.03f, 0.09f, 0.18f, 0.36f, 0.6f};
    for (int k = 0; k < 5; ++k) {
        const int grey = 64 * (4 - k) - (k == 0);
        EXPECT_TRUE(near(pixel(frames[0], offsets[k], -0.5f), {grey, grey, grey}, 3)) << k;
    }
    // Every point shows the picture at (0.5, 0), blue, corners included.
    for (const auto& [x, y] :
         {std::pair{0.95f, 0.95f}, {0.95f, -0.95f}, {-0.95f, 0.95f}, {0.0f, 0.0f}})
        EXPECT_TRUE(near(pixel(frames[1], x, y), {0, 0, 255}, 8)) << x << "," << y;
    // At the centre, eleven slices of tint * (1 - z^2) for z = 1 to -1, each
    // blended as src * src + dst * (1 - src); nothing outside the ball.
    EXPECT_TRUE(near(pixel(frames[2], 0, 0), {150, 92, 42}, 4));
    EXPECT_EQ(pixel(frames[2], -0.97f, 0.97f), black);
}

}  // namespace
}  // namespace Vexa
