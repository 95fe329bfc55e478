#include "Rendering/OpenGL/ImageLoaderIL.h"

#include <IL/il.h>
#include <IL/ilu.h>

#include <cstring>
#include <memory>
#include <vector>

#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Platform/FileSystem.h"
#include "Rendering/OpenGL/RenderMachineGL.h"

namespace Vexa {

static const char* const kUnit = "Rendering/OpenGL/ImageLoaderIL";

namespace {

struct ErrorNameIL {
    ILenum code;
    const char* name;
};

// IL_FILE_READ_ERROR and IL_FILE_WRITE_ERROR share one code.
const ErrorNameIL s_errorNames[] = {
    {IL_INVALID_ENUM, "IL_INVALID_ENUM"},
    {IL_OUT_OF_MEMORY, "IL_OUT_OF_MEMORY"},
    {IL_FORMAT_NOT_SUPPORTED, "IL_FORMAT_NOT_SUPPORTED"},
    {IL_INTERNAL_ERROR, "IL_INTERNAL_ERROR"},
    {IL_INVALID_VALUE, "IL_INVALID_VALUE"},
    {IL_ILLEGAL_OPERATION, "IL_ILLEGAL_OPERATION"},
    {IL_ILLEGAL_FILE_VALUE, "IL_ILLEGAL_FILE_VALUE"},
    {IL_INVALID_FILE_HEADER, "IL_INVALID_FILE_HEADER"},
    {IL_INVALID_PARAM, "IL_INVALID_PARAM"},
    {IL_COULD_NOT_OPEN_FILE, "IL_COULD_NOT_OPEN_FILE"},
    {IL_INVALID_EXTENSION, "IL_INVALID_EXTENSION"},
    {IL_FILE_ALREADY_EXISTS, "IL_FILE_ALREADY_EXISTS"},
    {IL_OUT_FORMAT_SAME, "IL_OUT_FORMAT_SAME"},
    {IL_STACK_OVERFLOW, "IL_STACK_OVERFLOW"},
    {IL_STACK_UNDERFLOW, "IL_STACK_UNDERFLOW"},
    {IL_INVALID_CONVERSION, "IL_INVALID_CONVERSION"},
    {IL_BAD_DIMENSIONS, "IL_BAD_DIMENSIONS"},
    {IL_FILE_READ_ERROR, "IL_FILE_READ/WRITE_ERROR"},
    {IL_LIB_GIF_ERROR, "IL_LIB_GIF_ERROR"},
    {IL_LIB_JPEG_ERROR, "IL_LIB_JPEG_ERROR"},
    {IL_LIB_PNG_ERROR, "IL_LIB_PNG_ERROR"},
    {IL_LIB_TIFF_ERROR, "IL_LIB_TIFF_ERROR"},
    {IL_LIB_MNG_ERROR, "IL_LIB_MNG_ERROR"},
    {IL_UNKNOWN_ERROR, "IL_UNKNOWN_ERROR"},
};

// DevIL keeps a short error stack; more entries than this never come back.
constexpr int kMaxErrorsIL = 64;

[[noreturn]] void throwIL(ILenum code, int line) {
    throw RenderMachineException(errorNameIL(code), kUnit, line);
}

void drainErrorsIL() {
    for (int i = 0; i < kMaxErrorsIL && ilGetError() != IL_NO_ERROR; ++i) {}
}

// Fails with the first error on DevIL's stack that is not a read error. Read
// errors are what DevIL's probing leaves behind on every load, so one counts
// only when nothing else is there; a failure with an empty stack is a file
// DevIL could not make sense of and is reported as an invalid file header.
[[noreturn]] void throwFirstErrorIL(int line) {
    ILenum first = IL_NO_ERROR;
    bool readError = false;
    for (int i = 0; i < kMaxErrorsIL; ++i) {
        const ILenum error = ilGetError();
        if (error == IL_NO_ERROR) break;
        if (error == IL_FILE_READ_ERROR) {
            readError = true;
        } else if (first == IL_NO_ERROR) {
            first = error;
        }
    }
    drainErrorsIL();
    if (first == IL_NO_ERROR) first = readError ? IL_FILE_READ_ERROR : IL_INVALID_FILE_HEADER;
    throwIL(first, line);
}

bool isPowerOfTwoEdge(int value) { return value > 0 && (value & (value - 1)) == 0; }

uint32_t bigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
unsigned bigEndian16(const uint8_t* p) { return unsigned(p[0]) << 8 | p[1]; }
unsigned littleEndian16(const uint8_t* p) { return unsigned(p[0]) | unsigned(p[1]) << 8; }
int32_t littleEndian32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kTgaHeader = 18;

// A TGA header is plausible when every field holds a value the format
// defines and the data is long enough for the header, the image id and the
// colour map.
bool plausibleTga(const uint8_t* b, size_t size) {
    if (size <= kTgaHeader) return false;
    const unsigned idLength = b[0], mapType = b[1], imageType = b[2];
    const unsigned mapLength = littleEndian16(b + 5), mapBits = b[7];
    const unsigned width = littleEndian16(b + 12), height = littleEndian16(b + 14);
    const unsigned bits = b[16], descriptor = b[17];
    if (mapType > 1 || width == 0 || height == 0 || (descriptor & 0xC0) != 0) return false;
    const bool mapBitsValid = mapBits == 15 || mapBits == 16 || mapBits == 24 || mapBits == 32;
    if (mapType == 1 && (!mapBitsValid || mapLength == 0)) return false;
    switch (imageType) {
        case 1:
        case 9:  // colour mapped
            if (mapType != 1 || bits != 8) return false;
            break;
        case 2:
        case 10:  // true colour
            if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return false;
            break;
        case 3:
        case 11:  // grey
            if (bits != 8 && bits != 16) return false;
            break;
        default: return false;
    }
    const size_t mapBytes = mapType == 1 ? size_t(mapLength) * ((mapBits + 7) / 8) : 0;
    return size > kTgaHeader + idLength + mapBytes;
}

// What the marker segments of a JPEG stream say, from its start up to the
// start of scan: the size in the frame header, and whether every segment up
// to and including the start of scan lies within the data.
struct JpegLayout {
    bool frame = false;
    bool scan = false;
    long width = 0;
    long height = 0;
    unsigned components = 0;
};

JpegLayout jpegLayout(const uint8_t* b, size_t size) {
    JpegLayout layout;
    size_t at = 2;
    while (at + 4 <= size) {
        if (b[at] != 0xFF) break;
        const unsigned marker = b[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9) break;
        const size_t length = bigEndian16(b + at + 2);
        if (length < 2 || at + 2 + length > size) break;
        if (marker == 0xDA) {
            layout.scan = true;
            break;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame && !layout.frame && length >= 7) {
            layout.frame = true;
            layout.height = long(bigEndian16(b + at + 5));
            layout.width = long(bigEndian16(b + at + 7));
            if (length >= 8) layout.components = b[at + 9];
        }
        at += 2 + length;
    }
    return layout;
}

// A stream whose segments run past the end, or with no frame header before
// its scan, never reaches DevIL: its reader spins for a very long time on
// such data.
bool wellFormedJpeg(const uint8_t* b, size_t size) {
    const JpegLayout layout = jpegLayout(b, size);
    return layout.frame && layout.scan;
}

// Whether every chunk of a PNG stream up to its end chunk lies within the
// data: DevIL's reader spends minutes on a chunk whose length runs far past
// the end.
bool wellFormedPng(const uint8_t* b, size_t size) {
    for (size_t at = 8; at + 8 <= size;) {
        const uint64_t length = bigEndian32(b + at);
        if (length > 0x7FFFFFFF || at + 12 + length > size) return false;
        if (std::memcmp(b + at + 4, "IEND", 4) == 0) return true;
        at += 12 + size_t(length);
    }
    return false;  // cut short before its end chunk: the decoder would read on past the data
}

// The parts of a BMP that decoding needs, read from its headers.
struct BmpLayout {
    uint64_t offset = 0;    // of the pixel rows
    uint64_t infoSize = 0;  // 12 for the oldest header, 40 and up for the others
    uint64_t width = 0;
    uint64_t height = 0;
    bool topDown = false;  // rows stored top row first
    uint64_t bits = 0;
    uint64_t compression = 0;  // 0 plain, 3 bit fields
    uint64_t entries = 0;      // palette entries
};

// The layout of `size` bytes starting with "BM" (at least 26 of them); a
// header of no known size, or cut short, gives an info size of 0.
BmpLayout bmpLayout(const uint8_t* b, size_t size) {
    BmpLayout layout;
    layout.offset = uint32_t(littleEndian32(b + 10));
    layout.infoSize = uint32_t(littleEndian32(b + 14));
    if (layout.infoSize != 12 && (layout.infoSize < 40 || size < 14 + 40)) {
        layout.infoSize = 0;
        return layout;
    }
    if (layout.infoSize == 12) {
        layout.width = littleEndian16(b + 18);
        layout.height = littleEndian16(b + 20);
        layout.bits = littleEndian16(b + 24);
    } else {
        const int32_t w = littleEndian32(b + 18), h = littleEndian32(b + 22);
        layout.width = w < 0 ? 0 - uint64_t(int64_t(w)) : uint64_t(w);
        layout.height = h < 0 ? 0 - uint64_t(int64_t(h)) : uint64_t(h);
        layout.topDown = h < 0;
        layout.bits = littleEndian16(b + 28);
        layout.compression = uint32_t(littleEndian32(b + 30));
        layout.entries = uint32_t(littleEndian32(b + 46));
    }
    if (layout.bits <= 8 && layout.entries == 0) layout.entries = uint64_t(1) << layout.bits;
    return layout;
}

// Bit fields: three masks follow a 40-byte header; longer headers hold them,
// with a fourth for alpha.
constexpr size_t kBmpMasks = 14 + 40;

// Whether a BMP's headers, masks, palette and pixel rows lie within the data.
// Only uncompressed and bit-field bitmaps are passed on: DevIL reads outside
// its buffer when an offset or a run-length stream points past the end.
bool wellFormedBmp(const uint8_t* b, size_t size) {
    const BmpLayout l = bmpLayout(b, size);
    if (l.infoSize == 0) return false;
    if (14 + l.infoSize > size || l.offset < 14 + l.infoSize || l.offset > size) return false;
    if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 16 && l.bits != 24 && l.bits != 32)
        return false;
    if (l.compression == 3 && ((l.bits != 16 && l.bits != 32) || kBmpMasks + 12 > l.offset))
        return false;
    if (l.compression != 0 && l.compression != 3) return false;
    if (l.bits <= 8 &&
        (l.entries > 256 || 14 + l.infoSize + l.entries * (l.infoSize == 12 ? 3 : 4) > size))
        return false;
    const uint64_t rowBytes = (l.width * l.bits + 31) / 32 * 4;
    return l.width <= kMaxImageEdge && l.height <= kMaxImageEdge &&
           l.offset + rowBytes * l.height <= size;
}

// DevIL refuses headers longer than 40 bytes and widens 5- and 6-bit fields
// by shifting, so that white comes out as 248. Such bitmaps, and all 16- and
// 32-bit ones so that one path reads the masks, are decoded here.
bool decodesOwnBmp(const uint8_t* b, size_t size) {
    const BmpLayout l = bmpLayout(b, size);
    return l.infoSize > 40 || l.bits == 16 || l.bits == 32;
}

// One channel of a bit-field pixel, scaled so that a full field is 255.
struct BmpField {
    explicit BmpField(uint32_t fieldMask) : mask(fieldMask) {
        if (mask == 0) return;
        while (((mask >> shift) & 1) == 0) ++shift;
        top = mask >> shift;
    }
    uint8_t level(uint32_t pixel) const {
        if (top == 0) return 0;
        return uint8_t((uint64_t((pixel & mask) >> shift) * 255 + top / 2) / top);
    }
    uint32_t mask;
    unsigned shift = 0;
    uint32_t top = 0;
};

// A bitmap that wellFormedBmp accepted, as rows of blue, green, red (and
// alpha when it has an alpha mask), top row first.
struct DecodedBmp {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<uint8_t> pixels;
};

DecodedBmp decodeBmp(const uint8_t* b, size_t size) {
    const BmpLayout l = bmpLayout(b, size);
    uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    if (l.compression == 3) {
        for (int i = 0; i < (l.infoSize >= 56 ? 4 : 3); ++i)
            masks[i] = uint32_t(littleEndian32(b + kBmpMasks + 4 * i));
    } else if (l.bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }
    const BmpField red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    DecodedBmp image;
    image.width = int(l.width);
    image.height = int(l.height);
    image.channels = alpha.mask ? 4 : 3;
    image.pixels.resize(l.width * l.height * size_t(image.channels));
    const uint8_t* const palette = b + 14 + l.infoSize;
    const size_t rowBytes = (l.width * l.bits + 31) / 32 * 4;
    uint8_t* out = image.pixels.data();
    for (uint64_t y = 0; y < l.height; ++y) {
        const uint8_t* row = b + l.offset + rowBytes * (l.topDown ? y : l.height - 1 - y);
        for (uint64_t x = 0; x < l.width; ++x, out += image.channels) {
            if (l.bits <= 8) {
                const uint64_t bit = x * l.bits;
                const unsigned index =
                    (row[bit / 8] >> (8 - l.bits - bit % 8)) & ((1u << l.bits) - 1);
                if (index < l.entries) std::memcpy(out, palette + 4 * index, 3);
            } else if (l.bits == 24) {
                std::memcpy(out, row + 3 * x, 3);
            } else {
                const uint32_t pixel = l.bits == 16 ? littleEndian16(row + 2 * x)
                                                    : uint32_t(littleEndian32(row + 4 * x));
                out[0] = blue.level(pixel);
                out[1] = green.level(pixel);
                out[2] = red.level(pixel);
                if (alpha.mask) out[3] = alpha.level(pixel);
            }
        }
    }
    return image;
}

// An uncompressed TGA shorter than its pixels: DevIL would fill the missing
// ones with whatever it finds, so it is refused as a read error.
bool truncatedTga(const uint8_t* b, size_t size) {
    const unsigned imageType = b[2];
    if (imageType > 3) return false;  // run-length encoded: the length is not known
    const size_t mapBytes = b[1] == 1 ? size_t(littleEndian16(b + 5)) * ((b[7] + 7u) / 8u) : 0;
    const size_t pixels = size_t(littleEndian16(b + 12)) * littleEndian16(b + 14);
    return size < kTgaHeader + b[0] + mapBytes + pixels * ((b[16] + 7u) / 8u);
}

ILenum ilType(ImageKindIL kind) {
    switch (kind) {
        case ImageKindIL::Png: return IL_PNG;
        case ImageKindIL::Jpeg: return IL_JPG;
        case ImageKindIL::Bmp: return IL_BMP;
        case ImageKindIL::Tga: return IL_TGA;
        default: return IL_TYPE_UNKNOWN;
    }
}

struct FormatRuleIL {
    ILenum imageFormat;
    unsigned textureFormat;
};

// DevIL formats to texture formats; colour images are converted to the
// blue-first order the texture formats declare, grey with alpha to colour.
const FormatRuleIL s_formatRules[] = {
    {IL_LUMINANCE, FORMAT_L8}, {IL_LUMINANCE_ALPHA, FORMAT_ARGB8},
    {IL_RGB, FORMAT_RGB8},     {IL_BGR, FORMAT_RGB8},
    {IL_RGBA, FORMAT_ARGB8},   {IL_BGRA, FORMAT_ARGB8},
};

// Indexed by TextureFormat.
const ILenum s_uploadFormat[] = {IL_BGR, IL_BGRA, IL_LUMINANCE};
static_assert(sizeof(s_uploadFormat) / sizeof(s_uploadFormat[0]) == FORMAT_L8 + 1,
              "one DevIL format per texture format");

// Keeps a data block loaded while an image is decoded from it.
class DataLock {
public:
    explicit DataLock(const DataBlock& data) : m_data(const_cast<DataBlock&>(data)) {
        if (!m_data.isLoaded()) {
            m_data.load();
            m_loadedHere = true;
        }
    }
    ~DataLock() {
        if (m_loadedHere) m_data.unload();
    }
    DataLock(const DataLock&) = delete;
    DataLock& operator=(const DataLock&) = delete;

private:
    DataBlock& m_data;
    bool m_loadedHere = false;
};

}  // namespace

const char* errorNameIL(unsigned code) {
    for (const ErrorNameIL& entry : s_errorNames)
        if (entry.code == code) return entry.name;
    return "undefined IL error";
}

ImageKindIL detectImageKind(const uint8_t* bytes, size_t size) {
    if (size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0) return ImageKindIL::Png;
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return ImageKindIL::Jpeg;
    if (size >= 26 && bytes[0] == 'B' && bytes[1] == 'M') return ImageKindIL::Bmp;
    if (plausibleTga(bytes, size)) return ImageKindIL::Tga;
    return ImageKindIL::Unknown;
}

bool declaredImageSize(ImageKindIL kind, const uint8_t* b, size_t size, long* width, long* height) {
    switch (kind) {
        case ImageKindIL::Png:
            if (size < 24) return false;
            *width = long(bigEndian32(b + 16));
            *height = long(bigEndian32(b + 20));
            return true;
        case ImageKindIL::Jpeg: {
            const JpegLayout layout = jpegLayout(b, size);
            *width = layout.width;
            *height = layout.height;
            return layout.frame;
        }
        case ImageKindIL::Bmp: {
            if (littleEndian32(b + 14) == 12) {
                *width = long(littleEndian16(b + 18));
                *height = long(littleEndian16(b + 20));
                return true;
            }
            const long w = littleEndian32(b + 18), h = littleEndian32(b + 22);
            *width = w < 0 ? -w : w;
            *height = h < 0 ? -h : h;
            return true;
        }
        case ImageKindIL::Tga:
            *width = long(littleEndian16(b + 12));
            *height = long(littleEndian16(b + 14));
            return true;
        default: return false;
    }
}

void initDevIL() {
    static bool s_initialised = false;
    if (s_initialised) return;
    ilInit();
    iluInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    drainErrorsIL();
    s_initialised = true;
}

int imageMipLevels(int requested, int width, int height) {
    if (requested >= 0) return requested;
    if (!isPowerOfTwoEdge(width) || !isPowerOfTwoEdge(height)) return 1;
    int shift = 2;
    while ((width >> shift) != 0 || (height >> shift) != 0) ++shift;
    return shift - 1;
}

ImageIL::ImageIL() {
    initDevIL();
    ilGenImages(1, &m_name);
}

ImageIL::~ImageIL() { ilDeleteImages(1, &m_name); }

void ImageIL::bindImage() const { ilBindImage(m_name); }

// DevIL's decoders are given only the formats we recognise, each by its own
// type, so nothing is left to DevIL's detection, and only sizes we could
// upload get as far as an allocation.
void ImageIL::decode(const void* bytes, size_t size) {
    const uint8_t* const data = static_cast<const uint8_t*>(bytes);
    const ImageKindIL kind = bytes ? detectImageKind(data, size) : ImageKindIL::Unknown;
    if (kind == ImageKindIL::Unknown || size > 0xFFFFFFFFu)
        throwIL(IL_FORMAT_NOT_SUPPORTED, __LINE__);
    long width = 0, height = 0;
    if (declaredImageSize(kind, data, size, &width, &height) &&
        (width > kMaxImageEdge || height > kMaxImageEdge))
        throwIL(IL_BAD_DIMENSIONS, __LINE__);
    if (kind == ImageKindIL::Tga && truncatedTga(data, size)) throwIL(IL_FILE_READ_ERROR, __LINE__);
    if (kind == ImageKindIL::Png && !wellFormedPng(data, size)) throwIL(IL_LIB_PNG_ERROR, __LINE__);
    if (kind == ImageKindIL::Jpeg && !wellFormedJpeg(data, size))
        throwIL(IL_INVALID_FILE_HEADER, __LINE__);
    if (kind == ImageKindIL::Bmp && !wellFormedBmp(data, size))
        throwIL(IL_INVALID_FILE_HEADER, __LINE__);
    // DevIL hands the inks of a four-component (CMYK) JPEG over as colour and alpha.
    if (kind == ImageKindIL::Jpeg && jpegLayout(data, size).components == 4)
        VEXA_THROW(RenderMachineException, "Cannot handle image format.");
    bindImage();
    drainErrorsIL();
    if (kind == ImageKindIL::Bmp && decodesOwnBmp(data, size)) {
        const DecodedBmp bmp = decodeBmp(data, size);
        if (bmp.width < 1 || bmp.height < 1) throwIL(IL_BAD_DIMENSIONS, __LINE__);
        if (!ilTexImage(ILuint(bmp.width), ILuint(bmp.height), 1, ILubyte(bmp.channels),
                        bmp.channels == 4 ? IL_BGRA : IL_BGR, IL_UNSIGNED_BYTE,
                        const_cast<uint8_t*>(bmp.pixels.data())))
            throwFirstErrorIL(__LINE__);
        return;
    }
    if (!ilLoadL(ilType(kind), bytes, ILuint(size))) throwFirstErrorIL(__LINE__);
    drainErrorsIL();
    if (this->width() < 1 || this->height() < 1 || this->width() > kMaxImageEdge ||
        this->height() > kMaxImageEdge)
        throwIL(IL_BAD_DIMENSIONS, __LINE__);
    // DevIL leaves the oldest BMP header's rows bottom up whatever origin is asked for.
    if (ilGetInteger(IL_IMAGE_ORIGIN) == IL_ORIGIN_LOWER_LEFT) iluFlipImage();
}

void ImageIL::decodeFile(const char* fileName) {
    std::string bytes;
    if (!fileName || !Platform::readFile(fileName, bytes))
        throwIL(IL_COULD_NOT_OPEN_FILE, __LINE__);
    decode(bytes.data(), bytes.size());
}

unsigned ImageIL::textureFormat() {
    bindImage();
    ILenum format = ILenum(ilGetInteger(IL_IMAGE_FORMAT));
    if (format == IL_COLOUR_INDEX) {
        // Colour-index images become colour, with alpha when the palette has it
        // (a PNG's transparency chunk gives its palette alpha).
        const ILenum palette = ILenum(ilGetInteger(IL_PALETTE_TYPE));
        format = palette == IL_PAL_RGBA32 || palette == IL_PAL_BGRA32 ? IL_RGBA : IL_RGB;
    }
    for (const FormatRuleIL& rule : s_formatRules)
        if (rule.imageFormat == format) {
            convertTo(rule.textureFormat);
            return rule.textureFormat;
        }
    VEXA_THROW(RenderMachineException, "Cannot handle image format.");
}

void ImageIL::convertTo(unsigned format) {
    if (format > FORMAT_L8) VEXA_THROW(RenderMachineException, "Invalid texture format");
    bindImage();
    const ILenum wanted = s_uploadFormat[format];
    if (ILenum(ilGetInteger(IL_IMAGE_FORMAT)) == wanted &&
        ILenum(ilGetInteger(IL_IMAGE_TYPE)) == IL_UNSIGNED_BYTE)
        return;
    drainErrorsIL();
    if (!ilConvertImage(wanted, IL_UNSIGNED_BYTE)) throwFirstErrorIL(__LINE__);
}

void ImageIL::scale(int width, int height) {
    bindImage();
    drainErrorsIL();
    if (!iluScale(ILuint(width), ILuint(height), 1)) throwFirstErrorIL(__LINE__);
}

int ImageIL::width() const {
    bindImage();
    return ilGetInteger(IL_IMAGE_WIDTH);
}

int ImageIL::height() const {
    bindImage();
    return ilGetInteger(IL_IMAGE_HEIGHT);
}

const uint8_t* ImageIL::pixels() const {
    bindImage();
    return ilGetData();
}

ImageLoaderIL::ImageLoaderIL(RenderMachine* machine) : m_machine(machine) { initDevIL(); }

// A forced size outside what an image may have is refused before scaling.
static void checkForcedSize(const TextureDescription& description) {
    if (!description.forceSize) return;
    if (description.width < 1 || description.height < 1 || description.width > kMaxImageEdge ||
        description.height > kMaxImageEdge)
        VEXA_THROW(RenderMachineException, "Invalid texture dimensions.");
}

Texture* ImageLoaderIL::makeTexture(ImageIL& image, const TextureDescription& description) {
    const unsigned format = image.textureFormat();
    checkForcedSize(description);
    if (description.forceSize &&
        (image.width() != description.width || image.height() != description.height))
        image.scale(description.width, description.height);
    const int width = image.width(), height = image.height();
    const int levels = imageMipLevels(description.mipLevels, width, height);
    std::unique_ptr<Texture> texture(
        m_machine->createTexture(width, height, format, levels, false));
    texture->update(image.pixels());
    return texture.release();
}

Texture* ImageLoaderIL::makeCubeTexture(ImageIL images[6], const TextureDescription& description) {
    checkForcedSize(description);
    const int edge = description.forceSize ? description.width : images[0].width();
    if (!isPowerOfTwoEdge(edge) || (description.forceSize && description.height != edge))
        VEXA_THROW(RenderMachineException, "Invalid texture dimensions.");
    const unsigned format = images[0].textureFormat();
    for (int face = 0; face < 6; ++face) {
        ImageIL& image = images[face];
        if (image.width() != edge || image.height() != edge) {
            if (!description.forceSize)
                VEXA_THROW(RenderMachineException, "Invalid texture dimensions.");
            image.scale(edge, edge);
        }
        image.convertTo(format);
    }
    const int levels = imageMipLevels(description.mipLevels, edge, edge);
    std::unique_ptr<Texture> texture(m_machine->createCubeTexture(edge, format, levels, 0));
    for (int face = 0; face < 6; ++face) texture->updateFace(face, images[face].pixels());
    return texture.release();
}

Texture* ImageLoaderIL::loadTexture(const DataBlock& data, const TextureDescription& description) {
    ImageIL image;
    {
        DataLock lock(data);
        image.decode(data.data(), size_t(data.size() < 0 ? 0 : data.size()));
    }
    return makeTexture(image, description);
}

Texture* ImageLoaderIL::loadTexture(const char* fileName, const TextureDescription& description) {
    ImageIL image;
    image.decodeFile(fileName);
    return makeTexture(image, description);
}

Texture* ImageLoaderIL::loadTextureEx(const DataBlock& data,
                                      const TextureDescription& description) {
    return loadTexture(data, description);
}

Texture* ImageLoaderIL::loadTextureEx(const char* fileName, const TextureDescription& description) {
    return loadTexture(fileName, description);
}

Texture* ImageLoaderIL::loadCubeTexture(const DataBlock* const faces[6],
                                        const TextureDescription& description) {
    ImageIL images[6];
    for (int face = 0; face < 6; ++face) {
        if (!faces[face]) throwIL(IL_INVALID_PARAM, __LINE__);
        DataLock lock(*faces[face]);
        const int32_t size = faces[face]->size();
        images[face].decode(faces[face]->data(), size_t(size < 0 ? 0 : size));
    }
    return makeCubeTexture(images, description);
}

Texture* ImageLoaderIL::loadCubeTexture(const char* const faces[6],
                                        const TextureDescription& description) {
    ImageIL images[6];
    for (int face = 0; face < 6; ++face) images[face].decodeFile(faces[face]);
    return makeCubeTexture(images, description);
}

Texture* ImageLoaderIL::loadCubeTextureEx(const DataBlock* const faces[6],
                                          const TextureDescription& description) {
    return loadCubeTexture(faces, description);
}

Texture* ImageLoaderIL::loadCubeTextureEx(const char* const faces[6],
                                          const TextureDescription& description) {
    return loadCubeTexture(faces, description);
}

std::unique_ptr<ImageLoader> makeImageLoaderGL(RenderMachineGL& machine) {
    return std::make_unique<ImageLoaderIL>(&machine);
}

}  // namespace Vexa
