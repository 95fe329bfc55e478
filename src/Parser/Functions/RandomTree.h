#pragma once
// A random tree of line segments grown from the origin inside the cube from
// -1 to 1: each new point is a fixed step from the nearest point already in
// the tree, towards a random target.
#include <cstdint>
#include <memory>
#include <vector>

#include "Parser/IniCommands.h"
#include "Rendering/Common/RenderMachine.h"

namespace Vexa {

class StandardRandom;

namespace Types {
const TypeObject* RTree();
}  // namespace Types

// The largest tree: every vertex must be reachable with a 16-bit index.
constexpr int kMaxTreePoints = 65536;

struct RandomTree {
    std::vector<float> positions;    // three floats a vertex, vertex 0 the origin
    std::vector<uint16_t> segments;  // (parent, child) a segment, child i for segment i - 1
};

// Grows `points` vertices (2 to kMaxTreePoints) with steps of `length`,
// drawing three numbers a vertex from `random`. The nearest vertex is found
// through a spatial index; the result is the same as the scan's below.
RandomTree growRandomTree(int points, float length, StandardRandom& random);
// The same growth with the nearest vertex found by scanning every vertex:
// the definition the indexed growth is held to, and its speed reference.
RandomTree growRandomTreeByScan(int points, float length, StandardRandom& random);

// The tree as a line list over the program's standard random sequence,
// grown on Load (again after each Unload, so a new tree each time) and drawn
// with whatever matrices, material and state are current.
class RTreeObject : public IniObject {
public:
    RTreeObject(RenderMachine* machine, int points, float length)
        : m_machine(machine), m_points(points), m_length(length) {}
    const TypeObject* type() const override { return Types::RTree(); }
    bool isLoaded() const override { return m_loaded; }
    void load() override;
    void unload() override;
    void execute(CommandObject& command) override;

private:
    RenderMachine* m_machine;
    int m_points;
    float m_length;
    bool m_loaded = false;
    std::unique_ptr<VertexDeclaration> m_declaration;
    std::unique_ptr<IndexStream> m_indices;
    std::unique_ptr<VertexStream> m_vertices;
};

}  // namespace Vexa
