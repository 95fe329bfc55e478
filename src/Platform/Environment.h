#pragma once
// Settings the process passes to the libraries it uses.

namespace Vexa::Platform {

// Windows made from now on render off screen, unless the user chose a video
// driver explicitly.
void preferOffscreenVideo();

}  // namespace Vexa::Platform
