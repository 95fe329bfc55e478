// Image files: the format check and DevIL's decoders for the formats it
// passes, then the conversion for upload. No OpenGL is needed.
#include <cstddef>
#include <cstdint>

#include "Parser/Exceptions.h"
#include "Rendering/OpenGL/ImageLoaderIL.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        Vexa::ImageIL image;
        image.decode(data, size);
        image.textureFormat();
        (void)image.pixels();
    } catch (const Exception&) {}
    return 0;
}
