#include "Parser/Functions/ImplicitSurfaces.h"

#include <cmath>
#include <memory>
#include <vector>

#include "Mesh/TriangulateMesh.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/MeshObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/ImplicitSurfaces";

namespace Types {
VEXA_DEFINE_TYPE(TriangulateInput, "TriangulateInput")
}  // namespace Types

namespace {

constexpr float kHalfBox = 2.5f;

void boxBounds(float min[3], float max[3]) {
    for (int a = 0; a < 3; ++a) {
        min[a] = -kHalfBox;
        max[a] = kHalfBox;
    }
}

// A sphere rippled by sines:
// f = sin(4x + px) + x² + sin(4y + py) + y² + sin(4z + pz) + z² - 1.
// The field is a sum of one term per axis, so a slice needs one term per
// column and one per row.
class SinSphereFun : public TriangulateInputObject {
public:
    Vec3f phases;

    void getBounds(float min[3], float max[3]) const override { boxBounds(min, max); }

    // The direction of the gradient.
    void computeNormals(float* vertices, int count) const override {
        for (float* v = vertices; v < vertices + 6 * count; v += 6) {
            float n[3];
            for (int a = 0; a < 3; ++a) n[a] = 2.0f * std::cos(4.0f * v[a] + phases[a]) + v[a];
            const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            const float scale = length > 0.0f ? 1.0f / length : 0.0f;
            for (int a = 0; a < 3; ++a) v[3 + a] = n[a] * scale;
        }
    }

    void sample(float* values, const float origin[3], int nx, int ny, float step) const override {
        m_columns.resize(static_cast<std::size_t>(nx));
        for (int i = 0; i < nx; ++i) m_columns[i] = term(origin[0] + i * step, 0);
        const float slice = term(origin[2], 2) - 1.0f;
        for (int j = 0; j < ny; ++j) {
            const float row = term(origin[1] + j * step, 1) + slice;
            float* out = values + static_cast<std::ptrdiff_t>(j) * nx;
            for (int i = 0; i < nx; ++i) out[i] = m_columns[i] + row;
        }
    }

private:
    float term(float t, int axis) const { return std::sin(4.0f * t + phases[axis]) + t * t; }

    mutable std::vector<float> m_columns;
};

// Box-shaped metaballs inside a soft box:
// f = W(x) + W(y) + W(z) - 1 + sum of w / (dx⁶ + dy⁶ + dz⁶) over the balls,
// with W(t) = 1 / (t + 2)⁶ + 1 / (t - 2)⁶ and d the offset from a centre.
// A ball of weight 0 adds nothing, even at its own centre.
class MetaCubesFun : public TriangulateInputObject {
public:
    struct Ball {
        Vec3f centre;
        float weight = 0;
    };
    explicit MetaCubesFun(int balls) : m_balls(static_cast<std::size_t>(balls)) {}
    Ball& ball(int k) { return m_balls[static_cast<std::size_t>(k)]; }

    void getBounds(float min[3], float max[3]) const override { boxBounds(min, max); }

    // The gradient divided by 6, not normalised.
    void computeNormals(float* vertices, int count) const override {
        for (float* v = vertices; v < vertices + 6 * count; v += 6) {
            for (int a = 0; a < 3; ++a) v[3 + a] = -inverse7(v[a] + 2.0f) - inverse7(v[a] - 2.0f);
            for (const Ball& b : m_balls) {
                if (b.weight == 0.0f) continue;
                const float d[3] = {v[0] - b.centre[0], v[1] - b.centre[1], v[2] - b.centre[2]};
                const float sum = power6(d[0]) + power6(d[1]) + power6(d[2]);
                const float scale = b.weight / (sum * sum);
                for (int a = 0; a < 3; ++a) v[3 + a] -= scale * power5(d[a]);
            }
        }
    }

    void sample(float* values, const float origin[3], int nx, int ny, float step) const override {
        const std::size_t columns = static_cast<std::size_t>(nx);
        m_columns.resize(columns * (m_balls.size() + 1));
        for (int i = 0; i < nx; ++i) m_columns[i] = wall(origin[0] + i * step);
        for (std::size_t k = 0; k < m_balls.size(); ++k)
            for (int i = 0; i < nx; ++i)
                m_columns[columns * (k + 1) + i] =
                    power6(origin[0] + i * step - m_balls[k].centre[0]);
        const float slice = wall(origin[2]) - 1.0f;
        for (int j = 0; j < ny; ++j) {
            const float y = origin[1] + j * step;
            float* out = values + static_cast<std::ptrdiff_t>(j) * nx;
            const float row = wall(y) + slice;
            for (int i = 0; i < nx; ++i) out[i] = m_columns[i] + row;
            for (std::size_t k = 0; k < m_balls.size(); ++k) {
                const Ball& b = m_balls[k];
                if (b.weight == 0.0f) continue;
                const float rest = power6(y - b.centre[1]) + power6(origin[2] - b.centre[2]);
                const float* dx6 = m_columns.data() + columns * (k + 1);
                for (int i = 0; i < nx; ++i) out[i] += b.weight / (dx6[i] + rest);
            }
        }
    }

private:
    static float power5(float t) { return t * t * t * t * t; }
    static float power6(float t) {
        const float t3 = t * t * t;
        return t3 * t3;
    }
    static float inverse7(float t) { return 1.0f / (power6(t) * t); }
    static float wall(float t) { return 1.0f / power6(t + 2.0f) + 1.0f / power6(t - 2.0f); }

    std::vector<Ball> m_balls;
    mutable std::vector<float> m_columns;
};

/* SinSphere { phases } */
class F_SinSphere : public IniFunction {
public:
    IniObject* create() override {
        auto field = std::make_unique<SinSphereFun>();
        getObject("phases", Types::Vec3d());
        bindVec3IfGiven("phases", &field->phases);
        return field.release();
    }
};

/* MetaCubes ( centre weight centre weight ... ) */
class F_MetaCubes : public IniFunction {
public:
    IniObject* create() override {
        const int balls = count() / 2;
        auto field = std::make_unique<MetaCubesFun>(balls);
        for (int k = 0; k < balls; ++k) {
            bindElementVec3(2 * k, &field->ball(k).centre);
            bindElementNumber(2 * k + 1, &field->ball(k).weight);
        }
        return field.release();
    }
};

/* TriangulateMesh { graphicsSystem function voxelsize primitive_max vertex_max } */
class F_TriangulateMesh : public IniFunction {
public:
    IniObject* create() override {
        RenderMachine* m =
            renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
        auto* field = static_cast<TriangulateInputObject*>(
            getRecordedObject("function", Types::TriangulateInput()));
        const float voxelSize = getNumber("voxelsize");
        const int maxTriangles = getInt("primitive_max");
        const int maxVertices = getInt("vertex_max");
        float min[3];
        int cells[3];
        if (!triangulationGrid(*field, voxelSize, min, cells))
            VEXA_THROW(FunctionParseException,
                       "voxelsize must be above 0 and give at most 1024 cells along an axis.");
        return new MeshObject(
            std::make_unique<TriangulateMesh>(m, field, voxelSize, maxTriangles, maxVertices));
    }
};

F_SinSphere s_sinSphere;
F_MetaCubes s_metaCubes;
F_TriangulateMesh s_triangulateMesh;

const FunctionEntry kFunctions[] = {
    {"SinSphere", &s_sinSphere},
    {"MetaCubes", &s_metaCubes},
    {"TriangulateMesh", &s_triangulateMesh},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
