#include "Platform/Environment.h"

#include <stdlib.h>

namespace Vexa::Platform {

void preferOffscreenVideo() { ::setenv("SDL_VIDEODRIVER", "offscreen", 0); }

}  // namespace Vexa::Platform
