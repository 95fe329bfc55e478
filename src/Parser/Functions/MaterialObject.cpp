#include "Parser/Functions/MaterialObject.h"

#include <algorithm>
#include <string>
#include <type_traits>
#include <utility>

#include "Common/DataBlock.h"
#include "Parser/Exceptions.h"
#include "Parser/Functions/Environment.h"
#include "Parser/Functions/FileObject.h"
#include "Parser/Functions/RenderingObjects.h"
#include "Parser/Functions/TransformObject.h"
#include "Parser/IniFunction.h"

namespace Vexa {

static const char* const kUnit = "Parser/Functions/MaterialObject";

namespace Types {
VEXA_DEFINE_TYPE(Material, "Material")
VEXA_DEFINE_TYPE(TextureCombinerStage, "TextureCombinerStage")
VEXA_DEFINE_TYPE(TextureStage, "TextureStage")
VEXA_DEFINE_TYPE(TextureFactor, "TextureFactor")
VEXA_DEFINE_TYPE(AlphaTest, "AlphaTest")
VEXA_DEFINE_TYPE(Blend, "Blend")
VEXA_DEFINE_TYPE(Fog, "Fog")
VEXA_DEFINE_TYPE(VertexShader, "VertexShader")
VEXA_DEFINE_TYPE(PixelShader, "PixelShader")
VEXA_DEFINE_TYPE(VertexConstants, "VertexConstants")
VEXA_DEFINE_TYPE(PixelConstants, "PixelConstants")
}  // namespace Types

namespace {

constexpr int kMaxStages = 8;
const Color kWhite{1, 1, 1, 1};
const Color kBlack{0, 0, 0, 0};

Color toColor(const Vec4f& v) { return Color{v[0], v[1], v[2], v[3]}; }

}  // namespace

TextureCombinerStage defaultCombinerStage() {
    TextureCombinerStage stage;
    stage.enabled = true;
    return stage;
}

// ---- attribute interfaces --------------------------------------------------------------

void TextureAttribute::apply(RenderMachine* machine) {
    const int stage = getStage();
    Matrix transform;
    getTransform(transform);
    machine->setTextureCoordGen(stage, getGenMode());
    machine->setCombinerStage(stage, getCombinerStage());
    machine->setTextureMatrix(stage, &transform);
    machine->setTexture(stage, getTexture());
}

// The stage goes back to a disabled combiner and no texture, then to no
// coordinate generation and the identity texture matrix.
void TextureAttribute::restore(RenderMachine* machine) {
    const int stage = getStage();
    const TextureCombinerStage disabled;
    const Matrix identity;
    machine->setCombinerStage(stage, &disabled);
    machine->setTexture(stage, nullptr);
    machine->setTextureCoordGen(stage, GEN_DISABLE);
    machine->setTextureMatrix(stage, &identity);
}

void AlphaTestAttribute::apply(RenderMachine* machine) {
    machine->setAlphaTest(true);
    machine->setAlphaFunc(getFunction(), getReference());
}

void AlphaTestAttribute::restore(RenderMachine* machine) {
    machine->setAlphaTest(false);
    machine->setAlphaFunc(ALWAYS, 0.0f);
}

void AlphaBlendAttribute::apply(RenderMachine* machine) {
    float constant[4];
    getConstant(constant);
    const Color color{constant[0], constant[1], constant[2], constant[3]};
    machine->setBlendColor(&color);
    machine->setBlendFunc(getSource(), getDestination());
    machine->setBlendOperation(getOperation());
    machine->setBlend(true);
}

void AlphaBlendAttribute::restore(RenderMachine* machine) {
    machine->setBlend(false);
    machine->setBlendFunc(ONE, ZERO);
    machine->setBlendOperation(ADD);
    machine->setBlendColor(&kBlack);
}

// Fog is switched on even when the record itself is not enabled.
void FogAttribute::apply(RenderMachine* machine) {
    Fog fog;
    getFog(fog);
    const Color color = toColor(fog.color);
    machine->setFog(true);
    machine->setFogColor(&color);
    machine->setFogMode(fog.mode);
    machine->setFogParameters(fog.start, fog.end, fog.density);
}

void FogAttribute::restore(RenderMachine* machine) {
    machine->setFog(false);
    machine->setFogColor(&kBlack);
    machine->setFogMode(FOG_EXP);
    machine->setFogParameters(0.0f, 1.0f, 1.0f);
}

void VertexShaderAttribute::apply(RenderMachine* machine) {
    machine->setVertexShader(getShader());
    if (const VertexConstants* constants = getConstants()) constants->apply(machine);
}

void VertexShaderAttribute::restore(RenderMachine* machine) { machine->setVertexShader(nullptr); }

void PixelShaderAttribute::apply(RenderMachine* machine) {
    machine->setPixelShader(getShader());
    if (const PixelConstants* constants = getConstants()) constants->apply(machine);
}

void PixelShaderAttribute::restore(RenderMachine* machine) { machine->setPixelShader(nullptr); }

// ---- constants -------------------------------------------------------------------------

ConstantBlocks::Block& ConstantBlocks::block(ValueType type, int first, int count) {
    auto it = std::find_if(m_blocks.begin(), m_blocks.end(),
                           [first](const Block& b) { return b.first == first; });
    Block& b = it != m_blocks.end() ? *it : m_blocks.emplace_back();
    if (it != m_blocks.end()) {
        if (b.valueType == type && b.count == count) return b;
        m_retired.push_back(std::move(b));
    }
    b.valueType = type;
    b.first = first;
    b.count = count;
    const auto size = static_cast<std::size_t>(type == BOOLS ? count : 4 * count);
    b.floats.assign(type == FLOATS ? size : 0, 0.0f);
    b.ints.assign(type == FLOATS ? 0 : size, 0);
    return b;
}

float* ConstantBlocks::floats(int first, int count) {
    return block(FLOATS, first, count).floats.data();
}

int* ConstantBlocks::ints(ValueType type, int first, int count) {
    return block(type, first, count).ints.data();
}

void VertexConstants::setAutomatic(int first, int kind) {
    for (Automatic& a : m_automatics)
        if (a.kind == kind) {
            a.first = first;
            return;
        }
    m_automatics.push_back({first, kind});
}

void VertexConstants::apply(RenderMachine* machine) const {
    for (const Automatic& a : m_automatics) machine->setVertexConstantMatrix(a.first, a.kind);
    for (const Block& b : blocks()) {
        if (b.valueType == FLOATS)
            machine->setVertexConstantF(b.first, b.floats.data(), b.count);
        else if (b.valueType == BOOLS)
            machine->setVertexConstantB(b.first, b.ints.data(), b.count);
        else
            machine->setVertexConstantI(b.first, b.ints.data(), b.count);
    }
}

void PixelConstants::apply(RenderMachine* machine) const {
    for (const Block& b : blocks()) {
        if (b.valueType == FLOATS)
            machine->setPixelConstantF(b.first, b.floats.data(), b.count);
        else if (b.valueType == BOOLS)
            machine->setPixelConstantB(b.first, b.ints.data(), b.count);
        else
            machine->setPixelConstantI(b.first, b.ints.data(), b.count);
    }
}

// ---- material --------------------------------------------------------------------------

void MaterialObject::execute(CommandObject& command) {
    const CommandKind* kind = command.commandKind();
    if (kind == CommandKinds::Draw()) {
        for (MaterialAttribute* a : m_attributes) a->apply(m_machine);
    } else if (kind == CommandKinds::Update()) {
        for (MaterialAttribute* a : m_attributes) a->update(m_machine);
    } else if (kind == CommandKinds::Disable()) {
        for (MaterialAttribute* a : m_attributes) a->restore(m_machine);
    } else if (kind == CommandKinds::SetMaterialEnvironment()) {
        setEnvironment(static_cast<SetMaterialEnvironmentCommand&>(command).environment);
    } else {
        IniObject::execute(command);
    }
}

void MaterialObject::setEnvironment(Environment* environment) {
    m_environment = environment;
    for (MaterialAttribute* a : m_attributes) a->setEnvironment(environment);
}

// The generator's attributes join the list each time (so a second Load after
// an Unload has them twice); the material holds those that are script
// objects, so that none goes away while it is listed.
void MaterialObject::load() {
    if (m_generator) {
        for (MaterialAttribute* a : m_generator->attributes()) {
            if (auto* object = dynamic_cast<IniObject*>(a)) hold(object);
            m_attributes.push_back(a);
        }
    }
    for (MaterialAttribute* a : m_attributes) a->setEnvironment(m_environment);
    m_loaded = true;
}

// ---- attribute objects -----------------------------------------------------------------

Texture* TextureStageObject::getTexture() { return m_texture->getTexture(); }

void TextureFactorObject::apply(RenderMachine* machine) {
    const Color color = toColor(factor);
    machine->setTextureFactor(&color);
}

void TextureFactorObject::restore(RenderMachine* machine) { machine->setTextureFactor(&kWhite); }

void FogObject::getFog(Fog& out) const {
    out = m_environment && m_environment->fog().enabled ? m_environment->fog() : fog;
}

void BlendObject::getConstant(float out[4]) const {
    for (int i = 0; i < 4; ++i) out[i] = constant[i];
}

template <typename Shader>
std::unique_ptr<Shader> FileShaderLoader<Shader>::load() {
    const bool loadedHere = !m_file->isLoaded();
    if (loadedHere) m_file->load();
    std::unique_ptr<Shader> shader;
    try {
        if constexpr (std::is_same_v<Shader, VertexShader>)
            shader.reset(m_machine->createVertexShader(m_file->data()));
        else
            shader.reset(m_machine->createPixelShader(m_file->data()));
    } catch (...) {
        if (loadedHere) m_file->unload();
        throw;
    }
    if (loadedHere) m_file->unload();
    return shader;
}

template class FileShaderLoader<VertexShader>;
template class FileShaderLoader<PixelShader>;

// ---- script functions ------------------------------------------------------------------

namespace {

class MaterialFunction : public IniFunction {
protected:
    RenderMachine* machine() {
        return renderMachineOf(getRecordedObject("graphicsSystem", Types::GraphicsSystem()));
    }
    Environment* environmentParameter() {
        IniObject* object = getRecordedObject("environment", nullptr);
        if (!IniObject::isOfType(object, Types::Environment()))
            VEXA_THROW(FunctionParseException, "environment has invalid format.");
        return static_cast<EnvironmentObject*>(object)->environment();
    }
};

/* Material { graphicsSystem [generator] [attributes = ( n attribute ... )] [environment] } */
class F_Material : public MaterialFunction {
public:
    IniObject* create() override {
        auto material = std::make_unique<MaterialObject>(machine());
        MaterialGenerator* generator = nullptr;
        if (has("generator")) {
            generator = dynamic_cast<MaterialGenerator*>(getRecordedObject("generator", nullptr));
            if (!generator) VEXA_THROW(FunctionParseException, "generator has invalid format.");
            material->setGenerator(generator);
        }
        if (has("attributes")) {
            for (IniObject* object :
                 pairedObjects(getRecordedObject("attributes", nullptr), "attributes")) {
                auto* attribute = dynamic_cast<MaterialAttribute*>(object);
                if (!attribute)
                    VEXA_THROW(FunctionParseException, "attributes has invalid format.");
                material->addAttribute(attribute);
            }
        }
        if (has("environment")) {
            Environment* environment = environmentParameter();
            material->setEnvironment(environment);
            if (generator) generator->setEnvironment(environment);
        }
        return material.release();
    }
};

/* SetMaterialEnvironment environment | SetMaterialEnvironment ( ) */
class F_SetMaterialEnvironment : public IniFunction {
public:
    IniObject* create() override {
        if (count() == 0) return new SetMaterialEnvironmentCommand(nullptr);
        auto* object = static_cast<EnvironmentObject*>(getRecordedElement(0, Types::Environment()));
        return new SetMaterialEnvironmentCommand(object->environment());
    }
};

// The combiner arguments of "rgbsrc" or "alphasrc": pairs of an index 0 to
// 2 and a source name, compared exactly with the script names of the sources.
void readSources(const TupleObject* tuple, const std::string& name, int32_t* arguments[3]) {
    const std::string invalid = name + " has invalid format.";
    if (tuple->size() % 2 != 0) VEXA_THROW(FunctionParseException, invalid);
    for (std::size_t i = 0; i < tuple->size(); i += 2) {
        const IniObject* index = tuple->at(i);
        const IniObject* source = tuple->at(i + 1);
        if (!IniObject::isOfType(index, Types::Number()) ||
            !IniObject::isOfType(source, Types::String()))
            VEXA_THROW(FunctionParseException, invalid);
        const int argument = truncateToInt(static_cast<const NumberObject*>(index)->value());
        if (argument < 0 || argument > 2) VEXA_THROW(FunctionParseException, invalid);
        const std::string& text = static_cast<const StringObject*>(source)->value();
        const EnumEntry* entry = Enums::combinerSource;
        while (entry->name && text != entry->name) ++entry;
        if (!entry->name) VEXA_THROW(FunctionParseException, "invalid " + name + ".");
        *arguments[argument] = entry->value;
    }
}

/* TextureCombinerStage { [enabled] [rgbsrc = ( i "SRC_..." ... )] [alphasrc] [rgbop] [alphaop]
                          [dst] } */
class F_TextureCombinerStage : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<TextureCombinerStageObject>();
        TextureCombinerStage& s = object->stage;
        if (has("enabled")) s.enabled = getInt("enabled") != 0;
        int32_t* rgb[3] = {&s.colorArg1, &s.colorArg2, &s.colorArg3};
        int32_t* alpha[3] = {&s.alphaArg1, &s.alphaArg2, &s.alphaArg3};
        const struct {
            const char* name;
            int32_t** arguments;
        } kSources[] = {{"rgbsrc", rgb}, {"alphasrc", alpha}};
        for (const auto& source : kSources) {
            if (!has(source.name)) continue;
            const IniObject* tuple = getObject(source.name);
            if (!IniObject::isOfType(tuple, Types::Tuple()))
                VEXA_THROW(FunctionParseException,
                           std::string(source.name) + " has invalid format.");
            readSources(static_cast<const TupleObject*>(tuple), source.name, source.arguments);
        }
        s.colorOp = getEnum("rgbop", Enums::combinerOperation, s.colorOp);
        s.alphaOp = getEnum("alphaop", Enums::combinerOperation, s.alphaOp);
        s.result = getEnum("dst", Enums::combinerSource, s.result);
        return object.release();
    }
};

/* TextureStage { texture stage [gen] [useTransform] [transformSource] [transform]
                  [combinerStage] } */
class F_TextureStage : public IniFunction {
public:
    IniObject* create() override {
        TextureObject* texture = textureObjectOf(getRecordedObject("texture", nullptr));
        if (!texture) VEXA_THROW(FunctionParseException, "texture has invalid format.");
        const int stage = getInt("stage");
        if (stage < 0 || stage >= kMaxStages)
            VEXA_THROW(FunctionParseException, "Texture stage must be from 0 to 7.");
        auto object = std::make_unique<TextureStageObject>(texture, stage);
        object->setGenMode(getEnum("gen", Enums::texCoordGen, GEN_DISABLE));
        object->setUseTransform(getInt("useTransform", 0) != 0);
        object->setTransformSource(getEnum("transformSource", Enums::geometrySource, SOURCE_NONE));
        if (has("transform")) {
            IniObject* transform = getObject("transform", Types::Transform());
            if (transform->getValue(object->transformField())) record(transform);
        }
        if (has("combinerStage"))
            object->setCombinerStage(static_cast<TextureCombinerStageObject*>(
                                         getObject("combinerStage", Types::TextureCombinerStage()))
                                         ->stage);
        return object.release();
    }
};

/* TextureFactor { factor } */
class F_TextureFactor : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<TextureFactorObject>();
        bindVec4IfGiven("factor", &object->factor);
        return object.release();
    }
};

/* AlphaTest { func ref } */
class F_AlphaTest : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<AlphaTestObject>();
        object->function = getEnum("func", Enums::compareFunc, ALWAYS);
        object->reference = getNumber("ref", 0.0f);
        return object.release();
    }
};

/* Blend { constant operation src dest } */
class F_Blend : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<BlendObject>();
        bindVec4IfGiven("constant", &object->constant);
        object->operation = getEnum("operation", Enums::blendOperation, ADD);
        object->source = getEnum("src", Enums::blendFactor, ONE);
        object->destination = getEnum("dest", Enums::blendFactor, ZERO);
        return object.release();
    }
};

/* Fog { [definition] } */
class F_Fog : public IniFunction {
public:
    IniObject* create() override {
        auto object = std::make_unique<FogObject>();
        if (has("definition")) {
            const IniObject* definition = getObject("definition");
            if (!IniObject::isOfType(definition, Types::FogDefinition()))
                VEXA_THROW(FunctionParseException, "fog has invalid format.");
            object->fog = static_cast<const FogDefinitionObject*>(definition)->fog();
        }
        return object.release();
    }
};

/* VertexShader { graphicsSystem file constants } and PixelShader the same */
template <typename Shader, typename ShaderObject, typename ConstantsObject>
class F_Shader : public MaterialFunction {
public:
    explicit F_Shader(const TypeObject* (*constantsType)()) : m_constantsType(constantsType) {}
    IniObject* create() override {
        RenderMachine* m = machine();
        auto* file = static_cast<FileObject*>(getRecordedObject("file", Types::File()));
        IniObject* constants = getRecordedObject("constants", nullptr);
        if (!IniObject::isOfType(constants, m_constantsType()))
            VEXA_THROW(FunctionParseException, "constants has invalid format.");
        return new ShaderObject(std::make_unique<FileShaderLoader<Shader>>(m, file->dataBlock()),
                                static_cast<ConstantsObject*>(constants));
    }

private:
    const TypeObject* (*m_constantsType)();
};

// One-register float blocks bound to "constant1" and on.
struct BoundConstant {
    const char* name;
    int first;
};

/* VertexConstants { [autotransform] [autoworld] [autoviewworld] [setzero] [setone] [settwo]
                     [setfour] [constant1] ... [constant8] } */
class F_VertexConstants : public IniFunction {
public:
    IniObject* create() override {
        static const struct {
            const char* name;
            int first;
            int kind;
        } kAutomatics[] = {{"autotransform", 0, 0}, {"autoworld", 4, 1}, {"autoviewworld", 8, 2}};
        static const struct {
            const char* name;
            int first;
            float value;
        } kFixed[] = {{"setzero", 16, 0}, {"setone", 17, 1}, {"settwo", 18, 2}, {"setfour", 19, 4}};
        static const BoundConstant kBound[] = {
            {"constant1", 20}, {"constant2", 21}, {"constant3", 22}, {"constant4", 23},
            {"constant5", 56}, {"constant6", 57}, {"constant7", 58}, {"constant8", 59},
        };
        auto object = std::make_unique<VertexConstantsObject>();
        VertexConstants& c = object->constants();
        for (const auto& a : kAutomatics)
            if (getInt(a.name, 0) != 0) c.setAutomatic(a.first, a.kind);
        for (const auto& f : kFixed)
            if (getInt(f.name, 0) != 0) std::fill_n(c.floats(f.first), 4, f.value);
        for (const BoundConstant& b : kBound)
            bindVec4IfGiven(b.name, reinterpret_cast<Vec4f*>(c.floats(b.first)));
        return object.release();
    }
};

/* PixelConstants { [constant1] ... [constant4] } */
class F_PixelConstants : public IniFunction {
public:
    IniObject* create() override {
        static const BoundConstant kBound[] = {
            {"constant1", 0}, {"constant2", 1}, {"constant3", 2}, {"constant4", 3}};
        auto object = std::make_unique<PixelConstantsObject>();
        for (const BoundConstant& b : kBound)
            bindVec4IfGiven(b.name, reinterpret_cast<Vec4f*>(object->constants().floats(b.first)));
        return object.release();
    }
};

F_Material s_material;
F_SetMaterialEnvironment s_setMaterialEnvironment;
F_TextureCombinerStage s_textureCombinerStage;
F_TextureStage s_textureStage;
F_TextureFactor s_textureFactor;
F_AlphaTest s_alphaTest;
F_Blend s_blend;
F_Fog s_fog;
F_Shader<VertexShader, VertexShaderObject, VertexConstantsObject> s_vertexShader(
    &Types::VertexConstants);
F_Shader<PixelShader, PixelShaderObject, PixelConstantsObject> s_pixelShader(
    &Types::PixelConstants);
F_VertexConstants s_vertexConstants;
F_PixelConstants s_pixelConstants;

const FunctionEntry kFunctions[] = {
    {"Material", &s_material},
    {"SetMaterialEnvironment", &s_setMaterialEnvironment},
    {"TextureCombinerStage", &s_textureCombinerStage},
    {"TextureStage", &s_textureStage},
    {"TextureFactor", &s_textureFactor},
    {"AlphaTest", &s_alphaTest},
    {"Blend", &s_blend},
    {"Fog", &s_fog},
    {"VertexShader", &s_vertexShader},
    {"PixelShader", &s_pixelShader},
    {"VertexConstants", &s_vertexConstants},
    {"PixelConstants", &s_pixelConstants},
};
const FunctionRegistrar s_registrar(kFunctions);

}  // namespace

}  // namespace Vexa
