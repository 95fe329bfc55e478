// Material properties and the shader generator: the fragments each kind of
// surface names, the program joined from a library the test writes, and the
// calls a generated material makes when drawn. Script errors are in
// ScriptErrorsTest.
#include <gtest/gtest.h>

#include <string>

#include "Parser/Functions/MaterialProperties.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Support/RecordingRenderMachine.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Lines;

struct Fragment {
    const char* name;
    const char* keys;
    const char* text;
};

class MaterialPropertiesTest : public Testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        m_saved = registeredRenderMachine("gl");
        registerRenderMachine("gl", &RecordingRenderMachine::create);
        auto* graphics = static_cast<GraphicsSystemObject*>(
            run("graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 64 }\n"
                "tex = Texture2D { targetable = 1 width = 4 height = 4 }\n"
                "directory = \"" + m_folder.path() + "\"\n"
                "point = Light { position = < 1 2 3 > direction = < 0 0 1 >"
                " diffuse = < 0.5 0.25 1 1 > }\n"
                "lit = Environment { lights = ( 0 point ) }\n"
                "dark = Environment { }\n",
                "graphicsSystem"));
        m_machine = static_cast<RecordingRenderMachine*>(graphics->renderMachine());
    }
    void TearDown() override {
        ScriptTest::TearDown();
        registerRenderMachine("gl", m_saved);
    }
    // Binds `shaderFiles` to a library of the fragments, each in a file.
    void library(const std::vector<Fragment>& fragments) {
        std::string script = "shaderFiles = { vertexShaders = {";
        for (const Fragment& f : fragments) {
            m_folder.write(std::string(f.name) + ".vp", f.text);
            script += std::string(" ") + f.name + " = ( " + f.keys + " File \"" + f.name + ".vp\" )";
        }
        run(script + " } }");
    }
    MaterialProperties* loaded(const std::string& properties, const char* environment) {
        auto* p = static_cast<MaterialProperties*>(run("p = " + properties, "p"));
        if (*environment)
            p->setEnvironment(static_cast<EnvironmentObject*>(parser().lookup(environment))
                                  ->environment());
        Testing::send(p, CommandKinds::Load());
        return p;
    }

    TempDir m_folder;
    RecordingRenderMachine* m_machine = nullptr;
    RenderMachineFactory m_saved = nullptr;
};

TEST_F(MaterialPropertiesTest, FragmentNamesFollowTheSurfaceAndTheFirstLight) {
    const std::string plain = "TextureStage { texture = tex stage = 6 }";
    const struct {
        std::string light;  // the type of the light in slot 0, or no environment
        std::string properties;
        Lines names;
    } cases[] = {
        {"POINT_LIGHT",
         "BasicMaterialProperties { lightCube = tex textures = ( 0 " + plain + " 0 " + plain + " ) }",
         {"vertexDeclaration", "normalDeclaration", "texDeclaration1", "texDeclaration2",
          "transformedVertexOutput", "materialDiffuseOutput", "normalMatrixTextureOutput0",
          "directTextureOutput1", "directTextureOutput2"}},
        {"POINT_LIGHT",
         "BasicMaterialProperties { textures = ( 0 TextureStage { texture = tex stage = 5"
         " gen = \"GEN_VERTEX\" useTransform = 1 transformSource = \"SOURCE_WORLD\" } 0"
         " TextureStage { texture = tex stage = 0 gen = \"GEN_SPHEREMAP\" useTransform = 1 } ) }",
         {"vertexDeclaration", "normalDeclaration", "pointLightND", "basicMaterialCalculation",
          "transformedVertexOutput", "processedDiffuseOutput", "vertexWorldTextureOutput0",
          "MatrixTextureOutput1"}},
        {"DIRECTIONAL_LIGHT", "BasicMaterialProperties { }",
         {"vertexDeclaration", "normalDeclaration", "directionalLightND",
          "basicMaterialCalculation", "transformedVertexOutput", "processedDiffuseOutput"}},
        {"SPOT_LIGHT", "BasicMaterialProperties { textures = ( 0 " + plain + " ) }",
         {"vertexDeclaration", "normalDeclaration", "texDeclaration0", "basicMaterialCalculation",
          "transformedVertexOutput", "processedDiffuseOutput", "directTextureOutput0"}},
        {"", "BasicMaterialProperties { }", {}},
        {"", "ShadowMaterialProperties ( )",
         {"pointLightND", "shadowCalculation", "processedVertexOutput"}},
    };
    for (const auto& c : cases) {
        if (!c.light.empty())
            run("e = Environment { lights = ( 0 Light { type = \"" + c.light + "\" } ) }");
        EXPECT_EQ(loaded(c.properties, c.light.empty() ? "" : "e")->fragmentNames(), c.names)
            << c.light << " " << c.properties;
    }
    // An environment without a light names nothing either.
    EXPECT_EQ(loaded("BasicMaterialProperties { }", "dark")->fragmentNames(), Lines{});
}

// A fragment asked for twice comes once; fragments with the same keys keep
// the one added last; the keys, not the requests, give the order.
TEST_F(MaterialPropertiesTest, GeneratorJoinsFragmentsInKeyOrder) {
    library({{"header", "0 0", "H "}, {"end", "9 0", "E"}, {"vertexDeclaration", "1 0", "V "},
             {"normalDeclaration", "1 0", "N "}, {"pointLightND", "2 1", "P "},
             {"basicMaterialCalculation", "3 0", "B "}, {"transformedVertexOutput", "4 0", "T "},
             {"processedDiffuseOutput", "4 1", "D "}, {"shadowCalculation", "2 0", "S "},
             {"processedVertexOutput", "5 0", "O "}});
    loaded("BasicMaterialProperties { }", "lit");
    run("shadow = ShadowMaterialProperties ( )\ng = SimpleGenerator ( p shadow )");
    Testing::send(parser().lookup("shadow"), CommandKinds::Load());
    auto* g = static_cast<SimpleGeneratorObject*>(parser().lookup("g"));
    m_machine->clearLog();
    const CommandKind* steps[] = {CommandKinds::Load(), CommandKinds::Unload(),
                                  CommandKinds::Load()};
    for (const CommandKind* step : steps) Testing::send(g, step);
    EXPECT_EQ(g->text(), "H N S P B T D O E");
    EXPECT_EQ(m_machine->takeLog(), (Lines{"createVertexShader() -> vsh1", "delete vsh1",
                                           "createVertexShader() -> vsh2"}));
}

std::string floats(int first, const char* values, int count = 1) {
    return "setVertexConstantF(" + std::to_string(first) + ", [" + values + "], " +
           std::to_string(count) + ")";
}

TEST_F(MaterialPropertiesTest, DrawSendsTheProgramWithConstantsForTheCurrentWorldMatrix) {
    library({{"header", "0 0", "H"}, {"end", "9 0", "E"}, {"vertexDeclaration", "1 0", ""},
             {"normalDeclaration", "1 1", ""}, {"texDeclaration0", "1 2", ""},
             {"pointLightND", "2 0", ""}, {"basicMaterialCalculation", "3 0", ""},
             {"transformedVertexOutput", "4 0", ""}, {"processedDiffuseOutput", "4 1", ""},
             {"directMatrixTextureOutput0", "5 0", ""}});
    loaded("BasicMaterialProperties { baseColor = < 1 0 0 > glossiness = 0.5 textures = ( 0"
           " TextureStage { texture = tex stage = 3 useTransform = 1 } ) }",
           "lit");
    run("g = SimpleGenerator p\nm = Material { generator = g environment = lit }");
    Testing::send(parser().lookup("g"), CommandKinds::Load());
    Testing::send(parser().lookup("m"), CommandKinds::Load());
    Matrix world;
    world.at(0, 3) = 1;  // a move by one along x
    m_machine->setMatrix(&world, MATRIX_WORLD);
    m_machine->clearLog();
    Testing::send(parser().lookup("m"), CommandKinds::Draw());
    Lines draw = m_machine->takeLog();
    ASSERT_EQ(draw.size(), 14u);
    EXPECT_EQ(Lines(draw.begin() + 4, draw.end()),
              (Lines{"setVertexShader(vsh1)", "setVertexConstantMatrix(0, 0)",
                     floats(16, "0 0 0 0"), floats(17, "1 1 1 1"), floats(80, "1 0 0 1"),
                     floats(81, "0 1 1 7"), floats(24, "0 2 3 0"), floats(25, "0 0 1 0"),
                     floats(26, "0.5 0.25 1 1"),
                     floats(84, "1 0 0 1 0 1 0 0 0 0 1 0 0 0 0 1", 4)}));
}

TEST_F(MaterialPropertiesTest, LoadNamesTheFragmentItCannotUse) {
    const struct {
        std::string library;
        Testing::Outcome outcome;
    } cases[] = {
        {"{ }", {"ResourceNotFound", "vertexShaders missing"}},
        {"{ vertexShaders = { header = ( 0 0 File \"h\" ) } }",
         {"ResourceNotFound", "vertexShaders.end missing"}},
        {"{ vertexShaders = { header = ( 0 File \"h\" ) } }",
         {"ResourceCorrupted", "vertexShaders.header corrupted"}},
    };
    for (const auto& c : cases) {
        run("shaderFiles = " + c.library + "\ng = SimpleGenerator ( )");
        EXPECT_EQ(Testing::outcomeOf([&] { parser().lookup("g")->load(); }), c.outcome)
            << c.library;
    }
}

}  // namespace
}  // namespace Vexa
