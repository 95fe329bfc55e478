#pragma once
// Scalar fields as script objects, and the implicit surfaces drawn from them.
#include "Mesh/Triangulate.h"
#include "Parser/IniObject.h"

namespace Vexa {

namespace Types {
const TypeObject* TriangulateInput();
}  // namespace Types

// A field a TriangulateMesh can triangulate. Its parameters are bound, so
// the values current at each sample are used and animated values move the
// surface.
class TriangulateInputObject : public IniObject, public TriangulateInput {
public:
    const TypeObject* type() const override { return Types::TriangulateInput(); }
};

}  // namespace Vexa
