#pragma once
// A render machine that draws nothing and writes one text line for every call
// made on it or on a resource it created, so that tests can assert the exact
// sequence of calls a scene object makes:
//   op(arg, arg, ...)            a call on the machine
//   createX(arg, ...) -> name    a creating call and the new resource
//   name.op(arg, ...)            a call on a resource
//   delete name                  a resource destroyed
// Arguments: bool 1 or 0; integers in decimal; floats in %g form; enumerated
// values by their script names ("LESS", "TRIANGLE_LIST", "WORLD", "ARGB8"),
// or their number outside the names; colours and planes "(r g b a)";
// matrices and float arrays "[f f ...]"; records "{field field ...}"; null
// pointers "null"; resources by name (a prefix and a count per machine:
// win, target, mem, tex, decl, vbuf, ibuf, vsh, psh, loader, state), or
// "external" for one this machine did not make. Queries are not logged.
//
// Beside the log the machine keeps the matrices, the viewport in pixels and
// the depth test and function (the two states its snapshots hold). Image
// loaders give textures of the forced size, or of one texel.
#include <memory>
#include <string>
#include <vector>

#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class RecordingRenderMachine : public RenderMachine {
public:
    // A new recording machine, as a back end's factory makes one.
    static std::unique_ptr<RenderMachine> create();
    // A matrix as the log writes it.
    static std::string format(const Matrix& matrix);

    // The lines recorded since construction or the last clear, and clearing.
    virtual void clearLog() = 0;
    virtual std::vector<std::string> takeLog() = 0;
    virtual const ViewportPixels& viewportPixels() const = 0;
};

}  // namespace Vexa
