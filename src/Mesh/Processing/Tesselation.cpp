#include "Mesh/Processing/Tesselation.h"

#include <cmath>
#include <vector>

#include "Parser/Exceptions.h"

namespace Vexa {

static const char* const kUnit = "Mesh/Processing/Tesselation";

namespace {

struct Vec3 {
    float x, y, z;
};

Vec3 sub(const float* a, const float* b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

struct Point {
    float u, v;
};

// Twice the signed area of (a, b, c): positive when counter-clockwise.
float turn(const Point& a, const Point& b, const Point& c) {
    return (b.u - a.u) * (c.v - a.v) - (b.v - a.v) * (c.u - a.u);
}

bool inside(const Point& p, const Point& a, const Point& b, const Point& c) {
    return turn(a, b, p) >= 0 && turn(b, c, p) >= 0 && turn(c, a, p) >= 0;
}

}  // namespace

void splitQuad(const int* quad, const float* const p[4], int* out) {
    const Vec3 a = cross(sub(p[2], p[3]), sub(p[0], p[3]));
    const Vec3 b = cross(sub(p[0], p[1]), sub(p[2], p[1]));
    const int first[2][6] = {{0, 1, 2, 0, 2, 3}, {0, 1, 3, 1, 2, 3}};
    const int* order = first[dot(a, b) >= 0 ? 0 : 1];
    for (int i = 0; i < 6; ++i) out[i] = quad[order[i]];
}

VertexData* Tesselator::createVertexData(const VertexFormat& format, int count) {
    m_vertices = consumer().createVertexData(format, count);
    return m_vertices;
}

IndexData* Tesselator::createIndexData(int indexCount) {
    if (!upstream().hasNonTriangleFaces()) {
        m_faces.reset();
        return consumer().createIndexData(indexCount);
    }
    m_faces = std::make_unique<IndexData>();
    m_faces->indices.assign(static_cast<std::size_t>(indexCount), 0);
    return m_faces.get();
}

// Quads give two triangles each; a polygon of n corners gives n - 2.
void Tesselator::produce() {
    m_vertices = nullptr;
    m_faces.reset();
    upstream().produce();
    if (!m_faces) return;
    const IndexData& in = *m_faces;
    std::vector<int> triangles;
    int rangeTriangles = 0;
    const VertexFormat::Entry* position =
        m_vertices ? m_vertices->format.find("location") : nullptr;
    m_location = position ? m_vertices->data.data() + position->offset : nullptr;
    m_stride = m_vertices ? std::size_t(m_vertices->format.total) : 0;
    // Faces without vertices (the reader refuses them) give no triangles.
    if (!m_location) m_faces->faceCount = m_faces->rangeCount = 0;
    if (in.degree == 3) {
        triangles.assign(in.indices.begin(), in.indices.begin() + std::ptrdiff_t(in.faceCount) * 3);
        rangeTriangles = in.rangeCount;
    } else if (in.degree == 4) {
        triangles.resize(std::size_t(in.faceCount) * 6);
        int* out = triangles.data();
        for (int f = 0; f < in.faceCount; ++f)
            splitPolygon(in.indices.data() + std::size_t(f) * 4, 4, out);
        rangeTriangles = in.rangeCount * 2;
    } else if (in.degree == -1) {
        std::size_t count = 0;
        for (int f = 0; f < in.faceCount; ++f)
            if (in.polygonSizes[f] >= 3) count += std::size_t(in.polygonSizes[f]) - 2;
        triangles.resize(count * 3);
        m_budget = 10000000 + 64 * int64_t(in.indices.size());
        int* out = triangles.data();
        for (int f = 0; f < in.faceCount; ++f) {
            splitPolygon(in.indices.data() + in.polygonStarts[f], in.polygonSizes[f], out);
            if (f + 1 == in.rangeCount)
                rangeTriangles = static_cast<int>(out - triangles.data()) / 3;
        }
    } else {
        VEXA_THROW(Exception, "Invalid IndexData degree");
    }
    IndexData* result = consumer().createIndexData(static_cast<int>(triangles.size()));
    result->degree = 3;
    result->faceCount = static_cast<int>(triangles.size() / 3);
    result->rangeCount = rangeTriangles;
    result->indices = std::move(triangles);
    m_faces.reset();
}

// Projects the polygon onto the plane of its largest normal component, turns
// it counter-clockwise and clips ears: a convex corner whose triangle holds
// none of the reflex corners. What cannot be clipped becomes a fan.
void Tesselator::splitPolygon(const int* corners, int size, int*& out) {
    const auto emit = [&](int a, int b, int c) {
        *out++ = a;
        *out++ = b;
        *out++ = c;
    };
    if (size < 3) return;
    const auto location = [&](int index) { return m_location + std::size_t(index) * m_stride; };
    if (size == 3) return emit(corners[0], corners[1], corners[2]);
    if (size == 4) {
        const float* p[4] = {location(corners[0]), location(corners[1]), location(corners[2]),
                             location(corners[3])};
        splitQuad(corners, p, out);
        out += 6;
        return;
    }
    const float* p0 = location(corners[0]);
    const Vec3 n = cross(sub(location(corners[1]), p0), sub(location(corners[size - 1]), p0));
    const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    const int uAxis = (ax >= ay && ax >= az) ? 1 : (az > ay ? 0 : 2);
    const int vAxis = (ax >= ay && ax >= az) ? 2 : (az > ay ? 1 : 0);
    std::vector<Point> points(static_cast<std::size_t>(size));
    float area = 0;
    for (int i = 0; i < size; ++i) {
        const float* q = location(corners[i]);
        points[i] = {q[uAxis], q[vAxis]};
    }
    for (int i = 0; i < size; ++i) {
        const Point& a = points[i];
        const Point& b = points[(i + 1) % size];
        area += a.u * b.v - b.u * a.v;
    }
    if (area < 0)
        for (Point& point : points) point.u = -point.u;

    std::vector<int> next(static_cast<std::size_t>(size)), prev(static_cast<std::size_t>(size));
    std::vector<char> reflex(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        next[i] = (i + 1) % size;
        prev[i] = (i + size - 1) % size;
    }
    const auto convex = [&](int i) {
        return turn(points[prev[i]], points[i], points[next[i]]) > 0;
    };
    for (int i = 0; i < size; ++i) reflex[i] = !convex(i);
    const auto isEar = [&](int i) {
        if (reflex[i]) return false;
        const int a = prev[i], c = next[i];
        for (int j = next[c]; j != a; j = next[j]) {
            if (!reflex[j]) continue;
            if (--m_budget < 0) return false;
            if (inside(points[j], points[a], points[i], points[c])) return false;
        }
        return true;
    };
    int remaining = size;
    int corner = 0;
    int misses = 0;
    while (remaining > 3 && misses < remaining && m_budget >= 0) {
        if (!isEar(corner)) {
            corner = next[corner];
            ++misses;
            continue;
        }
        const int a = prev[corner], c = next[corner];
        emit(corners[a], corners[corner], corners[c]);
        next[a] = c;
        prev[c] = a;
        --remaining;
        reflex[a] = !convex(a);
        reflex[c] = !convex(c);
        corner = c;
        misses = 0;
    }
    // The fan starts at the first corner still in the ring.
    int first = 0;
    while (first < size && next[prev[first]] != first) ++first;
    for (int i = next[first]; next[i] != first; i = next[i])
        emit(corners[first], corners[i], corners[next[i]]);
}

}  // namespace Vexa
