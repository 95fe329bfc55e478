// The fragment library shipped in demo/: every fragment the generator can ask
// for is there and every program it can join compiles on the OpenGL machine,
// and a generated program lights a flat surface as its fragments say.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
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
        m_texture = new TargetableTexture2DObject(&machine(), 4, 4);
        m_objects.push_back(m_texture);
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
    TextureObject* m_texture = nullptr;
    std::vector<IniObject*> m_objects;
};

// Surfaces under each kind of first light (or none), with and without a
// light cube, with every stage slot in one coordinate form, alone and with
// a shadow pass: together they ask for every fragment of the library.
TEST_F(FragmentLibraryTest, EveryRequestedFragmentExistsAndEveryProgramCompiles) {
    const int gens[] = {GEN_DISABLE, GEN_VERTEX, GEN_NORMAL, GEN_REFLECTION};
    std::set<std::string> requested = {"header", "end"};
    int programs = 0;
    for (int combination = 0; combination < 4 * 2 * 4 * 3 * 2; ++combination) {
        int rest = combination;
        const auto next = [&rest](int count) {
            const int digit = rest % count;
            rest /= count;
            return digit;
        };
        const int lightType = next(4) - 1, cube = next(2), gen = gens[next(4)];
        const int source = next(3) - 1, shadow = next(2);  // source -1: no transform
        Light light;
        light.type = lightType;
        Environment environment;
        if (lightType >= 0) environment.setLight(0, &light);
        auto* basic = made(new BasicMaterialPropertiesObject());
        if (cube) basic->setLightCube(m_texture);
        while (basic->stageCount() < BasicMaterialPropertiesObject::kStages) {
            auto* stage = made(new TextureStageObject(m_texture, 0));
            stage->setGenMode(gen);
            stage->setUseTransform(source >= 0);
            stage->setTransformSource(std::max(source, 0));
            basic->addStage(stage);
        }
        std::vector<MaterialProperties*> properties = {basic};
        if (shadow) properties.push_back(made(new ShadowMaterialPropertiesObject));
        SimpleGeneratorObject* generator = nullptr;
        EXPECT_EQ(messageOf([&] { generator = generated(properties, &environment); }), "no error")
            << "combination " << combination;
        programs += generator && generator->shader();
        for (MaterialProperties* p : properties)
            requested.insert(p->fragmentNames().begin(), p->fragmentNames().end());
    }
    EXPECT_EQ(programs, 4 * 2 * 4 * 3 * 2);
    // Every fragment of the library is asked for by some surface.
    std::set<std::string> library;
    for (const auto& binding :
         static_cast<BlockObject*>(m_library->lookup("vertexShaders"))->bindings())
        library.insert(binding.first);
    EXPECT_EQ(requested, library);
}

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
