// The fragment library shipped in demo/: a program the generator joins from
// it lights a flat surface as its fragments say.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "Parser/Functions/MaterialProperties.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Parser.h"
#include "Support/MachineFixtureGL.h"

namespace Vexa {
namespace {

const std::string kDemo = std::string(VEXA_TEST_DATA) + "/../../demo";

class FragmentLibraryTest : public MachineGLTest {
protected:
    void SetUp() override {
        MachineGLTest::SetUp();
        m_parser.parseString("directory = \"" + kDemo + "\"\n@include \"" + kDemo +
                             "/Ini/fragments.ini\"");
        m_library = static_cast<BlockObject*>(m_parser.lookup("shaderFiles"));
    }
    void TearDown() override {
        for (IniObject* object : m_objects) object->touch();
        collectGarbage();
        MachineGLTest::TearDown();
    }
    template <class T>
    T* made(T* object) {
        m_objects.push_back(object);
        return object;
    }
    // A generator for `properties`, told `environment` and loaded with them.
    SimpleGeneratorObject* generated(std::vector<MaterialProperties*> properties,
                                     Environment* environment) {
        auto* generator = made(new SimpleGeneratorObject(&machine(), m_library, properties));
        generator->setEnvironment(environment);
        for (MaterialProperties* p : properties) p->load();
        generator->load();
        return generator;
    }

    Parser m_parser;
    BlockObject* m_library = nullptr;
    std::vector<IniObject*> m_objects;
};

// A quad at depth 0 facing the camera (normal towards -z) over the window
// moved by `shift` along x, drawn under `material`.
void drawLitQuad(RenderMachine& machine, MaterialObject* material, float shift) {
    Matrix identity, world;
    world.at(0, 3) = shift;
    machine.setMatrix(&identity, MATRIX_PROJECTION);
    machine.setMatrix(&identity, MATRIX_VIEW);
    machine.setMatrix(&world, MATRIX_WORLD);
    std::unique_ptr<VertexDeclaration> declaration(machine.createVertexDeclaration());
    declaration->append(VertexElement::POSITION, 2, 0);
    declaration->append(VertexElement::NORMAL, 2, 0);
    std::unique_ptr<VertexStream> stream(machine.createVertexStream(4, declaration->stride(), 0));
    float* vertex = static_cast<float*>(stream->lock(0u));
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto& c : corners)
        for (float value : {c[0], c[1], 0.0f, 0.0f, 0.0f, -1.0f}) *vertex++ = value;
    stream->unlock();
    Testing::send(material, CommandKinds::Draw());
    machine.setVertexDeclaration(declaration.get());
    machine.setVertexStream(stream.get(), 0);
    machine.drawPrimitive(TRIANGLE_FAN, 0, 2);
    machine.setVertexDeclaration(nullptr);
    machine.setVertexStream(nullptr, 0);
    Testing::send(material, CommandKinds::Disable());
}

// The basic calculation: base * (luminosity + diffuse * max(0, N.L) * light),
// with N.L the same at every corner of the quad. The point light sits one
// unit in front of the quad's centre, so it reaches the generator's
// registers in the quad's own space only if the world move is undone.
TEST_F(FragmentLibraryTest, GeneratedShaderLightsAFlatSurfaceAsTheFormulaSays) {
    const float shift = 0.25f;
    const struct {
        int type;
        Vec3f position, direction;
        float nDotL;
    } cases[] = {
        {DIRECTIONAL_LIGHT, {{0, 0, 0}}, {{0.6f, 0, 0.8f}}, 0.8f},
        {POINT_LIGHT, {{shift, 0, -1}}, {{0, 0, 1}}, 1 / std::sqrt(3.0f)},
    };
    for (const auto& c : cases) {
        Light light;
        light.type = c.type;
        light.position = c.position;
        light.direction = c.direction;
        light.diffuse = Vec4f{{1, 0.8f, 0.5f, 1}};
        Environment environment;
        environment.setLight(0, &light);
        auto* basic = made(new BasicMaterialPropertiesObject());
        basic->baseColor = Vec3f{{1, 0.5f, 0.25f}};
        basic->luminosity = 0.1f;
        basic->diffuse = 0.75f;
        auto* material = made(new MaterialObject(&machine()));
        material->setGenerator(generated({basic}, &environment));
        material->setEnvironment(&environment);
        material->load();
        const Color black{0, 0, 0, 0};
        machine().clear(CLEAR_COLOR, &black, 1, 0);
        drawLitQuad(machine(), material, shift);
        std::array<int, 4> expected{0, 0, 0, 255};
        for (int i = 0; i < 3; ++i) {
            const float lit = basic->baseColor[i] *
                              (basic->luminosity + basic->diffuse * c.nDotL * light.diffuse.v[i]);
            expected[static_cast<std::size_t>(i)] = static_cast<int>(std::lround(255 * lit));
        }
        for (int x : {5, 16, 30})
            EXPECT_TRUE(near(pixel(x, 8 + x / 2), expected, 3))
                << c.type << " at " << x << ": " << describe(pixel(x, 8 + x / 2)) << " not "
                << describe(expected);
        // The quad starts a quarter of the window's half-width right of its edge.
        EXPECT_EQ(pixel(2, 16), (std::array<int, 4>{0, 0, 0, 0})) << c.type;
    }
}

}  // namespace
}  // namespace Vexa
