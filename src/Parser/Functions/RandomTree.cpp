#include "Parser/Functions/RandomTree.h"

#include <cmath>
#include <cstring>

#include "Common/Random.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/RandomTree";

namespace Types {
VEXA_DEFINE_TYPE(RTree, "RTree")
}  // namespace Types

namespace {

constexpr unsigned kStaticUsage = 4;

// The one distance both searches compare, so that they agree to the bit.
inline float squaredDistance(const float* a, const float* b) {
    const float dx = b[0] - a[0];
    const float dy = b[1] - a[1];
    const float dz = b[2] - a[2];
    return dx * dx + dy * dy + dz * dz;
}

struct Nearest {
    int index;
    float distance;

    // The lower index wins a tie; a NaN distance never wins.
    void consider(int j, float d) {
        if (d < distance || (d == distance && j < index)) {
            index = j;
            distance = d;
        }
    }
};

// Every vertex compared in index order, keeping a strictly nearer one.
class ScanFinder {
public:
    void add(int /*index*/, const float* /*positions*/) {}
    Nearest nearest(const float* target, const float* positions, int count) const {
        Nearest best{0, squaredDistance(positions, target)};
        for (int j = 1; j < count; ++j) {
            const float d = squaredDistance(positions + 3 * j, target);
            if (d < best.distance) best = {j, d};
        }
        return best;
    }
};

// A pointer-free octree over a cube holding every vertex a sane step can
// reach: per node a mask of the children that hold vertices, and per leaf the
// vertices in it. Nodes are numbered in Morton order, so that the
// children of node n are 8n to 8n + 7, next to each other in memory. A
// search descends into the nearest nodes first and skips a node only when
// its box is, with a margin wider than any rounding of the float distance,
// farther than the best vertex found, so that it finds exactly the vertex
// the scan finds. Vertices outside the cube (after an odd step, a negative
// one say) are kept in a list searched in full.
class OctreeFinder {
public:
    static constexpr int kDepth = 4;
    static constexpr int kSide = 1 << kDepth;

    explicit OctreeFinder(float length) {
        // A vertex is at most one step from the cube (an overshooting step
        // passes its target by less than a step).
        const double step = std::isfinite(length) ? std::fabs(double(length)) : 0.0;
        m_half = (1.0 + step) * 1.0001 + 1e-6;
        m_slack = m_half * 1e-12;
        for (int level = 0; level <= kDepth; ++level) m_size[level] = 2 * m_half / (1 << level);
        for (int level = 0; level < kDepth; ++level)
            m_masks[level].assign(std::size_t(1) << (3 * level), 0);
        m_leaves.resize(std::size_t(1) << (3 * kDepth));
    }

    void add(int index, const float* positions) {
        const float* v = positions + 3 * index;
        std::size_t leaf = 0;
        for (int k = 0; k < 3; ++k) {
            if (!(v[k] >= -m_half && v[k] <= m_half)) {
                m_outside.push_back(index);
                return;
            }
            const int c = static_cast<int>(std::floor((v[k] + m_half) * (kSide / (2 * m_half))));
            const int cell = c < 0 ? 0 : c >= kSide ? kSide - 1 : c;
            for (int bit = 0; bit < kDepth; ++bit)
                leaf |= std::size_t((cell >> bit) & 1) << (3 * bit + k);
        }
        for (int level = 0; level < kDepth; ++level) {
            const int below = 3 * (kDepth - 1 - level);
            m_masks[level][leaf >> (below + 3)] |= uint8_t(1u << ((leaf >> below) & 7));
        }
        m_leaves[leaf].push_back({{v[0], v[1], v[2]}, index});
    }

    Nearest nearest(const float* target, const float* positions, int /*count*/) const {
        Nearest best{0, squaredDistance(positions, target)};
        const double p[3] = {target[0], target[1], target[2]};
        const int root[3] = {0, 0, 0};
        visit(0, 0, root, p, target, best);
        for (int j : m_outside) best.consider(j, squaredDistance(positions + 3 * j, target));
        return best;
    }

private:
    // The squared distance from x to [low, high], less the slack that covers
    // rounding in the choice of a vertex's leaf.
    double gap(double x, double low, double high) const {
        const double d = (x < low ? low - x : x - high) - m_slack;
        return d > 0 ? d * d : 0.0;
    }

    // A float distance is within a few units in the last place of the exact
    // one, so a box farther than this cannot hold a vertex that wins or ties.
    static bool beyond(double bound, float best) {
        return bound > double(best) * (1 + 1e-5) + 1e-37;
    }

    // Visits the children of a node that hold vertices, nearest first, while
    // their boxes are not beyond the best distance found.
    void visit(int level, std::size_t code, const int node[3], const double p[3],
               const float* target, Nearest& best) const {
        if (level == kDepth) {
            for (const Entry& e : m_leaves[code])
                best.consider(e.index, squaredDistance(e.position, target));
            return;
        }
        // The squared gaps to the lower and upper half of the node on each axis.
        const double half = m_size[level + 1];
        double gaps[3][2];
        for (int k = 0; k < 3; ++k) {
            const double low = -m_half + 2 * node[k] * half;
            gaps[k][0] = gap(p[k], low, low + half);
            gaps[k][1] = gap(p[k], low + half, low + 2 * half);
        }
        double bounds[8];
        int order[8];
        int count = 0;
        const unsigned mask = m_masks[level][code];
        for (int i = 0; i < 8; ++i) {
            if (((mask >> i) & 1u) == 0) continue;
            const double bound = gaps[0][i & 1] + gaps[1][(i >> 1) & 1] + gaps[2][i >> 2];
            int at = count++;
            for (; at > 0 && bounds[at - 1] > bound; --at) {
                bounds[at] = bounds[at - 1];
                order[at] = order[at - 1];
            }
            bounds[at] = bound;
            order[at] = i;
        }
        for (int n = 0; n < count && !beyond(bounds[n], best.distance); ++n) {
            const int i = order[n];
            const int child[3] = {2 * node[0] + (i & 1), 2 * node[1] + ((i >> 1) & 1),
                                  2 * node[2] + (i >> 2)};
            visit(level + 1, code * 8 + i, child, p, target, best);
        }
    }

    double m_half = 1;
    double m_slack = 0;
    double m_size[kDepth + 1] = {};  // edge of a node on each level
    std::vector<uint8_t> m_masks[kDepth];
    // A vertex in its leaf: a copy of its position, so that a leaf is
    // searched in one sweep of memory.
    struct Entry {
        float position[3];
        int index;
    };
    std::vector<std::vector<Entry>> m_leaves;
    std::vector<int> m_outside;
};

// Each new vertex: a target drawn as three numbers (the first becomes z),
// the nearest vertex b at squared distance s (1 when below 1e-8), and the
// point `length` from b towards the target.
template <class Finder>
RandomTree grow(int points, float length, StandardRandom& random, Finder& finder) {
    RandomTree tree;
    tree.positions.assign(std::size_t(points) * 3, 0.0f);
    tree.segments.reserve(std::size_t(points - 1) * 2);
    float* positions = tree.positions.data();
    finder.add(0, positions);
    for (int i = 1; i < points; ++i) {
        const float r1 = random.nextSigned();
        const float r2 = random.nextSigned();
        const float r3 = random.nextSigned();
        const float target[3] = {r3, r2, r1};
        const Nearest nearest = finder.nearest(target, positions, i);
        const float s = nearest.distance < 1e-8 ? 1.0f : nearest.distance;
        const float f = length / std::sqrt(s);
        const float* b = positions + 3 * nearest.index;
        float* v = positions + 3 * i;
        for (int k = 0; k < 3; ++k) v[k] = b[k] + (target[k] - b[k]) * f;
        tree.segments.push_back(static_cast<uint16_t>(nearest.index));
        tree.segments.push_back(static_cast<uint16_t>(i));
        finder.add(i, positions);
    }
    return tree;
}

}  // namespace

RandomTree growRandomTree(int points, float length, StandardRandom& random) {
    OctreeFinder finder(length);
    return grow(points, length, random, finder);
}

RandomTree growRandomTreeByScan(int points, float length, StandardRandom& random) {
    ScanFinder finder;
    return grow(points, length, random, finder);
}

void RTreeObject::load() {
    if (m_loaded) return;
    RenderMachine* m = m_machine;
    m_declaration.reset(m->createVertexDeclaration());
    m_declaration->append(VertexElement::POSITION, kElementFloat3, 0);
    m_indices.reset(m->createIndexStream(2 * m_points - 2, 0));
    m_vertices.reset(m->createVertexStream(m_points, m_declaration->stride(), kStaticUsage));
    void* indices = m_indices->lock(0u);
    void* vertices = m_vertices->lock(0u);
    const RandomTree tree = growRandomTree(m_points, m_length, programStandardRandom());
    std::memcpy(indices, tree.segments.data(), tree.segments.size() * sizeof(uint16_t));
    std::memcpy(vertices, tree.positions.data(), tree.positions.size() * sizeof(float));
    m_indices->unlock();
    m_vertices->unlock();
    m_loaded = true;
}

void RTreeObject::unload() {
    m_declaration.reset();
    m_indices.reset();
    m_vertices.reset();
    m_loaded = false;
}

void RTreeObject::execute(CommandObject& command) {
    if (command.commandKind() != CommandKinds::Draw()) {
        IniObject::execute(command);
        return;
    }
    load();
    RenderMachine* m = m_machine;
    m->setVertexDeclaration(m_declaration.get());
    m->setVertexStream(m_vertices.get(), 0);
    m->setIndexStream(m_indices.get());
    m->drawIndexedPrimitive(LINE_LIST, 0, 0, m_points, 0, m_points - 1);
}

namespace {

/* RTree { graphicsSystem [points] [length] } */
class F_RTree : public IniFunction {
public:
    IniObject* create() override {
        auto* graphics = static_cast<GraphicsSystemObject*>(
            getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        const int32_t points = getInt("points", 10000);
        if (points < 2 || points > kMaxTreePoints)
            VEXA_THROW(FunctionParseException, "RTree points must be from 2 to 65536.");
        return new RTreeObject(graphics->renderMachine(), points, getNumber("length", 0.01f));
    }
};

F_RTree s_rtree;

const FunctionEntry kFunctions[] = {
    {"RTree", &s_rtree},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
