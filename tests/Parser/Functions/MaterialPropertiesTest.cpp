// Material properties and the shader generator: the fragments each kind of
// surface names, the program joined from a library the test writes, the
// calls a generated material makes when drawn. Script errors are in
// ScriptErrorsTest.
#include <gtest/gtest.h>

#include <string>

#include "Parser/Functions/MaterialProperties.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Support/RecordingScriptTest.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Lines;

struct Fragment {
    const char *name, *keys, *text;
};

// Binds `shaderFiles` to a library of the fragments, each written to a file.
std::string library(const TempDir& folder, const std::vector<Fragment>& fragments) {
    std::string script = "directory = \"" + folder.path() + "\"\nshaderFiles = { vertexShaders = {";
    for (const Fragment& f : fragments) {
        folder.write(f.name, f.text);
        script += std::string(" ") + f.name + " = ( " + f.keys + " File \"" + f.name + "\" )";
    }
    return script + " } }";
}

class MaterialPropertiesTest : public Testing::RecordingScriptTest {
protected:
    std::string script() override {
        return "tex = Texture2D { targetable = 1 width = 4 height = 4 }";
    }
    // `properties` bound to p, told the environment bound to `environment` (if
    // any), and loaded.
    MaterialProperties* loaded(const std::string& properties, const std::string& environment) {
        auto* p = static_cast<MaterialProperties*>(run("p = " + properties, "p"));
        if (!environment.empty())
            p->setEnvironment(
                static_cast<EnvironmentObject*>(run("e = " + environment, "e"))->environment());
        Testing::send(p, CommandKinds::Load());
        return p;
    }

    TempDir m_folder;
};

std::string lit(const std::string& type) {
    return "Environment { lights = ( 0 Light { type = \"" + type + "\" } ) }";
}

TEST_F(MaterialPropertiesTest, FragmentNamesFollowTheSurfaceAndTheFirstLight) {
    const std::string plain = "TextureStage { texture = tex stage = 6 }";
    const struct {
        std::string environment;
        std::string properties;
        Lines names;
    } cases[] = {
        {lit("POINT_LIGHT"),
         "BasicMaterialProperties { lightCube = tex textures = ( 0 " + plain + " 0 " + plain +
             " ) }",
         {"vertexDeclaration", "normalDeclaration", "texDeclaration1", "texDeclaration2",
          "transformedVertexOutput", "materialDiffuseOutput", "normalMatrixTextureOutput0",
          "directTextureOutput1", "directTextureOutput2"}},
        {lit("DIRECTIONAL_LIGHT"),
         "BasicMaterialProperties { textures = ( 0 TextureStage { texture = tex stage = 5"
         " gen = \"GEN_VERTEX\" useTransform = 1 transformSource = \"SOURCE_WORLD\" } 0"
         " TextureStage { texture = tex stage = 0 gen = \"GEN_SPHEREMAP\" useTransform = 1 } ) }",
         {"vertexDeclaration", "normalDeclaration", "directionalLightND",
          "basicMaterialCalculation", "transformedVertexOutput", "processedDiffuseOutput",
          "vertexWorldTextureOutput0", "MatrixTextureOutput1"}},
        {lit("SPOT_LIGHT"),
         "BasicMaterialProperties { textures = ( 0 " + plain + " ) }",
         {"vertexDeclaration", "normalDeclaration", "texDeclaration0", "basicMaterialCalculation",
          "transformedVertexOutput", "processedDiffuseOutput", "directTextureOutput0"}},
        {"Environment { }", "BasicMaterialProperties { }", {}},
        {"", "BasicMaterialProperties { }", {}},
        {"",
         "ShadowMaterialProperties ( )",
         {"pointLightND", "shadowCalculation", "processedVertexOutput"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loaded(c.properties, c.environment)->fragmentNames(), c.names) << c.properties;
}

std::string floats(int first, const char* values, int count = 1) {
    return "setVertexConstantF(" + std::to_string(first) + ", [" + values + "], " +
           std::to_string(count) + ")";
}

// A fragment asked for twice comes once, of two with the same keys the one
// added last is kept, and the keys give the order. A Draw brings the
// constants up to date for the world matrix it finds.
TEST_F(MaterialPropertiesTest, GeneratedMaterialJoinsFragmentsAndSendsCurrentConstants) {
    run(library(m_folder, {{"header", "0 0", "H "},
                           {"end", "9 0", "E"},
                           {"vertexDeclaration", "1 0", "V "},
                           {"normalDeclaration", "1 0", "N "},
                           {"texDeclaration0", "1 2", "X "},
                           {"pointLightND", "2 1", "P "},
                           {"basicMaterialCalculation", "3 0", "B "},
                           {"transformedVertexOutput", "4 0", "T "},
                           {"processedDiffuseOutput", "4 1", "D "},
                           {"directMatrixTextureOutput0", "5 1", "M "},
                           {"shadowCalculation", "2 0", "S "},
                           {"processedVertexOutput", "5 0", "O "}}));
    loaded(
        "BasicMaterialProperties { baseColor = < 1 0 0 > glossiness = 0.5 textures = ( 0"
        " TextureStage { texture = tex stage = 3 useTransform = 1 } ) }",
        "Environment { lights = ( 0 Light { position = < 1 2 3 > direction = < 0 0 1 >"
        " diffuse = < 0.5 0.25 1 1 > } ) }");
    run("shadow = ShadowMaterialProperties ( )\ng = SimpleGenerator ( p shadow )\n"
        "m = Material { generator = g environment = e }");
    auto* g = static_cast<SimpleGeneratorObject*>(parser().lookup("g"));
    m_machine->clearLog();
    const CommandKind* load = CommandKinds::Load();
    const std::pair<const char*, const CommandKind*> steps[] = {
        {"shadow", load}, {"g", load}, {"g", CommandKinds::Unload()}, {"g", load}, {"m", load}};
    for (const auto& step : steps) Testing::send(parser().lookup(step.first), step.second);
    EXPECT_EQ(g->text(), "H N X S P B T D O M E");
    Matrix world;
    world.at(0, 3) = 1;  // a move by one along x
    m_machine->setMatrix(&world, MATRIX_WORLD);
    Testing::send(parser().lookup("m"), CommandKinds::Draw());
    const Lines log = m_machine->takeLog();
    ASSERT_EQ(log.size(), 20u);
    EXPECT_EQ(
        Lines(log.begin(), log.begin() + 3),
        (Lines{"createVertexShader() -> vsh1", "delete vsh1", "createVertexShader() -> vsh2"}));
    EXPECT_EQ(Lines(log.begin() + 8, log.end()),
              (Lines{"setVertexShader(vsh2)", "setVertexConstantMatrix(0, 0)",
                     floats(16, "0 0 0 0"), floats(17, "1 1 1 1"), floats(80, "1 0 0 1"),
                     floats(81, "0 1 1 7"), floats(64, "0.1 0 0 0"), floats(65, "15 15 15 0"),
                     floats(24, "0 2 3 0"), floats(25, "0 0 1 0"), floats(26, "0.5 0.25 1 1"),
                     floats(84, "1 0 0 1 0 1 0 0 0 0 1 0 0 0 0 1", 4)}));
}

TEST_F(MaterialPropertiesTest, LoadNamesTheFragmentItCannotUse) {
    const std::pair<std::string, Testing::Outcome> cases[] = {
        {"{ }", {"ResourceNotFound", "vertexShaders missing"}},
        {"{ vertexShaders = { header = ( 0 0 File \"h\" ) } }",
         {"ResourceNotFound", "vertexShaders.end missing"}},
        {"{ vertexShaders = { header = ( 0 File \"h\" ) } }",
         {"ResourceCorrupted", "vertexShaders.header corrupted"}},
    };
    for (const auto& c : cases) {
        run("shaderFiles = " + c.first + "\ng = SimpleGenerator ( )");
        EXPECT_EQ(Testing::outcomeOf([&] { parser().lookup("g")->load(); }), c.second) << c.first;
    }
}

}  // namespace
}  // namespace Vexa
