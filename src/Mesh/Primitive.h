#pragma once
// Something a mesh object can draw: an R3D mesh or an implicit surface.

namespace Vexa {

// The triangles from total * start on, (end - start) * total of them, with start and end
// clamped to 0..1; a window that misses 0..1 holds none.
struct TriangleWindow {
    int first = 0;
    int count = 0;
};
inline TriangleWindow triangleWindow(float start, float end, int total) {
    if (!(end > 0.0f) || !(start < 1.0f)) return {};
    if (start < 0.0f) start = 0.0f;
    if (end > 1.0f) end = 1.0f;
    const auto count = static_cast<float>(total);
    return {static_cast<int>(count * start), static_cast<int>((end - start) * count)};
}

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
