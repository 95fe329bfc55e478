#include "Parser/Functions/RenderingObjects.h"

namespace Vexa {

namespace Types {
const TypeObject* GraphicsSystem() {
    static const TypeObject* t = new TypeObject("GraphicsSystem");
    return t;
}
}  // namespace Types

}  // namespace Vexa
