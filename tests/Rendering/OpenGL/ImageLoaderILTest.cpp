// Image decoding with DevIL (no OpenGL needed) and the loader that turns
// images into textures: formats, channel order, orientation, sizes, mip
// levels and the error names of broken files.
#include "Rendering/OpenGL/ImageLoaderIL.h"

#include <IL/il.h>

#include <cstring>
#include <vector>

#include "Common/DataBlock.h"
#include "Rendering/OpenGL/MachineFixtureGL.h"
#include "Rendering/OpenGL/TextureGL.h"

namespace Vexa {
namespace {

using Bytes = std::vector<uint8_t>;

// 4x2 pixels in red, green, blue order, top row first: red, green, blue,
// white on top; black, grey, yellow, cyan below.
const uint8_t kPicture[2][4][3] = {
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}},
    {{0, 0, 0}, {128, 128, 128}, {255, 255, 0}, {0, 255, 255}},
};

// Encodes kPicture with DevIL's own writers. A picture made in memory has
// its origin at the lower left, so its rows are given bottom up.
Bytes encode(ILenum type, bool withAlpha = false) {
    initDevIL();
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    Bytes pixels;
    for (int y = 1; y >= 0; --y)
        for (const auto& p : kPicture[y]) {
            pixels.insert(pixels.end(), p, p + 3);
            if (withAlpha) pixels.push_back(200);
        }
    ilTexImage(4, 2, 1, withAlpha ? 4 : 3, withAlpha ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE,
               pixels.data());
    Bytes out(1 << 16);
    const ILuint size = ilSaveL(type, out.data(), ILuint(out.size()));
    out.resize(size);
    ilDeleteImages(1, &name);
    while (ilGetError() != IL_NO_ERROR) {
    }
    return out;
}

// A 2x2 24-bit BMP written by hand: rows stored bottom up, red on top.
Bytes handBmp() {
    return {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
            40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0,
            16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
            255, 0, 0, 255, 0, 0, 0, 0,   // bottom row blue (B,G,R), padding
            0, 0, 255, 0, 0, 255, 0, 0};  // top row red
}

// kPicture as an uncompressed true-colour TGA written by hand, its rows top
// down or bottom up as the descriptor says.
Bytes handTga(bool topDown) {
    Bytes b = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 24, uint8_t(topDown ? 0x20 : 0)};
    for (int i = 0; i < 2; ++i) {
        const int y = topDown ? i : 1 - i;
        for (const auto& p : kPicture[y]) b.insert(b.end(), {p[2], p[1], p[0]});
    }
    return b;
}

std::string decodeFailure(const Bytes& bytes) {
    return failureOf([&] {
        ImageIL image;
        image.decode(bytes.data(), bytes.size());
        image.textureFormat();
    });
}

TEST(ImageIL, DecodesEachSupportedFormatTopRowFirstInBlueFirstOrder) {
    struct Case {
        const char* name;
        Bytes file;
    };
    const Case cases[] = {{"png", encode(IL_PNG)},
                          {"bmp", encode(IL_BMP)},
                          {"tga top down", handTga(true)},
                          {"tga bottom up", handTga(false)}};
    for (const Case& c : cases) {
        const Bytes& file = c.file;
        ASSERT_FALSE(file.empty()) << c.name;
        ImageIL image;
        image.decode(file.data(), file.size());
        ASSERT_EQ(image.textureFormat(), unsigned(FORMAT_RGB8)) << c.name;
        ASSERT_EQ(image.width(), 4) << c.name;
        ASSERT_EQ(image.height(), 2) << c.name;
        const uint8_t* p = image.pixels();
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                for (int channel = 0; channel < 3; ++channel) {
                    const int stored = p[(y * 4 + x) * 3 + channel];
                    const int expected = kPicture[y][x][2 - channel];
                    EXPECT_EQ(stored, expected) << c.name << " pixel " << x << "," << y << " channel " << channel;
                }
    }
}

// JPEG is lossy and subsamples colour: a picture of solid 16x16 blocks,
// red above blue, keeps its colours closely enough.
TEST(ImageIL, DecodesJpegTopRowFirst) {
    initDevIL();
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    Bytes pixels;
    for (int y = 0; y < 32; ++y)  // bottom up
        for (int x = 0; x < 32; ++x) pixels.insert(pixels.end(), {uint8_t(y < 16 ? 0 : 255), 0, uint8_t(y < 16 ? 255 : 0)});
    ilTexImage(32, 32, 1, 3, IL_RGB, IL_UNSIGNED_BYTE, pixels.data());
    Bytes file(1 << 16);
    file.resize(ilSaveL(IL_JPG, file.data(), ILuint(file.size())));
    ilDeleteImages(1, &name);
    ImageIL image;
    image.decode(file.data(), file.size());
    ASSERT_EQ(image.textureFormat(), unsigned(FORMAT_RGB8));
    const uint8_t* top = image.pixels() + (8 * 32 + 8) * 3;
    const uint8_t* bottom = image.pixels() + (24 * 32 + 8) * 3;
    EXPECT_NEAR(top[2], 255, 24);  // red
    EXPECT_NEAR(top[0], 0, 24);
    EXPECT_NEAR(bottom[0], 255, 24);  // blue
    EXPECT_NEAR(bottom[2], 0, 24);
}

TEST(ImageIL, KeepsAlphaAsTheFourthByte) {
    const Bytes file = encode(IL_PNG, true);
    ImageIL image;
    image.decode(file.data(), file.size());
    ASSERT_EQ(image.textureFormat(), unsigned(FORMAT_ARGB8));
    const uint8_t* p = image.pixels();
    EXPECT_EQ(Bytes(p, p + 4), (Bytes{0, 0, 255, 200}));
}

TEST(ImageIL, BottomUpBmpComesOutTopRowFirst) {
    const Bytes file = handBmp();
    ImageIL image;
    image.decode(file.data(), file.size());
    ASSERT_EQ(image.textureFormat(), unsigned(FORMAT_RGB8));
    const uint8_t* p = image.pixels();
    EXPECT_EQ(Bytes(p, p + 3), (Bytes{0, 0, 255}));
    EXPECT_EQ(Bytes(p + 6, p + 9), (Bytes{255, 0, 0}));
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
        {"png", encode(IL_PNG), ImageKindIL::Png},
        {"jpeg", encode(IL_JPG), ImageKindIL::Jpeg},
        {"bmp", handBmp(), ImageKindIL::Bmp},
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
    const Bytes png = encode(IL_PNG), jpeg = encode(IL_JPG), bmp = handBmp(), tga = handTga(true);
    Bytes pngBadCrc = png;
    pngBadCrc[29] ^= 0xFF;
    Bytes hugePng = png;
    hugePng[16] = 0x00, hugePng[17] = 0x01, hugePng[18] = 0x86, hugePng[19] = 0xA0;  // 100000 wide
    Bytes bmpBadDepth = bmp;
    bmpBadDepth[28] = 7;
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
        {"tga truncated", Bytes(tga.begin(), tga.begin() + 24), "IL_FILE_READ/WRITE_ERROR"},
    };
    for (const Case& c : cases) EXPECT_EQ(decodeFailure(c.bytes), c.message) << c.name;
}

// A failed load reports its own error, not one left on DevIL's stack by an
// earlier call, and a good load is not spoiled by one either.
TEST(ImageIL, ErrorsLeftOnTheStackDoNotLeakIntoLaterLoads) {
    const Bytes png = encode(IL_PNG);
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
    MemoryBlock block(encode(IL_PNG));
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    std::unique_ptr<Texture> texture(loader->loadTexture(block, TextureDescription()));
    EXPECT_FALSE(block.isLoaded());
    const auto* textureGL = static_cast<BaseTextureGL*>(texture.get());
    EXPECT_EQ(textureGL->width(), 4);
    EXPECT_EQ(textureGL->height(), 2);
    EXPECT_EQ(textureGL->mipLevels(), 2);
    texture->setMinFilter(0);
    texture->setMagFilter(0);
    machine().setTexture(0, texture.get());
    drawQuad();
    EXPECT_EQ(describe(pixel(2, 2)), describe({255, 0, 0, 255}));     // top left red
    EXPECT_EQ(describe(pixel(29, 29)), describe({0, 255, 255, 255})); // bottom right cyan
    machine().setTexture(0, nullptr);
}

TEST_F(ImageLoaderILTest, ForcedSizeRescalesTheImage) {
    MemoryBlock block(encode(IL_BMP));
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
    MemoryBlock square(encode(IL_PNG));  // 4x2
    const DataBlock* faces[6] = {&square, &square, &square, &square, &square, &square};
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

TEST_F(ImageLoaderILTest, MissingFileAndUnusableFormatFail) {
    std::unique_ptr<ImageLoader> loader(machine().createImageLoader());
    EXPECT_EQ(failureOf([&] { delete loader->loadTexture("no/such/image.png", TextureDescription()); }),
              "IL_COULD_NOT_OPEN_FILE");
    // A grey image with alpha has no texture format.
    initDevIL();
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    const uint8_t greyAlpha[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ilTexImage(2, 2, 1, 2, IL_LUMINANCE_ALPHA, IL_UNSIGNED_BYTE, const_cast<uint8_t*>(greyAlpha));
    Bytes file(4096);
    file.resize(ilSaveL(IL_PNG, file.data(), ILuint(file.size())));
    ilDeleteImages(1, &name);
    MemoryBlock block(file);
    EXPECT_EQ(failureOf([&] { delete loader->loadTexture(block, TextureDescription()); }),
              "Cannot handle image format.");
}

}  // namespace
}  // namespace Vexa
