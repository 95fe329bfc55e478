// Image decoding with DevIL (no OpenGL needed) and the loader that turns
// images into textures: formats, channel order, orientation, sizes, mip
// levels and the error names of broken files.
#include "Rendering/OpenGL/ImageLoaderIL.h"

#include <IL/il.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "Common/DataBlock.h"
#include "Rendering/OpenGL/MachineFixtureGL.h"
#include "Rendering/OpenGL/TextureGL.h"

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

std::string decodeFailure(const Bytes& bytes) {
    return failureOf([&] {
        ImageIL image;
        image.decode(bytes.data(), bytes.size());
        image.textureFormat();
    });
}

enum class Picture { Colour, ColourAlpha, ColourBinaryAlpha, Grey, GreyAlpha };

// Every variant comes out top row first, blue first, with its alpha; JPEG
// files hold each pixel as an 8x8 block and come back within a few levels.
TEST(ImageIL, DecodesTheVariantsThatToolsWrite) {
    struct Case {
        const char* name;
        Bytes file;
        Picture picture;
        unsigned format;
        int scale = 1, tolerance = 0;
    };
    const unsigned rgb = FORMAT_RGB8, argb = FORMAT_ARGB8, grey = FORMAT_L8;
    const Case cases[] = {
        {"rgb.png", fixture("rgb.png"), Picture::Colour, rgb},
        {"rgba.png", fixture("rgba.png"), Picture::ColourAlpha, argb},
        {"palette.png", fixture("palette.png"), Picture::Colour, rgb},
        {"palette-4bit.png", fixture("palette-4bit.png"), Picture::Colour, rgb},
        {"palette-trns.png", fixture("palette-trns.png"), Picture::ColourBinaryAlpha, argb},
        {"palette-alpha.png", fixture("palette-alpha.png"), Picture::ColourAlpha, argb},
        {"grey.png", fixture("grey.png"), Picture::Grey, grey},
        {"grey-alpha.png", fixture("grey-alpha.png"), Picture::GreyAlpha, argb},
        {"grey16.png", fixture("grey16.png"), Picture::Grey, grey},
        {"rgb16.png", fixture("rgb16.png"), Picture::Colour, rgb},
        {"rgba16.png", fixture("rgba16.png"), Picture::ColourAlpha, argb},
        {"interlaced.png", fixture("interlaced.png"), Picture::Colour, rgb},
        {"baseline.jpg", fixture("baseline.jpg"), Picture::Colour, rgb, 8, 8},
        {"progressive.jpg", fixture("progressive.jpg"), Picture::Colour, rgb, 8, 8},
        {"grey.jpg", fixture("grey.jpg"), Picture::Grey, grey, 8, 8},
        {"v2-24.bmp", fixture("v2-24.bmp"), Picture::Colour, rgb},
        {"v3-24.bmp", fixture("v3-24.bmp"), Picture::Colour, rgb},
        {"v3-palette.bmp", fixture("v3-palette.bmp"), Picture::Colour, rgb},
        {"40-byte header with bit fields", v3BitFields(), Picture::Colour, rgb},
        {"v5-palette.bmp", fixture("v5-palette.bmp"), Picture::Colour, rgb},
        {"v5-24.bmp", fixture("v5-24.bmp"), Picture::Colour, rgb},
        {"v5-565.bmp", fixture("v5-565.bmp"), Picture::Colour, rgb},
        {"v5-555.bmp", fixture("v5-555.bmp"), Picture::Colour, rgb},
        {"v4-1555.bmp", fixture("v4-1555.bmp"), Picture::ColourBinaryAlpha, argb},
        // Written with alpha cut down to 4 bits: within one step of 17.
        {"v5-4444.bmp", fixture("v5-4444.bmp"), Picture::ColourAlpha, argb, 1, 17},
        {"v4-32.bmp", fixture("v4-32.bmp"), Picture::ColourAlpha, argb},
        {"v5-32.bmp", fixture("v5-32.bmp"), Picture::ColourAlpha, argb},
        {"tga top down", handTga(true), Picture::Colour, rgb},
        {"tga bottom up", handTga(false), Picture::Colour, rgb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageIL image;
        unsigned format = 0;
        ASSERT_EQ(failureOf([&] {
                      image.decode(c.file.data(), c.file.size());
                      format = image.textureFormat();
                  }),
                  "no failure");
        ASSERT_EQ(format, c.format);
        ASSERT_EQ(image.width(), 4 * c.scale);
        ASSERT_EQ(image.height(), 4 * c.scale);
        const int channels = c.format == rgb ? 3 : c.format == argb ? 4 : 1;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const int at = (y * c.scale + c.scale / 2) * image.width() + x * c.scale + c.scale / 2;
                const uint8_t* stored = image.pixels() + at * channels;
                const int level = 17 * (4 * y + x);
                const bool grey = c.picture == Picture::Grey || c.picture == Picture::GreyAlpha;
                int alpha = c.picture == Picture::Colour || c.picture == Picture::Grey ? 255 : kAlpha[y][x];
                if (c.picture == Picture::ColourBinaryAlpha) alpha = alpha >= 128 ? 255 : 0;
                int expected[4] = {kColour[y][x][2], kColour[y][x][1], kColour[y][x][0], alpha};
                if (grey) expected[0] = expected[1] = expected[2] = level;
                for (int channel = 0; channel < channels; ++channel) {
                    if (alpha == 0 && channel < 3) continue;  // the colour of a clear pixel is free
                    EXPECT_NEAR(stored[channel], expected[channel], c.tolerance)
                        << "pixel " << x << "," << y << " channel " << channel;
                }
            }
    }
}

TEST(ImageIL, RecognisesOnlyTheFormatsItHandsToDevIL) {
    const Bytes tga = handTga(true);
    Bytes badTgaType = tga;
    badTgaType[2] = 7;
    Bytes badTgaDepth = tga;
    badTgaDepth[16] = 13;
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
        {"tga of unknown type", badTgaType, ImageKindIL::Unknown},
        {"tga of impossible depth", badTgaDepth, ImageKindIL::Unknown},
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
    const Bytes png = fixture("rgb.png"), jpeg = fixture("baseline.jpg"), bmp = fixture("v3-24.bmp"),
                tga = handTga(true), bitFields = fixture("v5-32.bmp");
    Bytes pngBadCrc = png;
    pngBadCrc[29] ^= 0xFF;
    Bytes hugePng = png;
    hugePng[16] = 0x00, hugePng[17] = 0x01, hugePng[18] = 0x86, hugePng[19] = 0xA0;  // 100000 wide
    Bytes bmpBadDepth = bmp;
    bmpBadDepth[28] = 7;
    Bytes bitFieldsOn24Bits = v3BitFields();
    bitFieldsOn24Bits[28] = 24;
    Bytes jpegGarbage = jpeg;
    for (size_t i = 20; i < jpegGarbage.size(); ++i) jpegGarbage[i] = uint8_t(i * 7);
    struct Case {
        const char* name;
        Bytes bytes;
        const char* message;
    };
    const Case cases[] = {
        {"unknown format", Bytes(64, 'x'), "IL_FORMAT_NOT_SUPPORTED"},
        {"png truncated in its header", Bytes(png.begin(), png.begin() + 20), "IL_LIB_PNG_ERROR"},
        {"png truncated in its data", Bytes(png.begin(), png.end() - 30), "IL_LIB_PNG_ERROR"},
        {"png with a bad checksum", pngBadCrc, "IL_LIB_PNG_ERROR"},
        {"png too large to load", hugePng, "IL_BAD_DIMENSIONS"},
        {"jpeg truncated in its header", Bytes(jpeg.begin(), jpeg.begin() + 40), "IL_INVALID_FILE_HEADER"},
        {"jpeg segment past the end (found by the fuzzer)",
         Bytes{0xFF, 0xD8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0xFF, 0xFF}, "IL_INVALID_FILE_HEADER"},
        {"jpeg truncated in its scan", Bytes(jpeg.begin(), jpeg.end() - 30), "IL_LIB_JPEG_ERROR"},
        {"jpeg garbage", jpegGarbage, "IL_INVALID_FILE_HEADER"},
        {"bmp truncated", Bytes(bmp.begin(), bmp.begin() + 40), "IL_INVALID_FILE_HEADER"},
        {"bmp whose pixels lie past the end (found by the fuzzer)",
         Bytes{0x42, 0x4D, 0x46, 0, 0, 0, 0, 0, 0, 0, 0xCA, 0xFF, 0xFF, 0xFA, 0x28, 0, 0, 0, 2, 0, 0, 0, 2, 0,
               0, 0, 1, 0, 0x18, 0, 0, 0, 0, 0, 0x10, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0,
               0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0xF9, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0},
         "IL_INVALID_FILE_HEADER"},
        {"bmp of impossible depth", bmpBadDepth, "IL_INVALID_FILE_HEADER"},
        {"bmp with bit fields on 24 bits", bitFieldsOn24Bits, "IL_INVALID_FILE_HEADER"},
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

TEST(ImageIL, NamesEveryDevILError) {
    struct Case {
        unsigned code;
        const char* name;
    };
    const Case cases[] = {
        {IL_INVALID_ENUM, "IL_INVALID_ENUM"},         {IL_FILE_READ_ERROR, "IL_FILE_READ/WRITE_ERROR"},
        {IL_LIB_MNG_ERROR, "IL_LIB_MNG_ERROR"},       {IL_UNKNOWN_ERROR, "IL_UNKNOWN_ERROR"},
        {IL_BAD_DIMENSIONS, "IL_BAD_DIMENSIONS"},     {IL_LIB_JP2_ERROR, "undefined IL error"},
        {0x1234, "undefined IL error"},
    };
    for (const Case& c : cases) EXPECT_STREQ(errorNameIL(c.code), c.name) << std::hex << c.code;
}

TEST(ImageIL, MipLevelsFollowTheSizeRule) {
    struct Case {
        int requested, width, height, levels;
    };
    const Case cases[] = {{-1, 256, 256, 8}, {-1, 2, 2, 1}, {-1, 1, 1, 1}, {-1, 256, 4, 8},
                          {-1, 300, 200, 1}, {-1, 256, 100, 1}, {3, 300, 200, 3}, {1, 256, 256, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(imageMipLevels(c.requested, c.width, c.height), c.levels)
            << c.requested << " " << c.width << "x" << c.height;
}

// A data block over bytes of the test.
class MemoryBlock : public DataBlock {
public:
    explicit MemoryBlock(Bytes bytes) : m_bytes(std::move(bytes)) { m_bytes.push_back(0); }
    void load() override {
        m_data = reinterpret_cast<char*>(m_bytes.data());
        m_size = int32_t(m_bytes.size() - 1);
        m_loaded = true;
    }
    void unload() override {
        m_data = nullptr;
        m_size = 0;
        m_loaded = false;
    }

private:
    Bytes m_bytes;
};

using ImageLoaderILTest = MachineGLTest;

TEST_F(ImageLoaderILTest, LoadsATextureFromADataBlockAndLeavesTheBlockUnloaded) {
    MemoryBlock block(fixture("rgb.png"));
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
    EXPECT_EQ(describe(pixel(2, 2)), describe({255, 0, 0, 255}));     // top left red
    EXPECT_EQ(describe(pixel(29, 29)), describe({255, 255, 0, 255}));  // bottom right yellow
    machine().setTexture(0, nullptr);
}

TEST_F(ImageLoaderILTest, ForcedSizeRescalesTheImage) {
    MemoryBlock block(fixture("v3-24.bmp"));
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    TextureDescription description;
    description.forceSize = true;
    description.width = 16;
    description.height = 8;
    std::unique_ptr<Texture> texture(loader->loadTexture(block, description));
    EXPECT_EQ(static_cast<BaseTextureGL*>(texture.get())->width(), 16);
    EXPECT_EQ(static_cast<BaseTextureGL*>(texture.get())->height(), 8);
    description.width = 1 << 20;
    EXPECT_EQ(failureOf([&] { delete loader->loadTexture(block, description); }),
              "Invalid texture dimensions.");
}

TEST_F(ImageLoaderILTest, CubeTexturesNeedSquarePowerOfTwoImages) {
    MemoryBlock small(fixture("rgb.png")), large(fixture("baseline.jpg"));  // 4x4 and 32x32
    const DataBlock* faces[6] = {&small, &small, &small, &large, &small, &small};
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    EXPECT_EQ(failureOf([&] { delete loader->loadCubeTexture(faces, TextureDescription()); }),
              "Invalid texture dimensions.");
    TextureDescription forced;
    forced.forceSize = true;
    forced.width = forced.height = 4;
    std::unique_ptr<Texture> cube(loader->loadCubeTexture(faces, forced));
    EXPECT_EQ(static_cast<BaseTextureGL*>(cube.get())->target(), GLenum(GL_TEXTURE_CUBE_MAP));
    forced.width = forced.height = 6;
    EXPECT_EQ(failureOf([&] { delete loader->loadCubeTexture(faces, forced); }),
              "Invalid texture dimensions.");
}

TEST_F(ImageLoaderILTest, LoadsANamedFile) {
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    std::unique_ptr<Texture> texture(
        loader->loadTexture(imagePath("palette-alpha.png").c_str(), TextureDescription()));
    EXPECT_EQ(static_cast<BaseTextureGL*>(texture.get())->width(), 4);
    EXPECT_EQ(failureOf([&] { delete loader->loadTexture("no/such/image.png", TextureDescription()); }),
              "IL_COULD_NOT_OPEN_FILE");
}

}  // namespace
}  // namespace Vexa
