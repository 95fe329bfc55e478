#pragma once
// Four self-contained drawing objects: a curve drawn as a ribbon that a
// vertex program widens on screen ("LineDraw"), a screen of turning tiles
// of the bound texture ("Gridi"), flat cones whose depth splits the screen
// into cells around random centres ("Voronoi"), and one mesh drawn with the
// volume of another cut away through the stencil buffer ("Culler").
#include "Parser/IniObject.h"

namespace Vexa {

namespace Types {
const TypeObject* LineDraw();
const TypeObject* Gridi();
const TypeObject* Voronoi();
const TypeObject* Culler();
}  // namespace Types

}  // namespace Vexa
