#include "Parser/Functions/SyncronizerObject.h"

namespace Vexa {

namespace Types {
const TypeObject* Syncronizer() {
    static const TypeObject* t = new TypeObject("Syncronizer");
    return t;
}
}  // namespace Types

}  // namespace Vexa
