#include "Platform/ImageWriter.h"

#include <IL/il.h>

namespace Vexa::Platform {

bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba) {
    static bool initialised = false;
    if (!initialised) {
        ilInit();
        initialised = true;
    }
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool ok = ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1, 4, IL_RGBA,
                         IL_UNSIGNED_BYTE, const_cast<uint8_t*>(rgba.data())) != IL_FALSE;
    if (ok) {
        ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
        ilEnable(IL_FILE_OVERWRITE);
        ok = ilSave(IL_PNG, path.c_str()) != IL_FALSE;
    }
    ilDeleteImages(1, &image);
    while (ilGetError() != IL_NO_ERROR) {}
    return ok;
}

}  // namespace Vexa::Platform
