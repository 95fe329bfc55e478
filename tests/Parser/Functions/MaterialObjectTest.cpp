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
#include "Support/RecordingScriptTest.h"
#include "Support/TestKit.h"

namespace Vexa {
namespace {

using Testing::Lines;

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

class MaterialObjectTest : public Testing::RecordingScriptTest {
protected:
    void SetUp() override {
        m_folder.write("shader.txt", "program");
        RecordingScriptTest::SetUp();
        Testing::send(parser().lookup("tex"), CommandKinds::Load());
    }
    std::string script() override {
        return "tex = Texture2D { targetable = 1 width = 4 height = 4 }\n"
               "directory = \"" +
               m_folder.path() + "\"\nfile = File \"shader.txt\"\n";
    }

    TempDir m_folder;
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
        {"( 0 TextureStage { texture = tex stage = 1 gen = \"GEN_NORMAL\""
         " transform = Translation < 1 2 3 > combinerStage = TextureCombinerStage {"
         " rgbsrc = ( 1 \"SRC_DIFFUSE\" ) alphaop = \"OP_ADD\""
         " dst = \"SRC_TEMP\" } } )",
         {"setTextureCoordGen(1, GEN_NORMAL)",
          "setCombinerStage(1, {1 SRC_TEXTURE SRC_DIFFUSE SRC_CURRENT SRC_TEXTURE SRC_CURRENT "
          "SRC_CURRENT OP_MODULATE OP_ADD SRC_TEMP})",
          "setTextureMatrix(1, [1 0 0 0 0 1 0 0 0 0 1 0 1 2 3 1])", "setTexture(1, tex1)"},
         {"setCombinerStage(1, {0 SRC_TEXTURE SRC_CURRENT SRC_CURRENT SRC_TEXTURE SRC_CURRENT "
          "SRC_CURRENT OP_MODULATE OP_MODULATE SRC_CURRENT})",
          "setTexture(1, null)", "setTextureCoordGen(1, GEN_DISABLE)",
          "setTextureMatrix(1, [1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1])"}},
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

TEST_F(MaterialObjectTest, UpdateAndDrawSendTheCurrentAnimatedValues) {
    run("e = Envelope4d { type = \"LINEAR\" key = ( 0 < 0 0 0 0 > 1 < 1 1 1 1 > ) }\n"
        "s = PixelShader { file = file constants = PixelConstants { constant1 = e } }\n"
        "m = Material { attributes = ( 0 s 1 TextureFactor { factor = e } ) }");
    Testing::send(parser().lookup("e"), CommandKinds::Update(), 0.5f);
    EXPECT_EQ(
        calls("m", CommandKinds::Update()),
        (Lines{"setPixelConstantF(0, [0.5 0.5 0.5 0.5], 1)", "setPixelConstantF(1, [0 0 0 0], 1)",
               "setPixelConstantF(2, [0 0 0 0], 1)", "setPixelConstantF(3, [0 0 0 0], 1)"}));
    EXPECT_EQ(calls("m", CommandKinds::Draw()).back(), "setTextureFactor((0.5 0.5 0.5 0.5))");
}

TEST_F(MaterialObjectTest, FogFollowsAnEnvironmentWithEnabledFog) {
    run("on = Environment { fog = FogDefinition { enabled = 1 color = < 0 1 0 1 > mode = "
        "\"FOG_EXP2\" start = 2 end = 3 density = 0.5 } }\n"
        "off = Environment { fog = FogDefinition { color = < 0 0 1 1 > } }\n"
        "toOn = SetMaterialEnvironment on\ntoOff = SetMaterialEnvironment off\n"
        "toNone = SetMaterialEnvironment ( )\nm = Material { attributes = ( 0 Fog { "
        "definition = FogDefinition { mode = \"FOG_EXP\" } } ) environment = on }");
    const Lines own = {"setFog(1)", "setFogColor((1 1 1 1))", "setFogMode(FOG_EXP)",
                       "setFogParameters(0, 10, 1)"};
    const Lines environment = {"setFog(1)", "setFogColor((0 1 0 1))", "setFogMode(FOG_EXP2)",
                               "setFogParameters(2, 3, 0.5)"};
    EXPECT_EQ(calls("m", CommandKinds::Draw()), environment);
    const struct {
        const char* command;
        const Lines& draw;
    } cases[] = {{"toOff", own}, {"toOn", environment}, {"toNone", own}};
    for (const auto& c : cases) {
        parser().lookup("m")->execute(*static_cast<CommandObject*>(parser().lookup(c.command)));
        EXPECT_EQ(calls("m", CommandKinds::Draw()), c.draw) << c.command;
    }
}

TEST_F(MaterialObjectTest, LoadAppendsTheGeneratorsAttributesEachTime) {
    run("env = Environment { }\n"
        "g = TestMaterialGenerator TextureFactor { }\n"
        "m = Material { generator = g attributes = ( 0 AlphaTest { } ) environment = env }");
    auto* material = static_cast<MaterialObject*>(parser().lookup("m"));
    EXPECT_EQ(static_cast<TestGenerator*>(parser().lookup("g"))->environment,
              material->environment());
    EXPECT_NE(material->environment(), nullptr);
    const CommandKind* steps[] = {CommandKinds::Load(), CommandKinds::Unload(),
                                  CommandKinds::Load()};
    for (const CommandKind* step : steps) Testing::send(material, step);
    EXPECT_TRUE(material->isLoaded());
    EXPECT_EQ(calls("m", CommandKinds::Draw()),
              (Lines{"setAlphaTest(1)", "setAlphaFunc(ALWAYS, 0)", "setTextureFactor((1 1 1 1))",
                     "setTextureFactor((1 1 1 1))"}));
}

// A material of every attribute drawn on the real machine, whose Disable
// must leave the device's state as the Draw found it.
class MaterialStateGLTest : public MachineGLTest {
protected:
    void TearDown() override {
        for (IniObject* object : m_objects) object->touch();
        collectGarbage();
        MachineGLTest::TearDown();
    }
    template <typename T>
    T* made(T* object) {
        m_objects.push_back(object);
        return object;
    }
    MaterialObject* material(std::initializer_list<MaterialAttribute*> attributes) {
        auto* material = made(new MaterialObject(&machine()));
        for (MaterialAttribute* a : attributes) material->addAttribute(a);
        return material;
    }
    RenderMachine* const m = &machine();

private:
    std::vector<IniObject*> m_objects;
};

TEST_F(MaterialStateGLTest, DisableLeavesTheStateTheDrawFound) {
    auto* texture = made(new TargetableTexture2DObject(m, 4, 4));
    texture->load();
    auto* stage = made(new TextureStageObject(texture, 1));
    stage->setGenMode(GEN_SPHEREMAP);
    TextureCombinerStage combiner = defaultCombinerStage();
    combiner.colorOp = OP_ADD;
    stage->setCombinerStage(combiner);
    auto* alpha = made(new AlphaTestObject());
    alpha->function = GREATER;
    auto* blend = made(new BlendObject());
    blend->source = SRCALPHA;
    blend->operation = MAX;
    auto* fog = made(new FogObject());
    fog->fog.mode = FOG_EXP2;
    auto* vertexConstants = made(new VertexConstantsObject());
    vertexConstants->constants().setAutomatic(0, 0);
    Testing::MemoryBlock vertexText(
        "!!ARBvp1.0\nMOV result.position, vertex.position;\n"
        "MOV result.color, vertex.color;\nEND\n");
    Testing::MemoryBlock pixelText("!!ARBfp1.0\nMOV result.color, fragment.color;\nEND\n");
    auto* vertexShader = made(new VertexShaderObject(
        std::make_unique<FileShaderLoader<VertexShader>>(m, &vertexText), vertexConstants));
    auto* pixelShader =
        made(new PixelShaderObject(std::make_unique<FileShaderLoader<PixelShader>>(m, &pixelText),
                                   made(new PixelConstantsObject())));
    vertexShader->load();
    pixelShader->load();
    MaterialObject* all = material(
        {stage, made(new TextureFactorObject()), alpha, blend, fog, vertexShader, pixelShader});

    drawQuad();
    std::unique_ptr<RenderState> before(m->createState()), after(m->createState());
    Testing::send(all, CommandKinds::Draw());
    drawQuad();
    Testing::send(all, CommandKinds::Disable());
    m->captureState(after.get());
    const auto found = before->entries(), left = after->entries();
    ASSERT_EQ(found.size(), left.size());
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_EQ(left[i].value, found[i].value) << found[i].name;
}

}  // namespace
}  // namespace Vexa
