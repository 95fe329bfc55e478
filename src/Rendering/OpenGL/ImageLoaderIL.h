#pragma once
// Image decoding with DevIL, and the image loader of the OpenGL back end that
// turns decoded images into textures.
//
// Decoding needs no OpenGL: ImageIL can be used on its own (the image fuzzer
// does). Every decoded image has its top row first and channels in the order
// the texture formats expect: blue, green, red (and alpha), or luminance.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

// The image formats we hand to DevIL, recognised by their leading bytes.
enum class ImageKindIL { Unknown, Png, Jpeg, Bmp, Tga };

// What the leading bytes say. TGA has no signature: it is accepted when its
// header is consistent with itself and with the size of the data.
ImageKindIL detectImageKind(const uint8_t* bytes, size_t size);

// Width and height the header declares, or false when it does not say.
bool declaredImageSize(ImageKindIL kind, const uint8_t* bytes, size_t size, long* width,
                       long* height);

// The largest edge an image may have; larger ones fail with
// "IL_BAD_DIMENSIONS" before DevIL allocates anything.
constexpr long kMaxImageEdge = 8192;

// The DevIL name of an error code ("undefined IL error" for a code DevIL
// does not define).
const char* errorNameIL(unsigned code);

// Once per process: ilInit, iluInit and the origin at the upper left.
void initDevIL();

// One DevIL image, decoded and converted for upload. Failures are
// RenderMachineExceptions named after the DevIL error.
class ImageIL {
public:
    ImageIL();
    ~ImageIL();
    ImageIL(const ImageIL&) = delete;
    ImageIL& operator=(const ImageIL&) = delete;

    // Decodes an image held in memory; refuses what is not PNG, JPEG, BMP or
    // TGA with "IL_FORMAT_NOT_SUPPORTED", and four-component (CMYK) JPEGs with
    // "Cannot handle image format.".
    void decode(const void* bytes, size_t size);
    // Reads a file whole and decodes it; "IL_COULD_NOT_OPEN_FILE" when it
    // cannot be read.
    void decodeFile(const char* fileName);

    // The texture format of the image, after converting its channels to the
    // order of that format: luminance stays luminance; colour, colour-index
    // and grey with alpha become colour, with alpha when they have it.
    // "Cannot handle image format." for anything else.
    unsigned textureFormat();
    // Converts the image to `format` (used to give six cube faces one format).
    void convertTo(unsigned format);
    void scale(int width, int height);

    int width() const;
    int height() const;
    const uint8_t* pixels() const;

private:
    void bindImage() const;
    unsigned m_name = 0;
};

// Mip levels of a loaded texture: `requested` when it is not negative,
// otherwise a full chain for power-of-two sizes and 1 for other sizes.
int imageMipLevels(int requested, int width, int height);

class ImageLoaderIL : public ImageLoader {
public:
    explicit ImageLoaderIL(RenderMachine* machine);

    Texture* loadTexture(const DataBlock& data, const TextureDescription& description) override;
    Texture* loadTexture(const char* fileName, const TextureDescription& description) override;
    // The 'Ex' pairs load exactly like the plain ones.
    Texture* loadTextureEx(const DataBlock& data, const TextureDescription& description) override;
    Texture* loadTextureEx(const char* fileName, const TextureDescription& description) override;
    Texture* loadCubeTexture(const DataBlock* const faces[6],
                             const TextureDescription& description) override;
    Texture* loadCubeTexture(const char* const faces[6],
                             const TextureDescription& description) override;
    Texture* loadCubeTextureEx(const DataBlock* const faces[6],
                               const TextureDescription& description) override;
    Texture* loadCubeTextureEx(const char* const faces[6],
                               const TextureDescription& description) override;

private:
    Texture* makeTexture(ImageIL& image, const TextureDescription& description);
    Texture* makeCubeTexture(ImageIL images[6], const TextureDescription& description);

    RenderMachine* m_machine;  // not owned
};

}  // namespace Vexa
