// Ribbons, turning tiles, cones and the stencil cut-away: their calls on the
// recording machine, and what they put on screen through the capture tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Common/Random.h"
#include "Mesh/PlaneProducer.h"
#include "Mesh/ProductMesh.h"
#include "Parser/Functions/MeshObject.h"
#include "Platform/ImageWriter.h"
#include "Rendering/OpenGL/ImageLoaderIL.h"
#include "Support/RecordingScriptTest.h"

namespace Vexa {
namespace {

using Testing::Lines;

class LineEffectsTest : public Testing::RecordingScriptTest {
protected:
    Lines draw(IniObject* object) {
        m_machine->clearLog();
        Testing::send(object, CommandKinds::Draw());
        return m_machine->takeLog();
    }
    // The lines of `log` that contain `part`.
    static Lines having(const Lines& log, const std::string& part) {
        Lines found;
        for (const std::string& line : log)
            if (line.find(part) != std::string::npos) found.push_back(line);
        return found;
    }
};

// The camera sets the view, a transform multiplies in its x (1 for the
// object, 2 for the cutter), the material sets its texture factor, and each
// mesh draws through its own declaration.
TEST_F(LineEffectsTest, CullerDrawsItsPartsThroughTheStencilPassesInOrder) {
    for (const char* name : {"object", "cutter"}) {
        auto* mesh = new MeshObject(
            std::make_unique<ProductMesh>(m_machine, std::make_unique<PlaneProducer>(1, 1)));
        parser().rootScope()->bind(name, mesh, false);
        mesh->load();
    }
    IniObject* culler = eval(
        "Culler { material = Material { attributes = ( 0 TextureFactor { } ) } camera = Camera { }"
        " cullerTransform = LwTransform { x = 2 } culler = cutter"
        " objectTransform = LwTransform { x = 1 } object = object }");
    // Parts of lines, each followed by the word that stands for its line.
    const char* const names[] = {
        "VIEW)",       "camera",   " 1 0 0 1], WORLD)", "objectT", " 2 0 0 1], WORLD)", "cullerT",
        "Factor",      "material", "(decl1)",           "object",  "(decl2)",           "culler",
        "PROJECTION)", "",         "Stream(",           "",        "drawIndexed",       ""};
    const std::string keep = "STENCIL_KEEP, STENCIL_KEEP, STENCIL_";
    std::string passes;
    for (const std::string& line : draw(culler)) {
        std::string word = line.rfind("set", 0) == 0 ? line.substr(3) : line;
        if (word.find(keep) != std::string::npos) word.erase(word.find(keep), keep.size());
        for (int i = 0; i < 18; i += 2)
            if (line.find(names[i]) != std::string::npos) word = names[i + 1];
        if (!word.empty()) passes += word + " ";
    }
    EXPECT_EQ(passes,
              "Texture(0, null) VertexShader(null) DepthTest(1) clear(4, (0 0 0 0), 1, 0) "
              "Culling(1) CullingMode(CCW) ColorWriteMask(0, 0, 0, 0) camera objectT object "
              "StencilTest(1) StencilFunc(ALWAYS) StencilRef(1) StencilMask(4294967295) "
              "StencilOp(INCR) DepthWrite(0) camera cullerT culler "
              "StencilOp(DECR) CullingMode(CW) camera cullerT culler "
              "StencilFunc(NOTEQUAL) StencilRef(0) DepthFunc(ALWAYS) StencilOp(KEEP) "
              "DepthWrite(1) camera cullerT culler "
              "DepthFunc(LESS) StencilOp(INCR) camera objectT object "
              "DepthFunc(ALWAYS) StencilOp(KEEP) StencilFunc(ALWAYS) camera objectT object "
              "DepthFunc(LESS) ColorWriteMask(1, 1, 1, 1) StencilOp(KEEP) StencilFunc(EQUAL) "
              "StencilRef(1) camera cullerT material culler "
              "StencilFunc(EQUAL) StencilRef(0) CullingMode(CCW) camera objectT material object "
              "DepthFunc(LESS) DepthBias(0, 0) StencilTest(0) ");
}

// The tiles draw only while loaded: 192 of them, turned by an angle that
// grows by 0.015 a column and 0.06 a row.
TEST_F(LineEffectsTest, GridiDraws192TurnedTilesOnlyWhileLoaded) {
    IniObject* tiles = eval("Gridi { pos = 0.5 }");
    EXPECT_EQ(draw(tiles), Lines{});
    Testing::send(tiles, CommandKinds::Load());
    const Lines log = draw(tiles);
    const Lines worlds = having(log, "WORLD)");
    for (const char* part :
         {"WORLD)", "setTextureMatrix(0, ", "drawIndexedPrimitive(TRIANGLE_LIST, 0, 0, 4, 0, 2)"})
        EXPECT_EQ(having(log, part).size(), 192u) << part;
    // The first element of a world matrix is the tile's width times the cosine of its angle.
    const auto first = [](const std::string& line) { return std::stof(line.substr(11)); };
    EXPECT_NEAR(first(worlds.front()), 0.0625f * std::cos(0.5f), 1e-5);
    EXPECT_NEAR(first(worlds.back()), 0.0625f * std::cos(59 * 0.015f + 0.5f), 1e-5);
    Testing::send(tiles, CommandKinds::Unload());
    EXPECT_EQ(draw(tiles), Lines{});
}

// Cones build on their first Draw; 400 of them draw on each. No triangles
// draw nothing; too many are held to what 16-bit indices reach.
TEST_F(LineEffectsTest, VoronoiBuildsOneConeAndDraws400) {
    const TempDir folder;
    folder.write("pic.png", "");
    parser().parseString("directory = \"" + folder.path() +
                         "\" pic = Texture2D { file = File \"pic.png\" }");
    const std::pair<const char*, const char*> cases[] = {
        {"", "createIndexStream(60, 0) -> ibuf1 createVertexStream(21, 20, 4) -> vbuf1 "},
        {"triangles = 1e6",
         "createIndexStream(196605, 0) -> ibuf2 createVertexStream(65536, 20, 4) -> vbuf2 "},
        {"triangles = 0", ""}};
    for (const auto& [parameters, streams] : cases) {
        const Lines log = draw(eval(std::string("Voronoi { texture = pic ") + parameters + " }"));
        std::string made;
        for (const std::string& line : having(log, "Stream("))
            made += line.rfind("create", 0) ? "" : line + " ";
        EXPECT_EQ(made, streams);
        if (log.empty()) continue;
        for (const char* part : {"WORLD)", "setTextureMatrix(0, ", "drawIndexedPrimitive("})
            EXPECT_EQ(having(log, part).size(), 400u) << part;
    }
}

// The ribbon samples the curve once (lines 1: four vertices) and draws a
// strip through its program; no lines draw nothing; a missing file is named.
TEST_F(LineEffectsTest, LineDrawSamplesOnceAndDrawsAStripThroughItsProgram) {
    const TempDir folder;
    folder.write("ribbon.vp", "program text");
    parser().parseString("directory = \"" + folder.path() + "\" ring = TorusCurve { }");
    IniObject* ribbon =
        eval("LineDraw { shader = File \"ribbon.vp\" curve = ring lines = 1 linewidth = 0.25 }");
    const Lines log = draw(ribbon);
    EXPECT_EQ(having(log, "createVertexStream"), Lines{"createVertexStream(4, 28, 4) -> vbuf1"});
    EXPECT_EQ(log.back(), "drawPrimitive(TRIANGLE_STRIP, 0, 2)");
    EXPECT_EQ(draw(ribbon).size(), 6u);
    EXPECT_EQ(draw(eval("LineDraw { shader = File \"ribbon.vp\" curve = ring lines = 0 }")),
              Lines{});
    EXPECT_EQ(Testing::messageOf(
                  [&] { draw(eval("LineDraw { shader = File \"none.vp\" curve = ring }")); }),
              folder.path() + "/none.vp missing");
}

// ---- pictures ------------------------------------------------------------------------

// Runs the capture tool on `script` in `folder` at one frame a second and
// answers what it wrote on standard error.
std::string capture(const TempDir& folder, const std::string& script) {
    folder.write("Ini/demo.ini", script);
    const std::string command =
        "cd '" + folder.path() + "' && '" VEXA_CAPTURE_BINARY "' --fps 1 --out frames 2>err.txt";
    EXPECT_NE(std::system(command.c_str()), -1);
    std::ifstream in(folder / "err.txt");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Red, green and blue of each pixel of a picture, row by row from the top.
std::vector<std::array<int, 3>> pixels(const std::string& file) {
    ImageIL image;
    image.decodeFile(file.c_str());
    const int channels = image.textureFormat() == FORMAT_RGB8 ? 3 : 4;
    std::vector<std::array<int, 3>> out;
    for (const uint8_t* p = image.pixels(); out.size() < 64u * 48u; p += channels)
        out.push_back({p[2], p[1], p[0]});
    return out;
}

bool near(const std::array<int, 3>& c, float r, float g, float b, int tolerance) {
    return std::abs(c[0] - r) <= tolerance && std::abs(c[1] - g) <= tolerance &&
           std::abs(c[2] - b) <= tolerance;
}

// On a blue 64 x 48 screen: a ring of radius 0.5 as a ribbon 0.25 wide
// covers the band within 0.125 of it and nothing else; cones of one texel
// fill each cell with the texture at the centre of the nearest apex of the
// fixed sequence; tile (5, 7) shows the texture at u = 8/16, v = 7/12.
// Then a ribbon whose program does not compile stops the show.
TEST(LineEffectsPictures, RibbonConesAndTilesShowWhatTheirFormulasFix) {
    const TempDir folder;
    // Texel (i, j), j from the top, is (16 i + 8, 16 j + 8, 0): (u, v) shows (256 u, 256 v).
    std::vector<uint8_t> rgba;
    for (int j = 15; j >= 0; --j)
        for (int i = 0; i < 16; ++i)
            rgba.insert(rgba.end(), {uint8_t(16 * i + 8), uint8_t(16 * j + 8), 0, 255});
    ASSERT_TRUE(Platform::writePng(folder / "grad.png", 16, 16, rgba));
    std::filesystem::copy_file(std::string(VEXA_TEST_DATA) + "/../../demo/shaders/ribbon.vp",
                               folder / "ribbon.vp");
    folder.write("bad.vp", "!!ARBvp1.0\nNOPE;\nEND\n");
    const std::string err = capture(folder, R"(
        graphicsSystem = GraphicsSystem { type = "gl" width = 64 height = 48 }
        syncronizer = Syncronizer { start = 0 stop = 3 }
        grad = Texture2D { file = File "grad.png" }
        ring = TorusCurve { radius1 = 0.5 radius2 = 0 rotations = 0 }
        ribbon = LineDraw { shader = File "ribbon.vp" lines = 64 linewidth = 0.25 curve = ring }
        bad = LineDraw { shader = File "bad.vp" curve = ring }
        cells = Voronoi { texture = grad radius = 0.3 }  tiles = Gridi { }
        look = Material { attributes = ( 0 TextureStage { texture = grad stage = 0 } ) }
        events = EventList ( 0 grad Load ()  0 tiles Load ()
          ( 0 2 ) graphicsSystem ResetState ()  ( 0 2 ) graphicsSystem SetCulling { enable = 0 }
          ( 0 2 ) graphicsSystem ClearScreen { color = < 0 0 1 1 > }
          ( 0 0 ) ribbon Draw ()  ( 1 1 ) cells Draw ()  ( 2 2 ) look Draw ()  ( 2 2 ) tiles Draw ()
          ( 0 2 9 ) MainWindow { } Draw ()  3 bad Draw () ))");
    // The last frame fails on a program that does not compile, naming its file.
    EXPECT_NE(err.find("./bad.vp: loadProgram: error at position: "), std::string::npos) << err;
    const std::string frame = folder / "frames/frame_00000";
    const std::array<int, 3> blue{0, 0, 255}, white{255, 255, 255};
    const auto ribbon = pixels(frame + "0.png");
    for (int k = 0; k < 64 * 48; ++k) {
        const float off =
            std::abs(std::hypot((k % 64 + 0.5f) / 32 - 1, 1 - (k / 64 + 0.5f) / 24) - 0.5f);
        EXPECT_TRUE(std::abs(off - 0.125f) < 0.05f || ribbon[k] == (off < 0.125f ? white : blue))
            << k;
    }

    // The cones' plane is the screen, (0, 0) at the top left and (1, 1) at
    // the bottom right; depth grows with the distance from the apex.
    StandardRandom random;
    std::vector<std::array<float, 2>> centres;
    for (int row = 0; row < 20; ++row) {
        const float cy = random.next() * (2 / 32767.0f) - 1;
        for (int i = 0; i < 20; ++i) centres.push_back({random.next() * (2 / 32767.0f) - 1, cy});
    }
    const auto cells = pixels(frame + "1.png");
    int checked = 0;
    for (int k = 0; k < 64 * 48; k += 7) {
        std::vector<float> depths;
        for (const auto& c : centres)
            depths.push_back(std::hypot((k % 64 + 0.5f) / 64 - c[0], (k / 64 + 0.5f) / 48 - c[1]) /
                             0.3f);
        const auto& c = centres[std::min_element(depths.begin(), depths.end()) - depths.begin()];
        std::partial_sort(depths.begin(), depths.begin() + 2, depths.end());
        const float u = c[0] - std::floor(c[0]), v = c[1] - std::floor(c[1]);
        EXPECT_TRUE(depths[0] < 1.05f || cells[k] == blue) << k;
        if (depths[0] < 0.95f && depths[1] - depths[0] > 0.1f && std::abs(u - 0.5f) < 0.46f &&
            std::abs(v - 0.5f) < 0.46f) {
            EXPECT_TRUE(near(cells[k], 256 * u, 256 * v, 0, 4)) << k;
            ++checked;
        }
    }
    EXPECT_GT(checked, 40);

    // The projection turns the grid half around: tile (5, 7), centred at
    // (-1/16, -1/12), lands right of and above the middle.
    const float scale = 1 / std::tan(30.0f) / 0.15f;
    const std::array<int, 3> tile = pixels(
        frame + "2.png")[int((1 + scale / 12) * 24) * 64 + int((1 - scale / 1.33f / 16) * 32)];
    EXPECT_TRUE(near(tile, 128, 149, 0, 10)) << tile[0] << " " << tile[1] << " " << tile[2];
}

}  // namespace
}  // namespace Vexa
