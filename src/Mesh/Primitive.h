#pragma once
// Something a mesh object can draw: an R3D mesh or an implicit surface.

namespace Vexa {

class Primitive {
public:
    virtual ~Primitive() = default;
    // Draws the part of the triangles between the fractions start and end.
    virtual void drawRange(float start, float end) = 0;
    virtual void draw() = 0;
    virtual bool isLoaded() const { return true; }
    virtual void load() {}
    virtual void unload() {}
    virtual void update(float /*time*/) {}
};

}  // namespace Vexa
