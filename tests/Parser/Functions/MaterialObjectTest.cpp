// Materials and their attributes: the calls a Draw and a Disable make on the
// recording render machine, and the state a material leaves behind on the
// real OpenGL machine. Their script errors are in ScriptErrorsTest.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Parser/Functions/MaterialObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/IniFunction.h"
#include "Support/MachineFixtureGL.h"
#include "Support/RecordingRenderMachine.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Lines;

const char* const kIdentity = "[1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1]";

// `TestMaterialGenerator attribute`: a generator that offers one attribute
// and remembers the environment it was told.
class TestGenerator : public MaterialGenerator {
public:
    explicit TestGenerator(MaterialAttribute* attribute) : m_attributes{attribute} {}
    const TypeObject* type() const override { return Types::Number(); }
    const std::vector<MaterialAttribute*>& attributes() const override { return m_attributes; }
    void setEnvironment(Environment* environment) override { this->environment = environment; }
    void update(RenderMachine*, MaterialAttribute*) override {}
    Environment* environment = nullptr;

private:
    std::vector<MaterialAttribute*> m_attributes;
};

class F_TestMaterialGenerator : public IniFunction {
public:
    IniObject* create() override {
        return new TestGenerator(dynamic_cast<MaterialAttribute*>(getRecordedElement(0, nullptr)));
    }
};
F_TestMaterialGenerator s_generator;
const FunctionEntry kFunctions[] = {{"TestMaterialGenerator", &s_generator}};
const FunctionRegistrar s_registrar(kFunctions);

class MaterialObjectTest : public Testing::ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        m_saved = registeredRenderMachine("gl");
        registerRenderMachine("gl", &RecordingRenderMachine::create);
        auto* graphics = static_cast<GraphicsSystemObject*>(
            run("graphicsSystem = GraphicsSystem { type = \"gl\" width = 64 height = 64 }\n"
                "tex = Texture2D { targetable = 1 width = 4 height = 4 }\n"
                "directory = \"" + m_folder.path() + "\"\n"
                "file = File \"shader.txt\"\n",
                "graphicsSystem"));
        m_folder.write("shader.txt", "program");
        m_machine = static_cast<RecordingRenderMachine*>(graphics->renderMachine());
        Testing::send(parser().lookup("tex"), CommandKinds::Load());
    }
    void TearDown() override {
        ScriptTest::TearDown();
        registerRenderMachine("gl", m_saved);
    }
    // The calls `command` makes when sent to the object bound to `name`.
    Lines calls(const char* name, const CommandKind* kind) {
        m_machine->clearLog();
        Testing::send(parser().lookup(name), kind);
        return m_machine->takeLog();
    }

    TempDir m_folder;
    RecordingRenderMachine* m_machine = nullptr;
    RenderMachineFactory m_saved = nullptr;
};

// One float register as the machine's log writes it.
std::string floats(int first, const char* values) {
    return "setVertexConstantF(" + std::to_string(first) + ", [" + values + "], 1)";
}

TEST_F(MaterialObjectTest, AttributesSetTheirStateOnDrawAndPutItBackOnDisable) {
    const std::string zero = "0 0 0 0";
    const struct {
        std::string attributes;
        Lines draw;
        Lines disable;
    } cases[] = {
        {"( 0 TextureStage { texture = tex stage = 1 gen = \"GEN_NORMAL\" transform = Translation < 1 2 3 >"
         " combinerStage = TextureCombinerStage { rgbsrc = ( 1 \"SRC_DIFFUSE\" ) alphaop = \"OP_ADD\""
         " dst = \"SRC_TEMP\" } } )",
         {"setTextureCoordGen(1, GEN_NORMAL)",
          "setCombinerStage(1, {1 SRC_TEXTURE SRC_DIFFUSE SRC_CURRENT SRC_TEXTURE SRC_CURRENT "
          "SRC_CURRENT OP_MODULATE OP_ADD SRC_TEMP})",
          "setTextureMatrix(1, [1 0 0 0 0 1 0 0 0 0 1 0 1 2 3 1])", "setTexture(1, tex1)"},
         {"setCombinerStage(1, {0 SRC_TEXTURE SRC_CURRENT SRC_CURRENT SRC_TEXTURE SRC_CURRENT "
          "SRC_CURRENT OP_MODULATE OP_MODULATE SRC_CURRENT})",
          "setTexture(1, null)", "setTextureCoordGen(1, GEN_DISABLE)",
          std::string("setTextureMatrix(1, ") + kIdentity + ")"}},
        {"( 0 TextureFactor { factor = < 0.5 0.25 1 0 > } )",
         {"setTextureFactor((0.5 0.25 1 0))"},
         {"setTextureFactor((1 1 1 1))"}},
        // Restored in the order applied, not reversed.
        {"( 0 AlphaTest { func = \"GREATER\" ref = 0.5 } 0 Blend { constant = < 0 0 1 1 >"
         " operation = \"SUBTRACT\" src = \"SRCALPHA\" dest = \"INVSRCALPHA\" } )",
         {"setAlphaTest(1)", "setAlphaFunc(GREATER, 0.5)", "setBlendColor((0 0 1 1))",
          "setBlendFunc(SRCALPHA, INVSRCALPHA)", "setBlendOperation(SUBTRACT)", "setBlend(1)"},
         {"setAlphaTest(0)", "setAlphaFunc(ALWAYS, 0)", "setBlend(0)", "setBlendFunc(ONE, ZERO)",
          "setBlendOperation(ADD)", "setBlendColor((0 0 0 0))"}},
        // Switched on even though its record is not enabled.
        {"( 0 Fog { } )",
         {"setFog(1)", "setFogColor((1 1 1 1))", "setFogMode(FOG_LINEAR)",
          "setFogParameters(0, 10, 1)"},
         {"setFog(0)", "setFogColor((0 0 0 0))", "setFogMode(FOG_EXP)",
          "setFogParameters(0, 1, 1)"}},
        {"( 0 VertexShader { file = file constants = VertexConstants { autoworld = 1 setfour = 1"
         " settwo = 0 constant2 = < 1 2 3 4 > } } )",
         {"setVertexShader(vsh1)", "setVertexConstantMatrix(4, 1)", floats(19, "4 4 4 4"),
          floats(20, "0 0 0 0"), floats(21, "1 2 3 4"), floats(22, "0 0 0 0"),
          floats(23, "0 0 0 0"), floats(56, "0 0 0 0"), floats(57, "0 0 0 0"),
          floats(58, "0 0 0 0"), floats(59, "0 0 0 0")},
         {"setVertexShader(null)"}},
        {"( 0 PixelShader { file = file constants = PixelConstants { constant3 = < 1 2 3 4 > } } )",
         {"setPixelShader(psh1)", "setPixelConstantF(0, [0 0 0 0], 1)",
          "setPixelConstantF(1, [0 0 0 0], 1)", "setPixelConstantF(2, [1 2 3 4], 1)",
          "setPixelConstantF(3, [0 0 0 0], 1)"},
         {"setPixelShader(null)"}},
        {"( )", {}, {}},
    };
    for (const auto& c : cases) {
        run("a = " + c.attributes + "\nm = Material { attributes = a }");
        for (IniObject* element : static_cast<TupleObject*>(parser().lookup("a"))->elements())
            Testing::send(element, CommandKinds::Load());
        EXPECT_EQ(calls("m", CommandKinds::Draw()), c.draw) << c.attributes;
        EXPECT_EQ(calls("m", CommandKinds::Disable()), c.disable) << c.attributes;
    }
}

}  // namespace
}  // namespace Vexa
