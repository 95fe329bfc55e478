// Textures of the OpenGL machine on a real context: formats and their
// channel order, rectangle textures and their coordinate scales, the upload
// rules, locking and orientation.
#include <functional>
#include <vector>

#include "Rendering/OpenGL/TextureGL.h"
#include "Support/MachineFixtureGL.h"

namespace Vexa {
namespace {

using TextureGLTest = MachineGLTest;

std::unique_ptr<Texture> solidTexture(int width, int height, unsigned format,
                                      const std::vector<uint8_t>& texel, int levels = 1) {
    std::unique_ptr<Texture> texture(
        MachineGLTest::machine().createTexture(width, height, format, levels, false));
    std::vector<uint8_t> pixels;
    for (int i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), texel.begin(), texel.end());
    texture->update(pixels.data());
    return texture;
}

TEST_F(TextureGLTest, UploadsEachFormatInItsDeclaredChannelOrder) {
    struct Case {
        unsigned format;
        std::vector<uint8_t> stored;
        std::array<int, 4> shown;
    };
    const Case cases[] = {
        {FORMAT_RGB8, {10, 20, 30}, {30, 20, 10, 255}},
        {FORMAT_ARGB8, {10, 20, 30, 40}, {30, 20, 10, 40}},
        {FORMAT_L8, {90}, {90, 90, 90, 255}},
    };
    for (const Case& c : cases) {
        std::unique_ptr<Texture> texture = solidTexture(4, 4, c.format, c.stored);
        machine().setTexture(0, texture.get());
        drawQuad();
        EXPECT_EQ(describe(pixel(5, 5)), describe(c.shown)) << "format " << c.format;
        machine().setTexture(0, nullptr);
    }
}

// Each quadrant of a 300x200 image has its own colour; coordinates 0..1
// must reach all four.
TEST_F(TextureGLTest, RectangleTextureIsAddressedWithUnitCoordinates) {
    std::unique_ptr<Texture> texture(machine().createTexture(300, 200, FORMAT_RGB8, 1, false));
    ASSERT_EQ(static_cast<BaseTextureGL*>(texture.get())->target(), GLenum(GL_TEXTURE_RECTANGLE));
    std::vector<uint8_t> pixels(300 * 200 * 3);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            uint8_t* p = &pixels[size_t(y * 300 + x) * 3];
            p[2] = x < 150 ? 255 : 0;  // red on the left
            p[1] = y < 100 ? 255 : 0;  // green on the top
            p[0] = 0;
        }
    texture->update(pixels.data());
    machine().setTexture(0, texture.get());
    EXPECT_EQ(machine().stage(0).sScale, 300);
    EXPECT_EQ(machine().stage(0).tScale, 200);
    drawQuad();
    EXPECT_EQ(describe(pixel(1, 1)), describe({255, 255, 0, 255}));
    EXPECT_EQ(describe(pixel(30, 1)), describe({0, 255, 0, 255}));
    EXPECT_EQ(describe(pixel(1, 30)), describe({255, 0, 0, 255}));
    EXPECT_EQ(describe(pixel(30, 30)), describe({0, 0, 0, 255}));
    // Rectangle textures cannot repeat: REPEAT clamps to the edge instead.
    texture->setWrapMode(0, REPEAT);
    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);
    // A square texture bound in its place takes the scales back to one.
    std::unique_ptr<Texture> square = solidTexture(4, 4, FORMAT_L8, {1});
    machine().setTexture(0, square.get());
    EXPECT_EQ(machine().stage(0).sScale, 1);
    EXPECT_EQ(machine().stage(0).tScale, 1);
    machine().setTexture(0, nullptr);
}

TEST_F(TextureGLTest, ArgumentErrorsCarryTheirMessages) {
    std::unique_ptr<Texture> texture = solidTexture(4, 4, FORMAT_L8, {1});
    const int units = machine().getMaxTextureUnits();
    struct Case {
        std::function<void()> call;
        const char* message;
    };
    const Case cases[] = {
        {[] { delete machine().createTexture(4, 4, 3, 1, false); }, "Invalid texture format"},
        {[] { delete machine().createTexture(300, 200, FORMAT_RGB8, 2, false); },
         "NPOTD texture cannot have mipmaps."},
        {[] { delete machine().createTexture(1 << 20, 4, FORMAT_RGB8, 1, false); },
         "GL_INVALID_VALUE"},
        {[&] { texture->setMinFilter(6); }, "Invalid texture filter"},
        {[&] { texture->setMagFilter(2); }, "Invalid texture filter"},
        {[&] { texture->setWrapMode(0, 3); }, "Invalid wrap type"},
        {[&] { texture->setWrapMode(3, REPEAT); }, "Invalid wrap type"},
        {[&] { machine().setTexture(units, texture.get()); }, "texNum >= maxTextureUnits"},
    };
    for (const Case& c : cases) EXPECT_EQ(messageOf(c.call), c.message);
}

// An upload binds the texture at the first free stage; with every stage
// taken it leaves unit zero as it was.
TEST_F(TextureGLTest, UploadTakesTheFirstFreeStageOrLeavesUnitZeroAsItWas) {
    const int units = machine().getMaxTextureUnits();
    std::vector<std::unique_ptr<Texture>> holders;
    for (int stage = 0; stage < units; ++stage) {
        holders.push_back(solidTexture(4, 4, FORMAT_L8, {uint8_t(stage)}));
        EXPECT_EQ(static_cast<BaseTextureGL*>(holders.back().get())->stage(), stage);
        EXPECT_EQ(machine().stage(stage).texture, holders.back().get());
        machine().setTexture(stage, holders.back().get());
    }
    std::unique_ptr<Texture> late = solidTexture(4, 4, FORMAT_L8, {200});
    EXPECT_EQ(static_cast<BaseTextureGL*>(late.get())->stage(), -1);
    glActiveTexture(GL_TEXTURE0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), static_cast<BaseTextureGL*>(holders[0].get())->name());
    EXPECT_EQ(machine().stage(0).texture, holders[0].get());
    for (int stage = 0; stage < units; ++stage) machine().setTexture(stage, nullptr);
}

// Locking an uploaded texture starts from its contents: a changed rectangle
// keeps the rest; updateRect replaces only its rectangle. Row 0 is the top.
TEST_F(TextureGLTest, LockRectAndUpdateRectChangeOnlyTheirRectangle) {
    std::unique_ptr<Texture> texture = solidTexture(2, 2, FORMAT_ARGB8, {0, 0, 255, 255});
    texture->setMinFilter(0);
    texture->setMagFilter(0);
    int pitch = 0;
    uint8_t* texel = static_cast<uint8_t*>(texture->lockRect(0, 0, 1, 0, &pitch, 0));
    EXPECT_EQ(pitch, 8);
    texel[0] = 255, texel[1] = 0, texel[2] = 0, texel[3] = 255;  // top right blue
    texture->unlock();
    const uint8_t green[4] = {0, 255, 0, 255};
    texture->updateRect(green, 0, 1, 1, 1);  // bottom left green
    machine().setTexture(0, texture.get());
    drawQuad();
    EXPECT_EQ(describe(pixel(2, 2)), describe({255, 0, 0, 255}));
    EXPECT_EQ(describe(pixel(29, 2)), describe({0, 0, 255, 255}));
    EXPECT_EQ(describe(pixel(2, 29)), describe({0, 255, 0, 255}));
    EXPECT_EQ(describe(pixel(29, 29)), describe({255, 0, 0, 255}));
    machine().setTexture(0, nullptr);
}

TEST_F(TextureGLTest, CubeFacesAreSampledByDirection) {
    std::unique_ptr<Texture> cube(machine().createCubeTexture(2, FORMAT_RGB8, 1, 0));
    const uint8_t faceColors[6][3] = {{0, 0, 255},   {0, 255, 0},   {255, 0, 0},
                                      {0, 255, 255}, {255, 0, 255}, {255, 255, 0}};
    for (int face = 0; face < 6; ++face) {
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 4; ++i)
            pixels.insert(pixels.end(), faceColors[face], faceColors[face] + 3);
        cube->updateFace(face, pixels.data());
    }
    machine().setTexture(0, cube.get());
    // The quad's (u, v, 0) coordinates point mostly along +x at the right.
    Matrix toX = Matrix::identity();
    toX.at(0, 0) = 10;
    machine().setTextureMatrix(0, &toX);
    drawQuad();
    EXPECT_EQ(describe(pixel(30, 16)), describe({255, 0, 0, 255}));
    machine().setTexture(0, nullptr);
}

}  // namespace
}  // namespace Vexa
