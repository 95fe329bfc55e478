// Image decoding with DevIL (no OpenGL needed) and the loader that turns
// images into textures: formats, channel order, orientation, sizes, mip
// levels and the error names of broken files.
#include "Rendering/OpenGL/ImageLoaderIL.h"

#include <IL/il.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "Rendering/OpenGL/TextureGL.h"
#include "Support/MachineFixtureGL.h"

namespace Vexa {
namespace {

using Bytes = std::vector<uint8_t>;

// The pictures of the files in data/images (tools/make_image_fixtures.sh writes
// them), row 0 at the top: colours in red, green, blue order, grey level
// 17 * (4 * y + x), and the alpha levels of the files with alpha.
const uint8_t kColour[4][4][3] = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
    {{0, 0, 0}, {255, 255, 0}, {0, 255, 255}, {255, 0, 255}},
    {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 255, 0}},
    {{0, 0, 255}, {255, 0, 255}, {0, 0, 0}, {255, 255, 0}},
};
const uint8_t kAlpha[4][4] = {
    {255, 0, 255, 128}, {255, 255, 0, 64}, {0, 255, 255, 255}, {192, 255, 32, 255}};

std::string imagePath(const char* name) { return std::string(VEXA_TEST_DATA "/images/") + name; }

Bytes fixture(const char* name) {
    std::ifstream in(imagePath(name), std::ios::binary);
    Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

// kColour as an uncompressed true-colour TGA written by hand, its rows top
// down or bottom up as the descriptor says.
Bytes handTga(bool topDown) {
    Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, uint8_t(topDown ? 0x20 : 0)};
    for (int i = 0; i < 4; ++i)
        for (const auto& p : kColour[topDown ? i : 3 - i]) b.insert(b.end(), {p[2], p[1], p[0]});
    return b;
}

// v5-565.bmp with the 40-byte header followed by its three masks.
Bytes v3BitFields() {
    Bytes b = fixture("v5-565.bmp");
    b.erase(b.begin() + 14 + 40 + 12, b.begin() + b[10]);
    b[10] = 14 + 40 + 12;
    b[14] = 40;
    return b;
}

Bytes patched(Bytes bytes, size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
}

std::string decodeFailure(const Bytes& bytes) {
    return messageOf([&] {
        ImageIL image;
        image.decode(bytes.data(), bytes.size());
        image.textureFormat();
    });
}

// What a file shows: the colour or grey picture, with kAlpha, with kAlpha
// cut to 0 or 255, or opaque.
enum Picture { Colour, ColourAlpha, BinaryAlpha, Grey, GreyAlpha };

// Every variant comes out top row first, blue first, with its alpha, as a
// texture format that follows from the picture. JPEG files hold each pixel
// as an 8x8 block and come back within a few levels.
TEST(ImageIL, DecodesTheVariantsThatToolsWrite) {
    struct Case {
        Picture picture;
        const char* names;  // blank-separated fixtures, or what `file` holds
        int scale = 1, tolerance = 0;
        Bytes file = {};
    };
    const Case cases[] = {
        {Colour,
         "rgb.png interlaced.png palette.png palette-4bit.png rgb16.png v2-24.bmp v3-24.bmp "
         "v3-palette.bmp v5-palette.bmp v5-24.bmp v5-565.bmp v5-555.bmp"},
        {ColourAlpha, "rgba.png palette-alpha.png rgba16.png v4-32.bmp v5-32.bmp"},
        {BinaryAlpha, "palette-trns.png v4-1555.bmp"},
        {Grey, "grey.png grey16.png"},
        {GreyAlpha, "grey-alpha.png"},
        {Colour, "baseline.jpg progressive.jpg", 8, 8},
        {Grey, "grey.jpg", 8, 8},
        {ColourAlpha, "v5-4444.bmp", 1, 17},  // alpha written cut down to 4 bits
        {Colour, "40-byte header with bit fields", 1, 0, v3BitFields()},
        {Colour, "tga top down", 1, 0, handTga(true)},
        {Colour, "tga bottom up", 1, 0, handTga(false)},
    };
    for (const Case& c : cases) {
        std::istringstream listed(c.file.empty() ? c.names : "");
        std::vector<std::string> names{std::istream_iterator<std::string>(listed), {}};
        if (!c.file.empty()) names = {c.names};
        for (const std::string& name : names) {
            SCOPED_TRACE(name);
            const Bytes file = c.file.empty() ? fixture(name.c_str()) : c.file;
            const bool grey = c.picture == Grey || c.picture == GreyAlpha;
            const int channels = c.picture == Colour ? 3 : c.picture == Grey ? 1 : 4;
            ImageIL image;
            ASSERT_EQ(messageOf([&] { image.decode(file.data(), file.size()); }), "no error");
            EXPECT_EQ(image.textureFormat(), unsigned(channels == 3   ? FORMAT_RGB8
                                                      : channels == 4 ? FORMAT_ARGB8
                                                                      : FORMAT_L8));
            ASSERT_EQ(image.width(), 4 * c.scale);
            ASSERT_EQ(image.height(), 4 * c.scale);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x) {
                    const int at =
                        (y * c.scale + c.scale / 2) * image.width() + x * c.scale + c.scale / 2;
                    const uint8_t* stored = image.pixels() + at * channels;
                    int alpha = c.picture == Colour || c.picture == Grey ? 255 : kAlpha[y][x];
                    if (c.picture == BinaryAlpha) alpha = alpha >= 128 ? 255 : 0;
                    int expected[4] = {kColour[y][x][2], kColour[y][x][1], kColour[y][x][0], alpha};
                    if (grey) expected[0] = expected[1] = expected[2] = 17 * (4 * y + x);
                    for (int channel = 0; channel < channels; ++channel) {
                        if (alpha == 0 && channel < 3)
                            continue;  // the colour of a clear pixel is free
                        EXPECT_NEAR(stored[channel], expected[channel], c.tolerance)
                            << "pixel " << x << "," << y << " channel " << channel;
                    }
                }
        }
    }
}

TEST(ImageIL, RecognisesOnlyTheFormatsItHandsToDevIL) {
    const Bytes tga = handTga(true);
    struct Case {
        const char* name;
        Bytes bytes;
        ImageKindIL kind;
    };
    const Case cases[] = {
        {"png", fixture("rgb.png"), ImageKindIL::Png},
        {"jpeg", fixture("baseline.jpg"), ImageKindIL::Jpeg},
        {"bmp", fixture("v3-24.bmp"), ImageKindIL::Bmp},
        {"tga", tga, ImageKindIL::Tga},
        {"tga of unknown type", patched(tga, 2, 7), ImageKindIL::Unknown},
        {"tga of impossible depth", patched(tga, 16, 13), ImageKindIL::Unknown},
        {"gif", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         ImageKindIL::Unknown},
        {"empty", Bytes{}, ImageKindIL::Unknown},
        {"text", Bytes(40, 'x'), ImageKindIL::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(int(detectImageKind(c.bytes.data(), c.bytes.size())), int(c.kind)) << c.name;
}

// Broken files of every format fail with a DevIL error name, never a crash.
TEST(ImageIL, BrokenFilesFailWithTheirErrorNames) {
    const Bytes png = fixture("rgb.png"), jpeg = fixture("baseline.jpg"),
                bmp = fixture("v3-24.bmp"), tga = handTga(true), bitFields = fixture("v5-32.bmp");
    Bytes hugePng = png;
    hugePng[16] = 0x00, hugePng[17] = 0x01, hugePng[18] = 0x86, hugePng[19] = 0xA0;  // 100000 wide
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;
    };
    const Case cases[] = {
        {"unknown format", Bytes(64, 'x'), "IL_FORMAT_NOT_SUPPORTED"},
        {"png truncated in its header", Bytes(png.begin(), png.begin() + 20), "IL_LIB_PNG_ERROR"},
        {"png chunk far past the end", patched(png, 33, 0x08), "IL_LIB_PNG_ERROR"},
        {"png too large to load", hugePng, "IL_BAD_DIMENSIONS"},
        {"png without its end chunk", Bytes(png.begin(), png.end() - 12), "IL_LIB_PNG_ERROR"},
        {"palette png cut inside its last chunk header (found by the fuzzer: it hung)",
         Bytes{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
               0x44, 0x52, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04, 0x08, 0x03, 0x00, 0x00,
               0x00, 0x9E, 0x2F, 0x6E, 0x4C, 0x00, 0x00, 0x00, 0x21, 0x50, 0x4C, 0x54, 0x45, 0x00,
               0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00,
               0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF,
               0x00, 0xFF, 0x00, 0xFF, 0x6C, 0x76, 0xCB, 0xE0, 0x00, 0x00, 0x00, 0x05, 0x74, 0x52,
               0x4E, 0x53, 0x40, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82},
         "IL_LIB_PNG_ERROR"},
        {"jpeg truncated in its header", Bytes(jpeg.begin(), jpeg.begin() + 40),
         "IL_INVALID_FILE_HEADER"},
        {"jpeg segment past the end (found by the fuzzer)",
         Bytes{0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0xFF, 0xFF},
         "IL_INVALID_FILE_HEADER"},
        {"jpeg truncated in its scan", Bytes(jpeg.begin(), jpeg.end() - 30), "IL_LIB_JPEG_ERROR"},
        {"bmp truncated", Bytes(bmp.begin(), bmp.begin() + 40), "IL_INVALID_FILE_HEADER"},
        {"bmp whose pixels lie past the end (found by the fuzzer)",
         Bytes{0x42, 0x4D, 0x46, 0, 0,    0, 0, 0, 0,    0,    0xCA, 0xFF, 0xFF, 0xFA, 0x28,
               0,    0,    0,    2, 0,    0, 0, 2, 0,    0,    0,    1,    0,    0x18, 0,
               0,    0,    0,    0, 0x10, 0, 0, 0, 0x13, 0x0B, 0,    0,    0x13, 0x0B, 0,
               0,    0,    0,    0, 0,    0, 0, 0, 0,    0,    0,    0,    0,    0xFF, 0,
               0xFF, 0xF9, 0,    0, 0,    0, 0, 0, 0xFF, 0,    0,    0},
         "IL_INVALID_FILE_HEADER"},
        {"bmp of impossible depth", patched(bmp, 28, 7), "IL_INVALID_FILE_HEADER"},
        {"bmp with bit fields on 24 bits", patched(v3BitFields(), 28, 24),
         "IL_INVALID_FILE_HEADER"},
        {"bit fields without their masks (as one writer makes them)", fixture("v3-565.bmp"),
         "IL_INVALID_FILE_HEADER"},
        {"bit-field bmp truncated", Bytes(bitFields.begin(), bitFields.end() - 1),
         "IL_INVALID_FILE_HEADER"},
        {"cmyk jpeg", fixture("cmyk.jpg"), "Cannot handle image format."},
        {"tga truncated", Bytes(tga.begin(), tga.begin() + 24), "IL_FILE_READ/WRITE_ERROR"},
    };
    for (const Case& c : cases) EXPECT_EQ(decodeFailure(c.bytes), c.message) << c.name;
}

// A failed load reports its own error, not one left on DevIL's stack by an
// earlier call, and a good load is not spoiled by one either.
TEST(ImageIL, ErrorsLeftOnTheStackDoNotLeakIntoLaterLoads) {
    const Bytes png = fixture("rgb.png");
    initDevIL();
    ilConvertImage(0x1234, 0x5678);  // leaves an error behind
    {
        ImageIL image;
        image.decode(png.data(), png.size());
        EXPECT_EQ(image.width(), 4);
    }
    ilConvertImage(0x1234, 0x5678);
    const Bytes truncated(png.begin(), png.begin() + 20);
    EXPECT_EQ(decodeFailure(truncated), "IL_LIB_PNG_ERROR");
}

TEST(ImageIL, MipLevelsFollowTheSizeRule) {
    struct Case {
        int requested, width, height, levels;
    };
    const Case cases[] = {{-1, 256, 256, 8}, {-1, 2, 2, 1},     {-1, 1, 1, 1},    {-1, 256, 4, 8},
                          {-1, 300, 200, 1}, {-1, 256, 100, 1}, {3, 300, 200, 3}, {1, 256, 256, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(imageMipLevels(c.requested, c.width, c.height), c.levels)
            << c.requested << " " << c.width << "x" << c.height;
}

// A data block over the bytes of a fixture.
struct FixtureBlock : Testing::MemoryBlock {
    explicit FixtureBlock(const char* name) : MemoryBlock(text(fixture(name))) {}
    static std::string text(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }
};

using ImageLoaderILTest = MachineGLTest;

TEST_F(ImageLoaderILTest, LoadsFromADataBlockWhichItLeavesUnloadedAndFromANamedFile) {
    FixtureBlock block("rgb.png");
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    std::unique_ptr<Texture> texture(loader->loadTexture(block, TextureDescription()));
    EXPECT_FALSE(block.isLoaded());
    const auto* textureGL = static_cast<BaseTextureGL*>(texture.get());
    EXPECT_EQ(textureGL->width(), 4);
    EXPECT_EQ(textureGL->height(), 4);
    EXPECT_EQ(textureGL->mipLevels(), 2);
    texture->setMinFilter(0);
    texture->setMagFilter(0);
    machine().setTexture(0, texture.get());
    drawQuad();
    EXPECT_EQ(describe(pixel(2, 2)), describe({255, 0, 0, 255}));      // top left red
    EXPECT_EQ(describe(pixel(29, 29)), describe({255, 255, 0, 255}));  // bottom right yellow
    machine().setTexture(0, nullptr);
    std::unique_ptr<Texture> named(
        loader->loadTexture(imagePath("palette-alpha.png").c_str(), TextureDescription()));
    EXPECT_EQ(static_cast<BaseTextureGL*>(named.get())->width(), 4);
    EXPECT_EQ(
        messageOf([&] { delete loader->loadTexture("no/such/image.png", TextureDescription()); }),
        "IL_COULD_NOT_OPEN_FILE");
}

TEST_F(ImageLoaderILTest, ForcedSizeRescalesTheImage) {
    FixtureBlock block("v3-24.bmp");
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    TextureDescription description;
    description.forceSize = true;
    description.width = 16;
    description.height = 8;
    std::unique_ptr<Texture> texture(loader->loadTexture(block, description));
    EXPECT_EQ(static_cast<BaseTextureGL*>(texture.get())->width(), 16);
    EXPECT_EQ(static_cast<BaseTextureGL*>(texture.get())->height(), 8);
    description.width = 1 << 20;
    EXPECT_EQ(messageOf([&] { delete loader->loadTexture(block, description); }),
              "Invalid texture dimensions.");
}

TEST_F(ImageLoaderILTest, CubeTexturesNeedSquarePowerOfTwoImages) {
    FixtureBlock small("rgb.png"), large("baseline.jpg");  // 4x4 and 32x32
    const DataBlock* faces[6] = {&small, &small, &small, &large, &small, &small};
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    EXPECT_EQ(messageOf([&] { delete loader->loadCubeTexture(faces, TextureDescription()); }),
              "Invalid texture dimensions.");
    TextureDescription forced;
    forced.forceSize = true;
    forced.width = forced.height = 4;
    std::unique_ptr<Texture> cube(loader->loadCubeTexture(faces, forced));
    EXPECT_EQ(static_cast<BaseTextureGL*>(cube.get())->target(), GLenum(GL_TEXTURE_CUBE_MAP));
    forced.width = forced.height = 6;
    EXPECT_EQ(messageOf([&] { delete loader->loadCubeTexture(faces, forced); }),
              "Invalid texture dimensions.");
}

}  // namespace
}  // namespace Vexa
